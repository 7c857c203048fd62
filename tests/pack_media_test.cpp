// SPDX-License-Identifier: GPL-3.0-or-later
// The pack tool's build on the media hosts have: sounds, clips and pictures
// made here with FFmpeg's encoders go through the real rvl-pack, and what it
// stores is checked with the reader's own decoders.
#include <gtest/gtest.h>

#include <SFML/Audio/SoundBuffer.hpp>
#include <nlohmann/json.hpp>
#include <opencv2/videoio.hpp>

#include <malloc.h>
#include <sys/wait.h>

#include <cerrno>

#include "packing/convert/reader_accepts.h"
#include "packing/convert/sound_convert.h"
#include "packing/convert/video_convert.h"
#include "packing/pack_reader.h"
#include "presentation/picture_decode.h"
#include "presentation/sound_decode.h"
#include "tests/support/av_media.h"
#include "tests/support/test_support.h"

using namespace testing_support;
using Json = nlohmann::ordered_json;

// Under AddressSanitizer too, an arithmetic fault ends a process by its
// signal, so that the sweep below tells it from a bad address.
extern "C" const char* __asan_default_options() { return "handle_sigfpe=0"; }

// FFmpeg's allocator goes through posix_memalign: this one fails the call
// counted down to, and passes the others on.
static long failingCall = 0;
extern "C" int posix_memalign(void** out, size_t alignment, size_t size) {
    if (failingCall > 0 && --failingCall == 0) return ENOMEM;
    *out = memalign(alignment, size);
    return *out || size == 0 ? 0 : ENOMEM;
}

