// SPDX-License-Identifier: GPL-3.0-or-later
// The video player on real clips written by OpenCV's own writer: the frame
// copy into the streaming texture, the clip's loop under the dummy video
// driver with OpenAL's null output, its ways out, and the temporary file.
#include <gtest/gtest.h>

#include <SFML/Audio/SoundSource.hpp>
#include <SFML/System/Clock.hpp>
#include <sys/resource.h>

#include <csignal>

#include <opencv2/videoio.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "presentation/presentations.h"
#include "presentation/video.h"
#include "presentation/video_player.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

const char* const bufferFile = "temp/videobuffer.bin";
const char* const noCapture = "***Could not initialize capturing...***";

// A frame where every byte tells its row and column apart.
cv::Mat patternFrame(int w, int h, int seed = 0) {
    cv::Mat m(h, w, CV_8UC3);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            m.at<cv::Vec3b>(r, c) = cv::Vec3b(uint8_t(c + seed), uint8_t(r * 3 + seed), uint8_t((c >> 8) * 50 + r));
    return m;
}

struct Played {
    VideoPlayStats stats;
    double seconds = 0;
};

Played play(Bytes sound, Bytes video) {
    Played p;
    videoPlayStats = &p.stats;
    sf::Clock clock;
    playVideoAsk(sound.empty() ? nullptr : sound.data(), uint32_t(sound.size()), video.empty() ? nullptr : video.data(),
                 uint32_t(video.size()));
    p.seconds = clock.getElapsedTime().asSeconds();
    videoPlayStats = nullptr;
    return p;
}

class VideoTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(win.ok()); }
    ScratchDir dir;
    SdlWindow win;
};

} // namespace

TEST_F(VideoTest, FrameToTextureCopiesRowByRowAndStaysInsideFrameAndTexture) {
    // 854 * 3 bytes is no multiple of 4: the texture's rows are padded, so
    // even a same-size frame takes the row-by-row path.
    const int w = 854, h = 240;
    SDL_Texture* tex = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STREAMING, w, h);
    ASSERT_NE(tex, nullptr) << SDL_GetError();
    cv::Mat base = patternFrame(w, h, 99), wide = patternFrame(w + 40, h, 7);
    // copiedRows, copiedCols: the frame's corner that must show; the rest keeps the base.
    struct Row { const char* name; cv::Mat frame; int copiedRows, copiedCols; };
    std::vector<Row> rows = {
        {"same size", patternFrame(w, h), h, w},
        {"a view into a wider picture, with its own row step", wide(cv::Rect(20, 0, w, h)), h, w},
        {"larger frame: its top-left part", patternFrame(900, 300, 1), h, w},
        {"taller, narrower frame", patternFrame(300, 500, 3), h, 300},
        {"four channels: skipped", cv::Mat(h, w, CV_8UC4, cv::Scalar(1, 2, 3, 4)), 0, 0},
    };
    const SDL_Rect corner{0, 0, w, h};
    std::vector<uint8_t> shown(size_t(w) * h * 3);  // the texture unscaled at the top left, as packed BGR rows
    for (const Row& row : rows) {
        frameToTexture(tex, base);
        frameToTexture(tex, row.frame);
        SDL_RenderCopy(renderer, tex, nullptr, &corner);
        SDL_RenderReadPixels(renderer, &corner, SDL_PIXELFORMAT_BGR24, shown.data(), w * 3);
        int bad = -1;  // the first row whose left part is not the frame's or whose rest is not the base
        for (int r = 0; r < h && bad < 0; ++r) {
            const uint8_t* line = shown.data() + size_t(r) * w * 3;
            size_t from = size_t(r < row.copiedRows ? row.copiedCols : 0) * 3;
            if (memcmp(line, row.frame.ptr(r), from) || memcmp(line + from, base.ptr(r) + from, size_t(w) * 3 - from)) bad = r;
        }
        EXPECT_EQ(bad, -1) << row.name;
    }
    SDL_DestroyTexture(tex);
}

// Every written format plays to its last frame and removes its buffer: a
// longer sound is cut with the picture, a shorter or undecodable one is over.
// The H.264 clip reports no position for its last frames: taken at face value,
// that 0 would make the lead the whole sound offset (near 500 ms at the end)
// and toggle the sound on every pass. The picture is shown a period late, so
// leads near 100 ms (150 on a busy machine) are normal.
TEST_F(VideoTest, EveryWrittenFormatPlaysToItsLastFrameWhateverItsSound) {
    // soundOutlasts: playing, or paused by the sync step on a busy machine; never finished.
    struct Row { const char* extension; const char* fourcc; Bytes sound; bool soundOutlasts; };
    const Row rows[] = {
        {"avi", "MJPG", makeWav(3.0, 22050), true},
        {"mp4", "mp4v", makeWav(3.0, 22050), true},
        {"mp4", "avc1", makeWav(3.0, 22050), true},
        {"avi", "MJPG", makeWav(0.1, 22050), false},
        {"avi", "MJPG", Bytes(500, 0x5a), false},
    };
    for (const Row& row : rows) {
        const std::string name = std::string(row.fourcc) + ", " + std::to_string(row.sound.size()) + " bytes of sound";
        Bytes clip = makeClip(row.extension, row.fourcc, 12);
        ASSERT_FALSE(clip.empty()) << name << ": OpenCV's writer refused it";
        Played p = play(row.sound, clip);
        EXPECT_EQ(p.stats.framesShown, 12) << name;
        EXPECT_LT(p.seconds, 2.0) << name << ": the clip waited for its sound";
        EXPECT_LT(p.stats.largestLeadMs, 300) << name;
        EXPECT_EQ(p.stats.soundStatusAtEnd != int(sf::SoundSource::Stopped), row.soundOutlasts) << name;
        SDL_Color middle = capture().at(512, 384);
        EXPECT_EQ(nearestFrame(12, middle.b, middle.g, middle.r), 11) << name << ": the last frame stays on screen";
        EXPECT_FALSE(fileExists(bufferFile)) << name;
    }
}

