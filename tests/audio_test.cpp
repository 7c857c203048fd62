// SPDX-License-Identifier: GPL-3.0-or-later
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

// A clip plays over the speaker picture to its end or to a left press; bytes
// that hold no sound give the one frame and return.
TEST(AudioQuestion, PlaysToItsEndOrToALeftPressOverTheSpeakerPicture) {
    // seconds: of sound recorded; before() runs in the child just before the call, to queue input.
    struct Row {
        const char* name;
        Bytes bytes;
        double seconds;
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
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        ProcessResult r = runInChild([&] {
            useWaveOutput(dir.file("played.wav"));
            SdlWindow window;
            FrameRecorder recorder;
            row.before();
            playAudioAsk(const_cast<uint8_t*>(row.bytes.data()), uint32_t(row.bytes.size()));
            std::vector<Frame> frames = recorder.loaded();
            // Inside the speaker picture's body, centred at its own size.
            SDL_Color c = frames.empty() ? SDL_Color{} : frames[0].at(skRect.x + 60, skRect.y + 100);
            printf("%zu frames, speaker at x %d, %d wide, body %s\n", frames.size(), skRect.x, skRect.w,
                   describe(c).c_str());
        });
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "1 frames, speaker at x 362, 301 wide, body (250,250,235,255)\n");
        // No recording at all (-1) is silence too: the rows that play show the recording works.
        double sound = std::max(recordedSoundSeconds(dir.file("played.wav")), 0.0);
        EXPECT_NEAR(sound, row.seconds, row.tolerance) << "seconds of sound recorded; child stderr:\n" << r.err;
    }
}

// A clip ending inside a frame keeps its whole frames; one beyond the decode
// limit keeps its beginning, and stderr says so once.
TEST(SoundDecoder, KeepsWholeFramesUpToItsLimit) {
    Bytes stereo = makeWav(1001.5 / 44100, 44100, 2);
    stereo.resize(stereo.size() - 2);  // the last frame lacks its second sample
    ScratchDir dir;
    ProcessResult r = runInChild([&] {
        useWaveOutput(dir.file("unused.wav"));
        for (uint64_t limit : {maxSoundSamples, uint64_t(1001)}) {
            maxSoundSamples = limit;
            sf::SoundBuffer buffer;
            bool loaded = loadQuestionSound(buffer, stereo.data(), uint32_t(stereo.size()));
            printf("%d %llu %u\n", int(loaded), (unsigned long long)buffer.getSampleCount(), buffer.getChannelCount());
        }
    });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "1 2000 2\n1 1000 2\n") << "loaded, samples, channels without and with a limit of 1001";
    EXPECT_EQ(r.err, "Sound clip cut: only its first 0 s are played (decoding stops at 1001 samples)\n");
}
