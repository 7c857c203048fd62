// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' fixtures: scratch directories, files, child processes, the window
// on the software renderer with pushed input and frames read back, and media
// made on the spot (modules, pictures, sounds, video clips).
#pragma once

#include <SDL.h>
#include <opencv2/core.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "packing/module_writer.h"
#include "platform/input_events.h"

namespace testing_support {

using Bytes = std::vector<uint8_t>;

// A fresh directory holding a link to the run directory's res/ and an empty
// temp/; the process works in it until the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::string previous_;
};

void writeFile(const std::string& path, const Bytes& bytes);
void writeText(const std::string& path, const std::string& text, bool executable = false);
Bytes readFile(const std::string& path);
std::string readText(const std::string& path);
bool fileExists(const std::string& path);
std::vector<std::string> lines(const std::string& text);
inline std::string runDir() { return RVL_RUN_DIR; }           // the assembled run directory
inline std::string testBinDir() { return RVL_TEST_BIN_DIR; }  // where the test helpers are built

struct ProcessResult {
    int exitCode = -1;  // -1 when the process did not exit normally
    int signal = 0;
    std::string out, err;
};
// Runs argv (argv[0] a path) with extra "NAME=VALUE" environment entries.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                         const std::string& input = "");
// Runs body in a forked child whose stdout and stderr are captured; the child
// exits with status 0 when body returns.
ProcessResult runInChild(const std::function<void()>& body);

// --- modules --------------------------------------------------------------
// The 26-byte example: one topic "A", one text question "Q?" / "B", 100 points.
Bytes exampleModule();
// A question "Вопрос <type>" / "Ответ".
rvlpack::Question ask(char type, uint16_t points, Bytes media = {}, Bytes video = {});
Bytes moduleBytes(const rvlpack::Module& m);
// Loads bytes through a real file in a scratch directory; the loader's trace
// is captured into *trace when given.
bool loadBytes(const Bytes& bytes, std::string* trace = nullptr);

// --- the window -------------------------------------------------------------
// RGBA pixels of the whole window.
struct Frame {
    int w = 0, h = 0;
    Bytes px;
    SDL_Color at(int x, int y) const;
};
Frame capture();
std::string describe(SDL_Color c);
std::string describe(const SDL_Rect& r);
// Pixels of rect whose red, green or blue differ by more than tolerance, and
// their bounding box.
struct Ink {
    int count = 0;
    SDL_Rect box{0, 0, 0, 0};
};
Ink inkBetween(const Frame& a, const Frame& b, const SDL_Rect& rect = {0, 0, 1024, 768}, int tolerance = 0);

// Initialises SDL (dummy video), opens the 1024x768 window on the software
// renderer and sets the app-wide window, renderer and shared pictures.
class SdlWindow {
public:
    SdlWindow();
    ~SdlWindow();
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// Input events as SDL delivers them (and buttonEvent, motionEvent of
// platform/input_events.h), and pushing one onto the queue.
SDL_Event wheelEvent(int y);
void push(SDL_Event e);
inline void pushButton(Uint8 button, Uint32 type = SDL_MOUSEBUTTONDOWN, int x = 10, int y = 10) {
    push(buttonEvent(button, type, x, y));
}
inline void pushLeftClick(int x = 10, int y = 10) { pushButton(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONDOWN, x, y); }
SDL_Event keyEvent(SDL_Scancode scancode, Uint32 type = SDL_KEYDOWN);
inline void pushKey(SDL_Scancode scancode, Uint32 type = SDL_KEYDOWN) { push(keyEvent(scancode, type)); }
inline void pushQuit() { push(SDL_Event{SDL_QUIT}); }
// Every kind of input that is not a left press: buttons, a release, motion,
// wheel, keys (F10 and Escape among them) and a quit request.
void pushOtherInput();
bool queueEmpty();

// Makes the dummy video driver save every presented frame as a BMP file in
// the working directory; frames() lists the ones saved since construction.
class FrameRecorder {
public:
    FrameRecorder();
    ~FrameRecorder();
    std::vector<std::string> frames() const;
    std::vector<Frame> loaded() const;

private:
    std::vector<std::string> before_;
};

// Pushes `count` left presses at once from a timer once the recorder has seen
// `frames` frames and the queue is empty: gated on what was presented and
// read, not on time, so a busy machine cannot reorder them against the code
// under test.
class LeftPressAfterFrames {
public:
    LeftPressAfterFrames(const FrameRecorder& recorder, size_t frames, int count = 1);
    ~LeftPressAfterFrames();
    void stop();  // no press is pushed after this returns
    bool pushed() const { return SDL_AtomicGet(const_cast<SDL_atomic_t*>(&pushed_)) != 0; }

private:
    static Uint32 tick(Uint32 interval, void* self);
    const FrameRecorder& recorder_;
    size_t frames_;
    int count_;
    SDL_atomic_t pushed_{};
    SDL_TimerID timer_ = 0;
};

// --- media ------------------------------------------------------------------
// A w x h RGBA32 surface whose pixel (x, y) is patternColour(x, y).
SDL_Surface* patternSurface(int w, int h);
SDL_Color patternColour(int x, int y);
// The surface saved as "png", "jpg" or "bmp" file bytes; the surface is freed.
Bytes encodePicture(SDL_Surface* surface, const std::string& extension);
inline Bytes makePng(int w, int h) { return encodePicture(patternSurface(w, h), "png"); }
inline Bytes makeBmp(int w, int h) { return encodePicture(patternSurface(w, h), "bmp"); }

// A 440 Hz tone written by the audio library's own encoders: a 16-bit PCM
// WAV (a 44-byte header: "fmt " at 12, "data" at 36), or "ogg", "flac".
Bytes makeEncodedClip(const std::string& extension, double seconds, int sampleRate, int channels);
inline Bytes makeWav(double seconds, int sampleRate = 8000, int channels = 1) {
    return makeEncodedClip("wav", seconds, sampleRate, channels);
}

// Environment for OpenAL Soft's wave output into wavePath, one channel of
// 16-bit samples at 44100 Hz. Call before the first audio object of the process.
void useWaveOutput(const std::string& wavePath);
// Seconds from the first to the last loud sample of what the wave output
// recorded; -1 when nothing was recorded, 0 when all of it was silent.
double recordedSoundSeconds(const std::string& wavePath);

// Frame i's colour (blue, green, red), far enough from its neighbours that a
// lossy codec cannot blur one into another, and the frame nearest a colour.
cv::Scalar frameColour(int i);
int nearestFrame(int frameCount, int b, int g, int r);
using Painter = std::function<void(cv::Mat& frame, int index)>;
// The bytes of a clip written by OpenCV's writer with the given codec ("MJPG"
// for .avi, "mp4v" or "avc1" for .mp4); frame i is painted in frameColour(i)
// unless a painter is given. Empty when the writer refuses.
Bytes makeClip(const std::string& extension, const char* fourcc, int frames, int w = 160, int h = 120,
               double fps = 25.0, const Painter& paint = nullptr);

// Pictures whose headers claim more than the reader's limits, their data a
// few bytes: a decoder trusting them would allocate gigabytes.
Bytes forgedGif();  // screen and first frame 65535x65535
Bytes forgedBmp();  // 8-bit RLE, 20000x20000, ending at once

} // namespace testing_support