// A slideshow clip keeps its own rate: at 0.5 fps the board stays 2 s before
// the first frame, and the second follows 2 s after it.
TEST_F(VideoTest, ASlowClipPlaysAtItsOwnRate) {
    Bytes clip = makeClip("avi", "MJPG", 3, 160, 120, 0.5);
    FrameRecorder recorder;
    LeftPressAfterFrames press(recorder, 2);
    Played p = play({}, clip);
    EXPECT_EQ(p.stats.framesShown, 2);
    EXPECT_EQ(recorder.frames().size(), 2u) << "nothing drawn before the first frame";
    EXPECT_GE(p.stats.firstFrameMicroseconds, 1900000);
    EXPECT_GE(p.stats.lastFrameMicroseconds - p.stats.firstFrameMicroseconds, 1900000);
}

TEST_F(VideoTest, LeftPressAndQuitRequestEndOnlyTheClipOtherInputDoesNot) {
    Bytes clip = makeClip("avi", "MJPG", 50);
    ASSERT_FALSE(clip.empty());
    auto pressLater = [](Uint32, void*) -> Uint32 {
        pushLeftClick(300, 300);
        return 0;
    };
    struct Row { const char* name; std::function<void()> push; int least, most; };  // frames shown of 50
    const Row rows[] = {
        {"a left press 0.3 s into the 2 s", [&] { SDL_AddTimer(300, pressLater, nullptr); }, 2, 40},
        {"quit request", [] { pushQuit(); }, 0, 1},
        {"other buttons, a release, motion, wheel and a key",
         [] { pushButton(SDL_BUTTON_RIGHT), pushButton(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONUP);
              push(motionEvent(600, 400)), push(wheelEvent(-1)), pushKey(SDL_SCANCODE_ESCAPE); },
         50, 50},
    };
    for (const Row& row : rows) {
        running = true;
        row.push();
        Played p = play(makeWav(3.0, 22050), clip);
        EXPECT_TRUE(p.stats.framesShown >= row.least && p.stats.framesShown <= row.most)
            << row.name << ": " << p.stats.framesShown << " frames shown, expected " << row.least << " to " << row.most;
        EXPECT_TRUE(queueEmpty()) << row.name << " left in the queue";
        EXPECT_TRUE(running) << row.name << " ended the program";
        EXPECT_FALSE(fileExists(bufferFile)) << row.name;
    }
}

// In child processes so that standard error can be read.
TEST(Video, BytesTheCaptureCannotOpenAndABufferThatCannotBeWrittenGiveOneLineEach) {
    ScratchDir dir;
    Bytes clip = makeClip("avi", "MJPG", 5);
    ASSERT_FALSE(clip.empty());
    ProcessResult r = runInChild([&] {
        SdlWindow win;
        SDL_SetRenderDrawColor(renderer, 10, 200, 90, 255);
        SDL_RenderClear(renderer);
        SDL_RenderPresent(renderer);
        // Text no demuxer accepts: the picture stays, the file waits for the next question.
        std::string text = "this is not a video, only a few words";
        Played bad = play(makeWav(0.5, 22050), Bytes(text.begin(), text.end()));
        SDL_Color c = capture().at(512, 384);
        printf("junk: frames=%lld passes=%lld colour=%d,%d,%d kept=%d\n", (long long)bad.stats.framesShown,
               (long long)bad.stats.passes, c.r, c.g, c.b, int(readFile(bufferFile) == Bytes(text.begin(), text.end())));
        rmdir("temp");  // made again for the clip, which then plays
        Played made = play({}, clip);
        printf("missing temp: frames=%lld exists=%d\n", (long long)made.stats.framesShown, int(fileExists(bufferFile)));
        // A disk that fills up after 1000 bytes of the clip.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit {};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 1000;  // the empty clip after it still fits
        setrlimit(RLIMIT_FSIZE, &limit);
        Played full = play({}, clip);
        printf("full: frames=%lld exists=%d\n", (long long)full.stats.framesShown, int(fileExists(bufferFile)));
        play({}, {});
        printf("empty: exists=%d size=%zu\n", int(fileExists(bufferFile)), readFile(bufferFile).size());
    });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "junk: frames=0 passes=0 colour=10,200,90 kept=1\nmissing temp: frames=5 exists=0\n"
                     "full: frames=0 exists=0\nempty: exists=1 size=0\n");
    EXPECT_EQ(r.err, std::string(noCapture) + "\n" + noCapture + "\n" + noCapture + "\n") << "one line per clip that cannot open";
}

// Without an audio device each call on a sound prints a complaint; a clip
// must not make one per loop pass.
TEST(Video, WithoutAnAudioDeviceTheClipPlaysSilentlyWithoutAComplaintPerPass) {
    ScratchDir dir;
    Bytes clip = makeClip("avi", "MJPG", 25);
    ASSERT_FALSE(clip.empty());
    ProcessResult r = runInChild([&] {
        setenv("ALSOFT_DRIVERS", "no-such-driver", 1);
        SdlWindow win;
        Played p = play(makeWav(1.0, 22050), clip);
        printf("frames=%lld passes=%lld\n", (long long)p.stats.framesShown, (long long)p.stats.passes);
    });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 10), "frames=25 ") << r.out;
    EXPECT_LT(lines(r.err).size(), 200u) << r.out << r.err.substr(0, 2000);  // a few complaints, once each
}
