// Audio questions played for real through OpenAL Soft's wave output, which
// records what was played to a WAV file. Every case runs in a child process,
// because OpenAL reads its configuration once, when a process first uses it.
#include <gtest/gtest.h>

#include <SFML/Audio/SoundBuffer.hpp>

#include <algorithm>
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

// A clip plays over the speaker picture to its end or to a left press; bytes
// that hold no sound give the one frame and return.
TEST(AudioQuestion, PlaysToItsEndOrToALeftPressOverTheSpeakerPicture) {
    Bytes forged = makeWav(0.0, 44100);
    forged[40] = forged[41] = forged[42] = 0xFF;  // data chunk claims 16 MiB that are not there
    struct Row {
        const char* name;
        Bytes bytes;
        double seconds;  // of sound recorded; the call takes at least as long
        std::function<void()> before = [] {};
        double tolerance = 0.05;
    };
    const std::vector<Row> rows = {
        {"WAV stereo 22050", makeWav(0.4, 22050, 2), 0.4},
        {"Ogg Vorbis", makeEncodedClip("ogg", 0.5, 44100, 1), 0.5},
        {"WAV under every input but a left press", makeWav(0.5, 44100), 0.5, pushOtherInput},
        {"a left press ends it at once", makeWav(3.0, 44100), 0.0, [] { pushLeftClick(1000, 20); }, 0.3},
        {"garbage", Bytes(3000, 0x42), 0.0},
        {"no bytes", Bytes{}, 0.0},
        {"WAV claiming 16 MiB it lacks", forged, 0.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AudioRun run = play(row.bytes, row.before);
        ASSERT_EQ(run.process.exitCode, 0) << run.process.err;
        // No recording at all (-1) is silence too: the rows that play show the recording works.
        EXPECT_NEAR(std::max(run.sound, 0.0), row.seconds, row.tolerance) << run.explain();
        EXPECT_GE(run.seconds, row.seconds - 0.05) << run.explain();
        EXPECT_EQ(run.frames, 1);
        EXPECT_EQ(run.speaker, 1) << "audio screen without the speaker picture";
    }
}

TEST(SoundDecoder, KeepsOnlyTheSamplesTheBytesHold) {
    Bytes forged = makeWav(1000.5 / 44100, 44100);  // 1000 samples
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
        {"WAV claiming 4 GiB", forged, "1 1000 1"},
        {"WAV ending inside a frame", stereo, "1 2000 2"},
        {"WAV beyond the decode limit plays its beginning", stereo, "1 1000 2", 1001},
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
