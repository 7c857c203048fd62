// Audio questions played for real through OpenAL Soft's wave output, which
// records what was played to a WAV file. Every case runs in a child process,
// because OpenAL reads its configuration once, when a process first uses it.
#include <gtest/gtest.h>

#include <SFML/Audio/SoundBuffer.hpp>

#include <cstdio>

#include "presentation/presentations.h"
#include "presentation/sound_decode.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

struct AudioRun {
    ProcessResult process;
    double seconds = -1;  // time playAudioAsk took
    int frames = -1;      // frames it presented
    int speaker = 0;      // the speaker picture stood centred in the one frame
    double sound = -1;    // seconds of sound recorded
    std::string explain() const {
        return "took " + std::to_string(seconds) + " s, recorded " + std::to_string(sound) + " s of sound; " +
               std::to_string(frames) + " frames\nchild stderr: " + process.err;
    }
};

// Plays bytes as an audio question in a child with the wave output; before()
// runs in the child just before the call (to queue events).
AudioRun play(const Bytes& bytes, const std::function<void()>& before = [] {}) {
    ScratchDir dir;
    AudioRun run;
    run.process = runInChild([&] {
        useWaveOutput(dir.file("played.wav"));
        SdlWindow window;
        FrameRecorder recorder;
        before();
        Uint64 start = SDL_GetPerformanceCounter();
        playAudioAsk(bytes.empty() ? nullptr : const_cast<uint8_t*>(bytes.data()), uint32_t(bytes.size()));
        double seconds = double(SDL_GetPerformanceCounter() - start) / double(SDL_GetPerformanceFrequency());
        std::vector<Frame> frames = recorder.loaded();
        // Inside the speaker picture's body, centred at its own size.
        SDL_Color c = frames.empty() ? SDL_Color{} : frames[0].at(skRect.x + 60, skRect.y + 100);
        bool speaker = skRect.w == 301 && skRect.x == 362 && c.r == 250 && c.g == 250 && c.b == 235;
        printf("%f %zu %d\n", seconds, frames.size(), int(speaker));
    });
    sscanf(run.process.out.c_str(), "%lf %d %d", &run.seconds, &run.frames, &run.speaker);
    run.sound = recordedSoundSeconds(dir.file("played.wav"));
    return run;
}

TEST(AudioQuestion, ClipPlaysToItsEndAndReturnsByItself) {
    struct Row {
        const char* name;
        Bytes bytes;
        double seconds;
        std::function<void()> before = [] {};
    };
    const std::vector<Row> rows = {
        {"WAV stereo 22050", makeWav(0.4, 22050, 2), 0.4},
        {"Ogg Vorbis", makeEncodedClip("ogg", 0.5, 44100, 1), 0.5},
        {"WAV under every input but a left press", makeWav(0.5, 44100), 0.5, pushOtherInput},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_GT(row.bytes.size(), 100u) << "clip not generated";
        AudioRun run = play(row.bytes, row.before);
        ASSERT_EQ(run.process.exitCode, 0) << run.process.err;
        EXPECT_NEAR(run.sound, row.seconds, 0.05) << run.explain();
        EXPECT_GE(run.seconds, row.seconds - 0.05) << run.explain();
        EXPECT_EQ(run.frames, 1);
        EXPECT_EQ(run.speaker, 1) << "audio screen without the speaker picture";
    }
}

TEST(AudioQuestion, ALeftPressEndsItAtOnce) {
    AudioRun pressed = play(makeWav(3.0, 44100), [] { pushLeftClick(1000, 20); });
    ASSERT_EQ(pressed.process.exitCode, 0) << pressed.process.err;
    EXPECT_GE(pressed.sound, 0.0) << "no recording: " << pressed.explain();
    EXPECT_LT(pressed.sound, 0.3) << "the sound went on after the press: " << pressed.explain();
}

TEST(AudioQuestion, UndecodableOrEmptyBytesReturnAfterOneFrame) {
    Bytes forged = makeWav(0.0, 44100);
    forged[40] = forged[41] = forged[42] = 0xFF;  // data chunk claims 16 MiB that are not there
    for (const Bytes& bytes : {Bytes(3000, 0x42), Bytes{}, forged}) {
        SCOPED_TRACE(std::to_string(bytes.size()) + " bytes");
        AudioRun run = play(bytes);
        ASSERT_EQ(run.process.exitCode, 0) << run.process.err;
        EXPECT_EQ(run.frames, 1);
        EXPECT_EQ(run.speaker, 1);
        EXPECT_LE(run.sound, 0.0) << "something was played: " << run.explain();
    }
}

TEST(SoundDecoder, KeepsOnlyTheSamplesTheBytesHold) {
    Bytes wav = makeWav(1000.5 / 44100, 44100);  // 1000 samples
    Bytes forged = wav;
    forged[40] = forged[41] = forged[42] = forged[43] = 0xFF;  // claims 4 GiB of samples
    Bytes stereo = makeWav(1001.5 / 44100, 44100, 2);
    stereo.resize(stereo.size() - 2);  // the last frame lacks its second sample
    struct Row {
        const char* name;
        Bytes bytes;
        std::string expected;  // loaded, samples, channels
        uint64_t limit = maxSoundSamples;  // decode limit in samples
    };
    const std::vector<Row> rows = {
        {"WAV", wav, "1 1000 1"},
        {"WAV claiming 4 GiB", forged, "1 1000 1"},
        {"WAV ending inside a frame", stereo, "1 2000 2"},
        {"WAV beyond the decode limit plays its beginning", stereo, "1 1000 2", 1001},
        {"garbage", Bytes(600, 0x11), "0 0 0"},
    };
    ScratchDir dir;
    ProcessResult r = runInChild([&] {
        useWaveOutput(dir.file("unused.wav"));
        for (const Row& row : rows) {
            maxSoundSamples = row.limit;
            sf::SoundBuffer buffer;
            bool loaded = loadQuestionSound(buffer, row.bytes.data(), uint32_t(row.bytes.size()));
            printf("%d %llu %u\n", int(loaded), (unsigned long long)buffer.getSampleCount(),
                   loaded ? buffer.getChannelCount() : 0);
        }
    });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string cut = "Sound clip cut: only its first 0 s are played (decoding stops at 1001 samples)\n";
    EXPECT_TRUE(r.err.find(cut) != std::string::npos && r.err.find("Sound clip") == r.err.rfind("Sound clip")) << r.err;
    std::vector<std::string> got = lines(r.out);
    ASSERT_EQ(got.size(), rows.size()) << r.out << r.err;
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(got[i], rows[i].expected) << rows[i].name;
}

} // namespace
