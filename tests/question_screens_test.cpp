// SPDX-License-Identifier: GPL-3.0-or-later
// The question card and the picture question on the software renderer, read
// back from the frames the dummy video driver saves: which presses lead to
// which frames, where the white text and the picture stand on the background,
// and the picture decoder's gate on untrusted bytes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "presentation/picture_decode.h"
#include "presentation/presentations.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

const std::wstring question = L"Кто написал «Онегина»?";
const std::wstring answer = L"Пушкин";

// Ends a card that does not end by itself, so that a fault fails the test
// instead of hanging it.
Uint32 rescuePresses(Uint32 interval, void*) {
    pushLeftClick(1, 1);
    return interval;
}

class QuestionScreen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.ok());
        SDL_RenderCopy(renderer, bgTexture, nullptr, nullptr);
        background = capture();
    }

    // Runs one card; presses come in one go once 1 and 2 frames are out.
    std::vector<Frame> runCard(const std::wstring& q, const std::wstring& a, int firstPresses = 1, int secondPresses = 1) {
        FrameRecorder recorder;
        LeftPressAfterFrames first(recorder, 1, firstPresses), second(recorder, 2, secondPresses);
        SDL_TimerID rescue = SDL_AddTimer(5000, rescuePresses, nullptr);
        showAskCard(q, a);
        SDL_RemoveTimer(rescue);
        return recorder.loaded();
    }

    // 'B' the background alone, 'W' a wide text line (the question), 'N' a
    // narrow one (the answer line), followed by one letter per frame.
    std::string kinds(const std::vector<Frame>& frames) {
        std::string out;
        for (const Frame& f : frames) {
            Ink ink = inkBetween(background, f);
            out += ink.count == 0 ? 'B' : ink.box.w > 450 ? 'W' : 'N';
        }
        return out;
    }

    // Shows the picture with every other kind of input queued before it, and
    // returns its frames. Two left presses are sent together once the first
    // frame is out; waited tells whether the picture still showed when they
    // came and took both: the one that ends it and the one queued behind it.
    std::vector<Frame> showPicture(Bytes bytes, bool& waited) {
        pushOtherInput();
        FrameRecorder recorder;
        LeftPressAfterFrames press(recorder, 1, 2);
        showImageAsk(bytes.empty() ? nullptr : bytes.data(), uint32_t(bytes.size()));
        // A loop that ended early leaves the late presses in the queue.
        press.stop();
        waited = press.pushed() && queueEmpty();
        return recorder.loaded();
    }

    ScratchDir dir;
    SdlWindow window;
    Frame background;
};

TEST_F(QuestionScreen, CardFramesFollowTheLeftPressesCountedPerPollingPassAndNothingElse) {
    struct Row {
        const char* name;
        std::function<void()> before;  // input queued before the card opens
        int firstPresses, secondPresses;
        std::string frames;
    };
    const std::vector<Row> rows = {
        {"other input changes nothing, not even a quit request", pushOtherInput, 1, 1, "WNB"},
        {"a press queued before the card opens it on the answer", [] { pushLeftClick(); }, 1, 0, "NB"},
        {"two presses queued together skip the answer", [] { for (int i = 0; i < 2; ++i) pushLeftClick(); }, 0, 0, "B"},
        {"two presses arriving together after the question", [] {}, 2, 0, "WB"},
    };
    for (const Row& row : rows) {
        row.before();
        EXPECT_EQ(kinds(runCard(question, answer, row.firstPresses, row.secondPresses)), row.frames) << row.name;
        EXPECT_TRUE(queueEmpty()) << row.name << ": input left in the queue";
        EXPECT_TRUE(running) << row.name;
    }
}

TEST_F(QuestionScreen, CardTextIsWhiteCentredAndCutAtTheEdges) {
    const std::wstring overlong(60, L'Ш');
    struct Row {
        const char* name;
        std::wstring question, answer;
        std::string frames;
    };
    const std::vector<Row> rows = {
        {"question and answer", question, answer, "WNB"},
        {"empty answer shows the label alone", question, L"", "WNB"},
        {"empty question shows the background", L"", answer, "BNB"},
        {"overlong texts", overlong, overlong, "WWB"},
    };
    for (const Row& row : rows) {
        std::vector<Frame> frames = runCard(row.question, row.answer);
        ASSERT_EQ(kinds(frames), row.frames) << row.name;
        for (size_t i = 0; i + 1 < frames.size(); ++i) {
            Ink ink = inkBetween(background, frames[i]);
            if (ink.count == 0) continue;
            SCOPED_TRACE(std::string(row.name) + ", frame " + std::to_string(i) + ", ink " + describe(ink.box));
            EXPECT_NEAR(ink.box.x * 2 + ink.box.w, 1024, 24) << "centred across";
            EXPECT_NEAR(ink.box.y * 2 + ink.box.h, 768, 80) << "centred down";
            EXPECT_LT(ink.box.h, 150) << "one line";
            Frame allWhite = frames[i];
            std::fill(allWhite.px.begin(), allWhite.px.end(), 255);
            EXPECT_GT(ink.box.w * ink.box.h - inkBetween(allWhite, frames[i], ink.box).count, 200) << "opaque white text";
            if (row.question == L"") continue;
            bool wide = row.question.size() == 60;
            EXPECT_EQ(ink.box.x < 10 && ink.box.x + ink.box.w > 1014, wide) << "only an overlong line reaches both edges";
        }
    }
}

