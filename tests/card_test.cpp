// The question card on the software renderer: frames saved by the dummy video
// driver are compared with frames drawn here from the same font and texts.
#include <gtest/gtest.h>

#include <SDL_ttf.h>
#include <sys/stat.h>
#include <unistd.h>

#include "presentation/presentations.h"
#include "shell/globals.h"
#include "tests/support/presentation_support.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

// Presses pushed from the timer thread, in one go, once the card has
// presented afterFrames frames: gated on frames, not on time, so a busy
// machine cannot merge or split the polling passes they fall into.
struct LaterPresses {
    size_t afterFrames;
    int count;
};

struct PressGate {
    LaterPresses presses;
    const FrameRecorder* recorder;
    bool done;
};

Uint32 pushPressesWhenDue(Uint32 interval, void* param) {
    PressGate* gate = static_cast<PressGate*>(param);
    if (gate->done || gate->recorder->frames().size() < gate->presses.afterFrames) return interval;
    SDL_Event events[4];
    int n = 0;
    for (; n < gate->presses.count && n < 4; ++n) {
        events[n] = SDL_Event{};
        events[n].type = SDL_MOUSEBUTTONDOWN;
        events[n].button.button = SDL_BUTTON_LEFT;
        events[n].button.state = SDL_PRESSED;
        events[n].button.x = 600;
        events[n].button.y = 500;
    }
    SDL_PeepEvents(events, n, SDL_ADDEVENT, 0, 0);  // all under one lock: one polling pass sees them all
    gate->done = true;
    return interval;
}

// Ends a card that does not end by itself, so that a fault fails the test
// instead of hanging it.
Uint32 rescuePresses(Uint32 interval, void*) {
    pushLeftClick(1, 1);
    return interval;
}

class CardTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(window.ok()); }

    // Runs one card and returns the frames it presented, loaded.
    std::vector<SDL_Surface*> runCard(const std::wstring& question, const std::wstring& answer,
                                      const std::vector<LaterPresses>& later = {}) {
        FrameRecorder recorder;
        std::vector<PressGate> gates;
        for (const LaterPresses& p : later) gates.push_back(PressGate{p, &recorder, false});
        std::vector<SDL_TimerID> timers;
        for (PressGate& gate : gates) timers.push_back(SDL_AddTimer(2, pushPressesWhenDue, &gate));
        SDL_TimerID rescue = SDL_AddTimer(5000, rescuePresses, nullptr);
        showAskCard(question, answer);
        SDL_RemoveTimer(rescue);
        for (SDL_TimerID timer : timers) SDL_RemoveTimer(timer);
        std::vector<SDL_Surface*> frames;
        for (const std::string& name : recorder.frames()) frames.push_back(loadFrame(name));
        return frames;
    }

    // The background, with text drawn centred in the card's font when given.
    SDL_Surface* expectedFrame(const std::wstring* text) {
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_RenderCopy(renderer, bgTexture, nullptr, nullptr);
        if (text) {
            TTF_Font* font = TTF_OpenFont((runDir() + "/res/Brush.ttf").c_str(), 70);
            std::vector<Uint16> units(text->begin(), text->end());
            units.push_back(0);
            SDL_Surface* image = font ? TTF_RenderUNICODE_Blended(font, units.data(), SDL_Color{255, 255, 255, 255})
                                      : nullptr;
            if (image) {
                SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, image);
                SDL_Rect at{512 - image->w / 2, 384 - image->h / 2, image->w, image->h};
                SDL_RenderCopy(renderer, texture, nullptr, &at);
                SDL_DestroyTexture(texture);
                SDL_FreeSurface(image);
            }
            if (font) TTF_CloseFont(font);
        }
        return captureWindow();
    }

    void release(std::vector<SDL_Surface*>& frames) {
        for (SDL_Surface* s : frames) SDL_FreeSurface(s);
        frames.clear();
    }

    ScratchDir dir;
    SdlWindow window;
};

const std::wstring question = L"Кто написал «Онегина»?";
const std::wstring answer = L"Пушкин";
const std::wstring answerLine = L"Ответ: Пушкин";

