// Test helpers for the question presentations: frames saved by the dummy
// video driver, presses pushed later from a timer, generated pictures and
// sound clips, and reading back what OpenAL's wave output recorded.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// Makes the dummy video driver save every presented frame as a BMP file in
// the working directory; frames() lists the ones saved since construction.
class FrameRecorder {
public:
    FrameRecorder();
    ~FrameRecorder();
    std::vector<std::string> frames() const;

private:
    std::vector<std::string> before_;
};

// A saved frame converted to RGBA32, or null.
SDL_Surface* loadFrame(const std::string& path);
SDL_Color pixelOf(SDL_Surface* rgba, int x, int y);
// Number of pixels whose red, green or blue differ by more than tolerance.
long countDifferences(SDL_Surface* a, SDL_Surface* b, int tolerance = 0);
std::string describe(SDL_Color c);

// What the window shows right now, as an RGBA32 surface.
SDL_Surface* captureWindow();

// Pushes a left press after delayMs from SDL's timer thread, while a modal
// presentation polls on the main thread.
// Pushes one left press from a timer once the recorder has seen `frames`
// frames: gated on what was presented, not on time, so a busy machine cannot
// reorder it against the code under test.
class LeftPressAfterFrames {
public:
    LeftPressAfterFrames(const FrameRecorder& recorder, size_t frames);
    ~LeftPressAfterFrames();
    bool pushed() const { return SDL_AtomicGet(const_cast<SDL_atomic_t*>(&pushed_)) != 0; }

private:
    static Uint32 tick(Uint32 interval, void* self);
    const FrameRecorder& recorder_;
    size_t frames_;
    SDL_atomic_t pushed_{};
    SDL_TimerID timer_ = 0;
};

// Encoded pictures made from a surface.
std::vector<uint8_t> encodePng(SDL_Surface* surface);
std::vector<uint8_t> encodeJpeg(SDL_Surface* surface, int quality = 95);
std::vector<uint8_t> encodeBmp(SDL_Surface* surface);
// A w x h RGBA32 surface whose pixel (x, y) is patternColour(x, y).
SDL_Surface* patternSurface(int w, int h);
SDL_Color patternColour(int x, int y);
SDL_Surface* solidSurface(int w, int h, SDL_Color c);

// A 16-bit PCM WAV of a square-ish tone at half scale.
std::vector<uint8_t> makeWav(double seconds, int sampleRate, int channels);
// The same tone written by the audio library's own encoder ("ogg", "flac").
std::vector<uint8_t> makeEncodedClip(const std::string& extension, double seconds, int sampleRate, int channels);

// Environment for OpenAL Soft's wave output into wavePath, one channel of
// 16-bit samples at 44100 Hz. Call before the first audio object of the process.
void useWaveOutput(const std::string& configPath, const std::string& wavePath);

struct Recording {
    bool ok = false;
    std::string error;
    int sampleRate = 0;
    long frames = 0;
    long firstSound = -1;  // first and last frame louder than the noise floor
    long lastSound = -1;
    double soundSeconds() const { return firstSound < 0 ? 0.0 : double(lastSound - firstSound + 1) / sampleRate; }
};
Recording readRecording(const std::string& wavePath);

// "key=value" lines of a child's output.
std::map<std::string, std::string> keyValues(const std::string& text);

} // namespace testing_support