TEST_F(QuestionScreen, CardFontIsOpenedOnceAndAMissingFontIsTriedAgain) {
    // A res/ of our own, whose font can come and go.
    ASSERT_EQ(unlink(dir.file("res").c_str()), 0);
    ASSERT_EQ(mkdir(dir.file("res").c_str(), 0755), 0);
    EXPECT_EQ(kinds(runCard(question, answer)), "BBB") << "without its font the card still runs";

    writeFile(dir.file("res/Brush.ttf"), readFile(runDir() + "/res/Brush.ttf"));
    EXPECT_EQ(kinds(runCard(question, answer)), "WNB") << "the next card opens the font";

    ASSERT_EQ(unlink(dir.file("res/Brush.ttf").c_str()), 0);
    // The file is gone: only the font opened before can draw this card.
    EXPECT_EQ(kinds(runCard(question, answer)), "WNB") << "the second card reuses the open font";
}

TEST_F(QuestionScreen, DecoderTakesPngAndJpegOnlyAndChecksTheirSize) {
    const Bytes png = makePng(301, 201);
    const Bytes jpeg = encodePicture(patternSurface(301, 201), "jpg");
    size_t sof = 2;
    while (sof + 9 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0)) ++sof;
    ASSERT_LT(sof + 9, jpeg.size()) << "no baseline frame header in the encoded JPEG";
    // 8193 by 8193 (0x2001) in the frame header: more pixels than the limit.
    Bytes jpegHuge = jpeg;
    jpegHuge[sof + 5] = jpegHuge[sof + 7] = 0x20;
    jpegHuge[sof + 6] = jpegHuge[sof + 8] = 0x01;
    struct Row {
        const char* name;
        Bytes bytes;
        int w;  // 0: refused
    };
    const std::vector<Row> rows = {
        {"PNG", png, 301},
        {"JPEG", jpeg, 301},
        {"BMP is not a module format", makeBmp(301, 201), 0},
        {"PNG cut after its header", Bytes(png.begin(), png.begin() + 40), 0},
        {"PNG with a side over the limit", makePng(maxPictureSide + 1, 1), 0},
        {"JPEG claiming more pixels than the limit", jpegHuge, 0},
    };
    for (const Row& row : rows) {
        SDL_Surface* s = decodeQuestionPicture(row.bytes.data(), uint32_t(row.bytes.size()));
        EXPECT_EQ(s ? s->w * 1000 + s->h : 0, row.w ? 301201 : 0) << row.name << ": " << SDL_GetError();
        SDL_FreeSurface(s);
    }
    // A count beyond the signed 32-bit range is refused before any byte is read.
    EXPECT_EQ(decodeQuestionPicture(png.data(), uint32_t(INT_MAX) + 1u + uint32_t(png.size())), nullptr);
}

TEST_F(QuestionScreen, PictureStandsCentredAtItsOwnSizeUntilALeftPressTakesTheQueue) {
    struct Row {
        const char* name;
        Bytes bytes;
        int w, h, x, y;  // where the picture stands; 0 by 0: the background alone
    };
    const std::vector<Row> rows = {{"301x201", makePng(301, 201), 301, 201, 362, 284},
                                   {"2000x1000", makePng(2000, 1000), 2000, 1000, -488, -116},
                                   {"bytes that do not decode", Bytes(512, 0x5A), 0, 0, 0, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool waited = false;
        std::vector<Frame> frames = showPicture(row.bytes, waited);
        ASSERT_EQ(frames.size(), 1u) << "drawn once, never redrawn";
        EXPECT_TRUE(waited) << "ended before the left press, or left input behind it";
        long wrong = 0;
        std::string first;
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 1024; ++x) {
                bool inside = x >= row.x && x < row.x + row.w && y >= row.y && y < row.y + row.h;
                SDL_Color want = inside ? patternColour(x - row.x, y - row.y) : background.at(x, y);
                SDL_Color got = frames[0].at(x, y);
                if ((got.r == want.r && got.g == want.g && got.b == want.b) || wrong++) continue;
                first = "(" + std::to_string(x) + "," + std::to_string(y) + ") " + describe(got);
            }
        EXPECT_EQ(wrong, 0) << "expected at (" << row.x << "," << row.y << "); first wrong pixel " << first;
    }
}

} // namespace
