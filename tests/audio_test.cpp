// Audio questions played for real through OpenAL Soft's wave output, which
// records what was played to a WAV file. Every case runs in a child process,
// because OpenAL reads its configuration once, when a process first uses it.
#include <gtest/gtest.h>

#include <SFML/Audio/SoundBuffer.hpp>

#include <cstdio>
#include <functional>

#include "presentation/presentations.h"
#include "presentation/sound_decode.h"
#include "shell/globals.h"
#include "tests/support/presentation_support.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

struct AudioRun {
    ProcessResult process;
    double seconds = -1;  // time playAudioAsk took
    int frames = -1;      // frames it presented
    bool speakerShown = false;
    Recording recording;
};

// Plays bytes as an audio question in a child with the wave output; before()
// runs in the child just before the call (to queue events).
AudioRun play(const ScratchDir& dir, std::vector<uint8_t> bytes, const std::function<void()>& before = [] {}) {
    AudioRun run;
    const std::string wave = dir.file("played.wav");
    remove(wave.c_str());
    run.process = runInChild([&] {
        useWaveOutput(dir.file("alsoft.conf"), wave);
        SdlWindow window;
        if (!window.ok()) return;
        FrameRecorder recorder;
        before();
        Uint64 start = SDL_GetPerformanceCounter();
        playAudioAsk(bytes.empty() ? nullptr : bytes.data(), uint32_t(bytes.size()));
        double seconds = double(SDL_GetPerformanceCounter() - start) / double(SDL_GetPerformanceFrequency());
        std::vector<std::string> frames = recorder.frames();
        bool speaker = false;
        if (frames.size() == 1) {
            // Inside the speaker picture's body, centred at its own size.
            SDL_Surface* frame = loadFrame(frames[0]);
            SDL_Color c = pixelOf(frame, skRect.x + 60, skRect.y + 100);
            speaker = skRect.w == 301 && c.r == 250 && c.g == 250 && c.b == 235;
            SDL_FreeSurface(frame);
        }
        printf("seconds=%f\nframes=%zu\nspeaker=%d\n", seconds, frames.size(), speaker ? 1 : 0);
    });
    std::map<std::string, std::string> values = keyValues(run.process.out);
    if (values.count("seconds")) run.seconds = std::stod(values["seconds"]);
    if (values.count("frames")) run.frames = std::stoi(values["frames"]);
    run.speakerShown = values["speaker"] == "1";
    run.recording = readRecording(wave);
    return run;
}

std::string explain(const AudioRun& run) {
    return "took " + std::to_string(run.seconds) + " s, recorded sound " +
           std::to_string(run.recording.soundSeconds()) + " s of " + std::to_string(run.recording.frames) +
           " frames; " + run.recording.error + "\nchild stderr: " + run.process.err;
}

TEST(AudioQuestion, ClipPlaysToItsEndAndReturnsByItself) {
    ScratchDir dir;
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
        double seconds;
    };
    const std::vector<Row> rows = {
        {"WAV mono 44100", makeWav(0.5, 44100, 1), 0.5},
        {"WAV stereo 22050", makeWav(0.4, 22050, 2), 0.4},
        {"Ogg Vorbis", makeEncodedClip("ogg", 0.5, 44100, 1), 0.5},
        {"FLAC", makeEncodedClip("flac", 0.4, 44100, 2), 0.4},
    };
    for (const Row& row : rows) {
        ASSERT_GT(row.bytes.size(), 100u) << row.name << ": clip not generated";
        AudioRun run = play(dir, row.bytes);
        ASSERT_EQ(run.process.exitCode, 0) << row.name << "\n" << run.process.err;
        ASSERT_TRUE(run.recording.ok) << row.name << ": " << explain(run);
        EXPECT_NEAR(run.recording.soundSeconds(), row.seconds, 0.05) << row.name << ": " << explain(run);
        EXPECT_GE(run.seconds, row.seconds - 0.05) << row.name << ": " << explain(run);
        EXPECT_LT(run.seconds, row.seconds + 1.0) << row.name << ": " << explain(run);
        EXPECT_EQ(run.frames, 1) << row.name;
        EXPECT_TRUE(run.speakerShown) << row.name << ": audio screen without the speaker picture";
    }
}

TEST(AudioQuestion, QueuedLeftPressStopsItAtOnce) {
    ScratchDir dir;
    AudioRun run = play(dir, makeWav(3.0, 44100, 1), [] { pushLeftClick(1000, 20); });
    ASSERT_EQ(run.process.exitCode, 0) << run.process.err;
    ASSERT_TRUE(run.recording.ok) << explain(run);
    EXPECT_LT(run.recording.soundSeconds(), 0.3) << "the sound went on after the press: " << explain(run);
    EXPECT_EQ(run.frames, 1);
}