TEST(PackMedia, BuildConvertsWhatTheReaderRefusesAndIsDeterministic) {
    ScratchDir dir;
    auto q = [](const char* type, Json extra = Json::object()) {
        Json j{{"type", type}, {"question", std::string("Вопрос ") + type}, {"answer", "Ответ"}, {"points", 100}};
        j.update(extra);
        return j;
    };
    struct Row {
        const char* file;
        ClipSpec spec;
        Json question;      // the question's keys but the media file
        double seconds;     // expected sound length, 0 for none
        int width, height;  // expected picture or video frame size, 0 for a sound
    };
    const Row rows[] = {
        {"song.mp3", {"mp3", nullptr, 0, 0, 0, 25, "libmp3lame", 44100, 2, 3.0}, q("audio"), 3.0, 0, 0},
        {"voice.m4a", {"ipod", nullptr, 0, 0, 0, 25, "aac", 48000, 1, 2.0}, q("audio"), 2.0, 0, 0},
        {"clip.mp4", {"mp4", "libx264", 160, 120, 25, 25, "aac", 44100, 2, 1.0}, q("video"), 1.0, 160, 120},
        {"photo.jpg", {}, q("picture"), 0, 576, 768},
        {"anim.gif", {"gif", "gif", 64, 48, 3}, q("picture"), 0, 64, 48},
        {"wide.webp", {"webp", "libwebp", 1500, 900, 1}, q("picture"), 0, 1024, 614},
        {"wide.mp4", {"mp4", "libx264", 320, 180, 25}, q("video", {{"audio", nullptr}}), 0, 320, 240},
        {"stretched.mp4", {"mp4", "libx264", 320, 180, 5}, q("video", {{"audio", nullptr}, {"fit", "stretch"}}), 0, 320, 180},
        {"kept.mp4", {"mp4", "libx264", 320, 180, 5}, q("video", {{"audio", nullptr}, {"fit", "none"}}), 0, 320, 180},
        // A 5 s pause after frame 10: re-encoded at its 25 fps, frame 10 held over the pause.
        {"pause.mp4", {"mp4", "libx264", 320, 180, 25, 25, nullptr, 44100, 2, 0, 10, 125},
         q("video", {{"audio", nullptr}, {"fit", "letterbox"}}), 0, 320, 240},
    };
    Json questions = Json::array();
    for (const Row& row : rows) {
        std::vector<uint8_t> bytes = row.spec.container ? makeClip(row.spec) : makeJpegWithOrientation(4000, 3000, 6);
        ASSERT_FALSE(bytes.empty()) << row.file << " was not made";
        writeFile(dir.file(row.file), bytes);
        Json question = row.question;
        question[question["type"] == "video" ? "video" : "media"] = row.file;
        questions.push_back(question);
    }
    writeText(dir.file("pack.json"), Json{{"name", "Медиа"}, {"created", "2024-05-01T18:30:00Z"},
                                          {"topics", {{{"name", "Всё"}, {"questions", questions}}}}}.dump(2));

    auto pack = [](std::vector<std::string> args) {
        args.insert(args.begin(), runDir() + "/rvl-pack");
        return runProcess(args, {"LC_ALL=C"});  // English, whatever the machine's language
    };
    ProcessResult built = pack({"build", "pack.json", "-o", "a.rvl"});
    // The one warning: the clip kept as it is, which the reader stretches; the
    // check of the finished pack warns about both stored 16:9 clips.
    EXPECT_EQ(built.exitCode, 1) << built.err;
    const std::string stretched = "\"Вопрос video\" (kept.mp4): the video has a display aspect ratio of 1.78 (4:3 is "
                                  "1.33) and the reader will stretch it to 4:3; to pad it with black instead, leave out "
                                  "its \"fit\"";
    auto warnings = [](const std::string& err) {
        std::vector<std::string> found;
        for (const std::string& line : lines(err))
            if (line.rfind("warning:", 0) == 0) found.push_back(line);
        return found;
    };
    EXPECT_NE(built.err.find("warning: topic 1 question 9 " + stretched + " (\"letterbox\" is the default)"), std::string::npos);
    EXPECT_EQ(built.err.find("will stretch"), built.err.rfind("will stretch")) << built.err;
    ProcessResult checked = pack({"check", "a.rvl"});
    EXPECT_EQ(warnings(checked.err).size(), 2u) << checked.err;
    EXPECT_NE(checked.err.find("question 8 \"Вопрос video\": the video has a display aspect ratio of 1.78"), std::string::npos) << checked.err;
    for (const char* converted : {"(anim.gif): GIF with 3 frames: the first frame is kept", "(song.mp3): converted the sound (mp3, 44100 Hz, stereo, 0:03, ",
                                  "(voice.m4a): converted the sound (aac, 48000 Hz, mono, 0:02, ", "(clip.mp4): took", "(photo.jpg): con", "(anim.gif): converted",
                                  "(wide.webp): converted", "(wide.mp4): letterboxed", "(pause.mp4): letterboxed the video (h264 320x180 (display aspect 1.78), 25 fps, 0:06, "})
        EXPECT_NE(built.err.find(converted), std::string::npos) << converted << " not reported:\n" << built.err;
    rvlpack::Module module;
    ASSERT_TRUE(rvlpack::readModuleFile(dir.file("a.rvl"), module));
    ASSERT_EQ(module.topics.at(0).questions.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        const rvlpack::Question& ask = module.topics[0].questions[i];
        SCOPED_TRACE(row.file);
        if (row.seconds > 0) {
            sf::SoundBuffer sound;
            EXPECT_TRUE(loadQuestionSound(sound, ask.media.data(), uint32_t(ask.media.size())));
            EXPECT_NEAR(sound.getDuration().asSeconds(), row.seconds, 0.05);
        }
        EXPECT_TRUE(ask.type != 'V' || row.seconds > 0 || ask.media.empty()) << "\"audio\": null stores no sound";
        if (ask.type == 'I') {
            SDL_Surface* picture = decodeQuestionPicture(ask.media.data(), static_cast<uint32_t>(ask.media.size()));
            ASSERT_NE(picture, nullptr) << "the reader cannot decode the stored picture";
            EXPECT_EQ(picture->w * 10000 + picture->h, row.width * 10000 + row.height) << "expected vs actual size";
            // The red square was in the stored top left corner; turned upright by orientation 6 it is top right.
            SDL_Surface* rgba = SDL_ConvertSurfaceFormat(picture, SDL_PIXELFORMAT_RGBA32, 0);
            auto red = [&](int x, int y) {
                const uint8_t* p = static_cast<uint8_t*>(rgba->pixels) + y * rgba->pitch + x * 4;
                return p[0] > 200 && p[1] < 60;
            };
            bool turned = std::string(row.file) == "photo.jpg";
            EXPECT_EQ(red(rgba->w - 4, 4), turned) << "top right corner";
            EXPECT_EQ(red(4, 4), !turned) << "top left corner";
            SDL_FreeSurface(rgba);
            SDL_FreeSurface(picture);
        }
        if (ask.type == 'V') {
            EXPECT_TRUE(rvlpack::readerOpensVideo(ask.video));
            // The first frame as the reader's capture gives it.
            writeFile(dir.file("frame.bin"), ask.video);
            cv::VideoCapture capture(dir.file("frame.bin"));
            cv::Mat frame;
            ASSERT_TRUE(capture.read(frame));
            EXPECT_EQ(frame.cols * 10000 + frame.rows, row.width * 10000 + row.height) << "expected vs actual size";
            // Rows from the top whose green is darker than 40: the bars.
            int bars = 0;
            while (bars < frame.rows && cv::mean(frame.row(bars))[1] < 40) ++bars;
            if (row.width == 320 && row.height == 240) {  // letterboxed
                // The source's rate exactly, a frame for each of its frames and of its pause.
                EXPECT_EQ(capture.get(cv::CAP_PROP_FPS), 25.0);
                EXPECT_EQ(capture.get(cv::CAP_PROP_FRAME_COUNT), row.spec.frames + row.spec.pauseFrames);
                // The red of the picture's middle in frames 9, 10 and 135: frame 9 of the
                // source is held over the pause, its frame 10 (4 redder) comes after.
                std::vector<double> red;
                cv::Mat later;
                for (int at = 1; at <= 135 && capture.read(later); ++at)
                    if (at == 9 || at == 10 || at == 135) red.push_back(cv::mean(later.row(later.rows / 2))[2]);
                bool paused = row.spec.pauseFrames > 0;
                ASSERT_EQ(red.size(), paused ? 3u : 2u);
                EXPECT_NEAR(red[1] - red[0], paused ? 0 : 4, 1.5) << "frame 10";
                if (paused) {
                    EXPECT_NEAR(red[2] - red[0], 4, 1.5) << "frame 135";
                }
                EXPECT_LT(cv::mean(frame.row(0))[0], 20) << "bars are black";
                double content = double(frame.cols) / (frame.rows - 2 * bars);
                EXPECT_NEAR(content / (16.0 / 9), 1.0, 0.02) << "content aspect " << content;
            } else {
                EXPECT_EQ(bars, 0);
            }
        }
    }

    // The same inputs give the same bytes; unpacking and building again too.
    pack({"build", "pack.json", "-o", "b.rvl"});
    EXPECT_TRUE(readFile(dir.file("a.rvl")) == readFile(dir.file("b.rvl"))) << "two builds differ";
    pack({"unpack", "a.rvl", "-o", "out"});
    ProcessResult rebuilt = pack({"build", "out/manifest.json", "-o", "c.rvl"});
    EXPECT_TRUE(readFile(dir.file("a.rvl")) == readFile(dir.file("c.rvl"))) << "unpack and build differ\n" << rebuilt.err;
    EXPECT_EQ(rebuilt.err.find("converted"), std::string::npos) << rebuilt.err;
}