// 'Q' question frame, 'A' answer frame, 'B' background alone.
struct PressRow {
    const char* name;
    int queuedBefore;
    std::vector<LaterPresses> later;
    std::string frames;
};

TEST_F(CardTest, FramesFollowTheLeftPressesCountedPerPollingPass) {
    const std::vector<PressRow> rows = {
        {"one press, then another", 0, {{1, 1}, {2, 1}}, "QAB"},
        {"a press queued before the card opens it on the answer", 1, {{1, 1}}, "AB"},
        {"two presses queued together skip the answer", 2, {}, "B"},
        {"three presses queued together close it as two do", 3, {}, "B"},
        {"two presses arriving together after the question", 0, {{1, 2}}, "QB"},
    };
    SDL_Surface* expectQ = expectedFrame(&question);
    SDL_Surface* expectA = expectedFrame(&answerLine);
    SDL_Surface* expectB = expectedFrame(nullptr);
    for (const PressRow& row : rows) {
        for (int i = 0; i < row.queuedBefore; ++i) pushLeftClick(300, 300);
        std::vector<SDL_Surface*> frames = runCard(question, answer, row.later);
        ASSERT_EQ(frames.size(), row.frames.size()) << row.name;
        for (size_t i = 0; i < frames.size(); ++i) {
            SDL_Surface* expected = row.frames[i] == 'Q' ? expectQ : row.frames[i] == 'A' ? expectA : expectB;
            EXPECT_EQ(countDifferences(frames[i], expected), 0)
                << row.name << ": frame " << i << " should be " << row.frames[i];
        }
        EXPECT_EQ(SDL_PeepEvents(nullptr, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0)
            << row.name << ": presses left in the queue";
        release(frames);
    }
    SDL_FreeSurface(expectQ);
    SDL_FreeSurface(expectA);
    SDL_FreeSurface(expectB);
}

TEST_F(CardTest, QuestionFrameShowsWhiteTextAroundTheCentre) {
    SDL_Surface* background = expectedFrame(nullptr);
    std::vector<SDL_Surface*> frames = runCard(question, answer, {{1, 1}, {2, 1}});
    ASSERT_EQ(frames.size(), 3u);
    int left = 1024, right = -1, top = 768, bottom = -1;
    bool white = false;
    for (int y = 0; y < 768; ++y) {
        for (int x = 0; x < 1024; ++x) {
            SDL_Color p = pixelOf(frames[0], x, y), b = pixelOf(background, x, y);
            if (p.r == b.r && p.g == b.g && p.b == b.b) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
            white = white || (p.r == 255 && p.g == 255 && p.b == 255);
        }
    }
    EXPECT_TRUE(white) << "no white text pixel in the question frame";
    EXPECT_NEAR((left + right) / 2, 512, 12) << "ink spans x " << left << ".." << right;
    EXPECT_NEAR((top + bottom) / 2, 384, 40) << "ink spans y " << top << ".." << bottom;
    EXPECT_GT(right - left, 300) << "the question is a long line";
    EXPECT_EQ(countDifferences(frames[2], background), 0) << "last frame is the background alone";
    release(frames);
    SDL_FreeSurface(background);
}

TEST_F(CardTest, OtherEventsAreConsumedWithoutEffect) {
    struct Row {
        const char* name;
        void (*push)();
    };
    const std::vector<Row> rows = {
        {"right press", [] { pushButton(SDL_BUTTON_RIGHT); }},
        {"middle press", [] { pushButton(SDL_BUTTON_MIDDLE); }},
        {"left release", [] { pushButton(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONUP); }},
        {"motion", [] { pushMotion(400, 400); }},
        {"wheel", [] { pushWheel(-3); }},
        {"F10 down", [] { pushKey(SDL_SCANCODE_F10); }},
        {"F10 up", [] { pushKey(SDL_SCANCODE_F10, SDL_KEYUP); }},
        {"space key", [] { pushKey(SDL_SCANCODE_SPACE); }},
        {"quit request", [] { pushQuit(); }},
    };
    SDL_Surface* expectQ = expectedFrame(&question);
    for (const Row& row : rows) {
        row.push();
        std::vector<SDL_Surface*> frames = runCard(question, answer, {{1, 1}, {2, 1}});
        ASSERT_EQ(frames.size(), 3u) << row.name;
        EXPECT_EQ(countDifferences(frames[0], expectQ), 0) << row.name << ": the card must open on the question";
        EXPECT_EQ(SDL_PeepEvents(nullptr, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0)
            << row.name << ": not consumed";
        EXPECT_TRUE(running) << row.name;
        release(frames);
    }
    SDL_FreeSurface(expectQ);
}

TEST_F(CardTest, EmptyAndOverlongTexts) {
    const std::wstring label = L"Ответ: ";
    const std::wstring overlong(60, L'Ш');
    struct Row {
        const char* name;
        std::wstring question, answer;
        const std::wstring* expectedQuestion;  // null: background alone
        const std::wstring* expectedAnswer;
    };
    const std::wstring overlongLine = label + overlong;
    const std::vector<Row> rows = {
        {"empty answer shows the label alone", question, L"", &question, &label},
        {"empty question shows the background", L"", answer, nullptr, &answerLine},
        {"both empty", L"", L"", nullptr, &label},
        {"overlong texts are centred and cut", overlong, overlong, &overlong, &overlongLine},
    };
    for (const Row& row : rows) {
        SDL_Surface* expectQ = expectedFrame(row.expectedQuestion);
        SDL_Surface* expectA = expectedFrame(row.expectedAnswer);
        std::vector<SDL_Surface*> frames = runCard(row.question, row.answer, {{1, 1}, {2, 1}});
        ASSERT_EQ(frames.size(), 3u) << row.name;
        EXPECT_EQ(countDifferences(frames[0], expectQ), 0) << row.name << ": question frame";
        EXPECT_EQ(countDifferences(frames[1], expectA), 0) << row.name << ": answer frame";
        SDL_FreeSurface(expectQ);
        SDL_FreeSurface(expectA);
        if (row.expectedQuestion == &overlong) {
            // Text reaches both window edges.
            bool leftEdge = false, rightEdge = false;
            for (int y = 0; y < 768; ++y) {
                for (int x = 0; x < 30; ++x) {
                    SDL_Color l = pixelOf(frames[0], x, y), r = pixelOf(frames[0], 1023 - x, y);
                    leftEdge = leftEdge || (l.r > 200 && l.g > 200 && l.b > 200);
                    rightEdge = rightEdge || (r.r > 200 && r.g > 200 && r.b > 200);
                }
            }
            EXPECT_TRUE(leftEdge && rightEdge) << row.name;
        }
        release(frames);
    }
}

TEST_F(CardTest, FontIsOpenedOnceAndAMissingFontIsTriedAgain) {
    // A res/ of our own, whose font can come and go.
    ASSERT_EQ(unlink(dir.file("res").c_str()), 0);
    ASSERT_EQ(mkdir(dir.file("res").c_str(), 0755), 0);
    SDL_Surface* background = expectedFrame(nullptr);

    std::vector<SDL_Surface*> frames = runCard(question, answer, {{1, 1}, {2, 1}});
    ASSERT_EQ(frames.size(), 3u) << "without its font the card still runs";
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(countDifferences(frames[i], background), 0) << "frame " << i << " without a font";
    EXPECT_EQ(cardFont, nullptr);
    release(frames);

    writeFile(dir.file("res/Brush.ttf"), readFile(runDir() + "/res/Brush.ttf"));
    SDL_Surface* expectQ = expectedFrame(&question);
    frames = runCard(question, answer, {{1, 1}, {2, 1}});
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(countDifferences(frames[0], expectQ), 0) << "the next card opens the font";
    TTF_Font* opened = cardFont;
    EXPECT_NE(opened, nullptr);
    release(frames);

    // The second card must not need the file any more.
    ASSERT_EQ(unlink(dir.file("res/Brush.ttf").c_str()), 0);
    frames = runCard(question, answer, {{1, 1}, {2, 1}});
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(countDifferences(frames[0], expectQ), 0) << "the second card reuses the open font";
    EXPECT_EQ(cardFont, opened);
    release(frames);
    SDL_FreeSurface(expectQ);
    SDL_FreeSurface(background);
}

} // namespace