TEST(AudioQuestion, OtherEventsDoNotEndPlayback) {
    ScratchDir dir;
    AudioRun run = play(dir, makeWav(0.5, 44100, 1), [] {
        pushButton(SDL_BUTTON_RIGHT);
        pushButton(SDL_BUTTON_MIDDLE);
        pushButton(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONUP);
        pushMotion(100, 100);
        pushWheel(2);
        pushKey(SDL_SCANCODE_F10);
        pushKey(SDL_SCANCODE_F10, SDL_KEYUP);
        pushKey(SDL_SCANCODE_ESCAPE);
        pushQuit();
    });
    ASSERT_EQ(run.process.exitCode, 0) << run.process.err;
    ASSERT_TRUE(run.recording.ok) << explain(run);
    EXPECT_NEAR(run.recording.soundSeconds(), 0.5, 0.05) << explain(run);
    EXPECT_GE(run.seconds, 0.45) << explain(run);
}

TEST(AudioQuestion, UndecodableOrEmptyBytesReturnAfterOneFrame) {
    ScratchDir dir;
    std::vector<uint8_t> headerOnly = makeWav(0.0, 44100, 1);
    std::vector<uint8_t> forged = headerOnly;
    forged[40] = forged[41] = forged[42] = 0xFF;  // data chunk claims 16 MiB that are not there
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Row> rows = {
        {"garbage", std::vector<uint8_t>(3000, 0x42)},
        {"empty", {}},
        {"WAV header without samples", headerOnly},
        {"WAV header claiming absent samples", forged},
        {"WAV cut inside its header", std::vector<uint8_t>(headerOnly.begin(), headerOnly.begin() + 30)},
    };
    for (const Row& row : rows) {
        AudioRun run = play(dir, row.bytes);
        ASSERT_EQ(run.process.exitCode, 0) << row.name << "\n" << run.process.err;
        EXPECT_EQ(run.frames, 1) << row.name;
        EXPECT_TRUE(run.speakerShown) << row.name;
        EXPECT_EQ(run.recording.firstSound, -1) << row.name << ": something was played: " << explain(run);
    }
}

TEST(SoundDecoder, KeepsOnlyTheSamplesTheBytesHold) {
    ScratchDir dir;
    std::vector<uint8_t> wav = makeWav(1000.5 / 44100, 44100, 1);  // 1000 samples
    std::vector<uint8_t> forged = wav;
    forged[40] = forged[41] = forged[42] = forged[43] = 0xFF;  // claims 4 GiB of samples
    std::vector<uint8_t> stereo = makeWav(1001.5 / 44100, 44100, 2);
    stereo.resize(stereo.size() - 2);  // the last frame lacks its second sample
    std::vector<uint8_t> ogg = makeEncodedClip("ogg", 0.25, 44100, 1);
    std::vector<uint8_t> flac = makeEncodedClip("flac", 0.25, 44100, 2);
    struct Row {
        const char* name;
        const std::vector<uint8_t>* bytes;
        bool loads;
        long samples;  // -1: about 0.25 s worth
        unsigned channels;
        uint64_t limit = maxSoundSamples;  // decode limit in samples
    };
    const std::vector<uint8_t> garbage(600, 0x11), empty;
    const std::vector<Row> rows = {
        {"WAV", &wav, true, 1000, 1},
        {"WAV claiming 4 GiB", &forged, true, 1000, 1},
        {"WAV ending inside a frame", &stereo, true, 2000, 2},
        {"WAV beyond the decode limit plays its beginning", &stereo, true, 1000, 2, 1001},
        {"Ogg Vorbis", &ogg, true, -1, 1},
        {"FLAC", &flac, true, -1, 2},
        {"garbage", &garbage, false, 0, 0},
        {"empty", &empty, false, 0, 0},
    };
    ProcessResult r = runInChild([&] {
        useWaveOutput(dir.file("alsoft.conf"), dir.file("unused.wav"));
        for (const Row& row : rows) {
            maxSoundSamples = row.limit;
            sf::SoundBuffer buffer;
            bool loaded = loadQuestionSound(buffer, row.bytes->empty() ? nullptr : row.bytes->data(),
                                            uint32_t(row.bytes->size()));
            printf("%s=%d %llu %u %u\n", row.name, loaded ? 1 : 0, (unsigned long long)buffer.getSampleCount(),
                   buffer.getChannelCount(), buffer.getSampleRate());
        }
    });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string cut = "Sound clip cut: only its first 0 s are played (decoding stops at 1001 samples)\n";
    EXPECT_TRUE(r.err.find(cut) != std::string::npos && r.err.find("Sound clip") == r.err.rfind("Sound clip")) << r.err;
    std::map<std::string, std::string> values = keyValues(r.out);
    for (const Row& row : rows) {
        int loaded = -1;
        unsigned long long samples = 0;
        unsigned channels = 0, rate = 0;
        ASSERT_EQ(sscanf(values[row.name].c_str(), "%d %llu %u %u", &loaded, &samples, &channels, &rate), 4)
            << row.name << ": no result\n" << r.out << r.err;
        EXPECT_EQ(loaded, row.loads ? 1 : 0) << row.name;
        if (!row.loads) {
            EXPECT_EQ(samples, 0u) << row.name;
            continue;
        }
        EXPECT_EQ(channels, row.channels) << row.name;
        EXPECT_EQ(rate, 44100u) << row.name;
        if (row.samples >= 0) EXPECT_EQ(samples, (unsigned long long)row.samples) << row.name;
        else EXPECT_NEAR(double(samples) / channels / rate, 0.25, 0.02) << row.name;
    }
}

} // namespace
