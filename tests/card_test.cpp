// The question card on the software renderer, read back from the frames the
// dummy video driver saves: which presses lead to which frames, and where the
// white text stands on the background.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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

class CardTest : public ::testing::Test {
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

    ScratchDir dir;
    SdlWindow window;
    Frame background;
};

TEST_F(CardTest, FramesFollowTheLeftPressesCountedPerPollingPassAndNothingElse) {
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

TEST_F(CardTest, TextIsWhiteCentredAndCutAtTheEdges) {
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

TEST_F(CardTest, FontIsOpenedOnceAndAMissingFontIsTriedAgain) {
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

} // namespace