// Each allocation of a conversion failed in turn, in a child process: it
// fails saying why, or, where FFmpeg does without, gives a result (its
// probing and muxers go on without some, so the result may differ). Never
// a bad address: aborts (FFmpeg's assertions) and arithmetic faults (once,
// swresample's own init swallows a failure) happen inside FFmpeg.
TEST(PackMedia, ConversionsReportEveryFailedAllocation) {
    av_log_set_level(AV_LOG_QUIET);
    const std::vector<uint8_t> sound = makeClip({"mp3", nullptr, 0, 0, 0, 25, "libmp3lame", 22050, 1, 0.3});
    const std::vector<uint8_t> clip = makeClip({"mp4", "libx264", 64, 48, 3});
    ASSERT_FALSE(sound.empty() || clip.empty());
    auto convert = [&](bool video, std::vector<uint8_t>& out, std::string& error) {
        rvlpack::SoundFacts from, to;
        rvlpack::VideoFacts vfrom, vto;
        return video ? rvlpack::convertVideo(clip, true, 1024, 768, out, vfrom, vto, error)
                     : rvlpack::convertSound(sound, out, from, to, error) == rvlpack::SoundOutcome::Converted;
    };
    std::string error;
    failingCall = 1;
    std::vector<uint8_t> whole;
    EXPECT_FALSE(convert(false, whole, error));
    EXPECT_EQ(error, "out of memory (avformat_alloc_context)");
    failingCall = 0;
    fflush(stdout);
    for (bool video : {false, true}) {
        ASSERT_TRUE(convert(video, whole, error)) << error;
        int status = 0, n = 1, inFFmpeg = 0;
        for (; n < 5000; ++n) {
            if (pid_t child = fork(); child == 0) {
                std::vector<uint8_t> out;
                error.clear();
                failingCall = n;
                bool ok = convert(video, out, error);
                _exit(failingCall > 0 ? 10 : ok ? out.empty() : error.empty() ? 2 : 0);  // 10: no allocation left to fail
            } else {
                waitpid(child, &status, 0);
            }
            bool ffmpegs = WIFSIGNALED(status) && (WTERMSIG(status) == SIGABRT || WTERMSIG(status) == SIGFPE);
            inFFmpeg += ffmpegs;
            if (WIFEXITED(status) && WEXITSTATUS(status) == 10) break;
            // 1: nothing made but reported as done; 2: a failure without a word.
            EXPECT_TRUE(WIFEXITED(status) ? WEXITSTATUS(status) == 0 : ffmpegs)
                << (video ? "video" : "sound") << ", allocation " << n << " failed: status " << status;
        }
        printf("%s: %d allocations, %d stopped inside FFmpeg\n", video ? "video" : "sound", n, inFFmpeg);
    }
}
// Sound files joined into one change rate and channels midway: the
// converter follows them, so neither length nor pitch changes.
TEST(PackMedia, JoinedSoundsOfOtherRatesAndChannels) {
    av_log_set_level(AV_LOG_QUIET);
    std::vector<uint8_t> joined = makeClip({"mp3", nullptr, 0, 0, 0, 25, "libmp3lame", 44100, 2, 1.0});
    std::vector<uint8_t> second = makeClip({"mp3", nullptr, 0, 0, 0, 25, "libmp3lame", 22050, 1, 1.0});
    joined.insert(joined.end(), second.begin(), second.end());
    std::vector<uint8_t> ogg;
    rvlpack::SoundFacts from, to;
    std::string error;
    ASSERT_EQ(rvlpack::convertSound(joined, ogg, from, to, error), rvlpack::SoundOutcome::Converted) << error;
    sf::SoundBuffer sound;
    ASSERT_TRUE(loadQuestionSound(sound, ogg.data(), uint32_t(ogg.size())));
    EXPECT_NEAR(sound.getDuration().asSeconds(), 2.0, 0.1);
}
