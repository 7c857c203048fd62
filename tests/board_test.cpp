// SPDX-License-Identifier: GPL-3.0-or-later
// The board on the software renderer, read back pixel by pixel, and mouse
// input handed to its event handler: lines and labels, the topic list and its
// selection band, the question grid, scrolling, choosing and playing, and a
// list of 255 topics taller than a renderer's largest texture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "board/board_state.h"
#include "board/board_text.h"
#include "board/geometry.h"
#include "module/records.h"
#include "platform/resource_files.h"
#include "platform/text_texture.h"
#include "presentation/video_module.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"

using namespace testing_support;
using Ravlin::RM_Reader::RM_Topic;
using Topics = std::vector<RM_Topic>;

namespace {

// count topics named "Тема 1" ... with asksEach text questions worth 1, 2, ...
Topics makeTopics(int count, int asksEach = 0) {
    Topics topics;
    for (int t = 0; t < count; ++t) {
        RM_Topic topic;
        topic.name = L"Тема " + std::to_wstring(t + 1);
        topic.asks.resize(size_t(asksEach));
        for (int a = 0; a < asksEach; ++a) topic.asks[size_t(a)].type = 'T', topic.asks[size_t(a)].points = uint16_t(a + 1);
        topics.push_back(topic);
    }
    return topics;
}

// The questions of 1..n no longer in the topic (each one's points are its number).
std::vector<int> played(const RM_Topic& topic, int n) {
    std::vector<int> gone;
    for (int p = 1; p <= n; ++p)
        if (std::none_of(topic.asks.begin(), topic.asks.end(), [&](const auto& a) { return a.points == p; }))
            gone.push_back(p);
    return gone;
}

// A window with the board prepared for the topics (pointer at 0,0, no
// texture limit) and its background built.
struct Board {
    SdlWindow sdl;
    Topics topics;
    explicit Board(Topics t) : topics(std::move(t)) {
        mouseX = mouseY = 0;
        boardTextureHeightLimit = 0;
        board.prepare(&topics, renderer);
        boardBackground = buildBoardBackground(renderer);
    }
    // The background alone, and with the board over it as the frame loop draws it.
    Frame background() const {
        SDL_RenderCopy(renderer, boardBackground, nullptr, nullptr);
        return capture();
    }
    Frame frame() {
        SDL_RenderCopy(renderer, boardBackground, nullptr, nullptr);
        board.draw(&topics, renderer);
        return capture();
    }
};

// Black, then the board only: the list's pixels do not depend on the picture.
Frame onBlack(Topics& topics) {
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    board.draw(&topics, renderer);
    return capture();
}

void moveTo(Topics& topics, int x, int y) { board.handleEvent(&topics, motionEvent(x, y)); }

// A left press far from the pointer (the board must use the last motion's
// position); two further presses wait in the queue for the question card.
void press(Topics& topics) {
    pushLeftClick(5, 5);
    pushLeftClick(5, 5);
    board.handleEvent(&topics, buttonEvent(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONDOWN, 5, 5));
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

void clickAt(Topics& topics, int x, int y) {
    moveTo(topics, x, y);
    press(topics);
}

} // namespace

TEST(BoardDraw, LinesLabelsRowsBandAndCells) {
    Topics topics = makeTopics(3, 4);
    topics[2].name = L"Очень длинное название третьей темы";
    topics[1].name.clear();
    const uint16_t values[] = {5, 65535, 0, 1234};
    for (int i = 0; i < 4; ++i) topics[0].asks[size_t(i)].points = values[i];
    Board b(topics);
    ASSERT_TRUE(b.sdl.ok());
    SDL_RenderCopy(renderer, bgTexture, nullptr, nullptr);
    Frame picture = capture(), background = b.background(), f = b.frame();
    Frame allYellow = background;
    for (size_t i = 0; i < allYellow.px.size(); ++i) allYellow.px[i] = i % 4 == 2 ? 0 : 255;
    auto notYellow = [&](const SDL_Rect& r) { return inkBetween(allYellow, background, r).count; };
    EXPECT_EQ(notYellow({0, 175, 1024, 1}), 0) << "header line";
    EXPECT_EQ(notYellow({350, 0, 1, 768}), 0) << "divider";
    // The line is one pixel thick (above it, away from the labels, and below it
    // nothing is drawn over the picture); below the header nothing else is.
    for (SDL_Rect r : {SDL_Rect{0, 174, 40, 1}, SDL_Rect{1000, 174, 24, 1}, SDL_Rect{0, 176, 350, 592},
                       SDL_Rect{351, 176, 673, 592}})
        EXPECT_EQ(inkBetween(picture, background, r).count, 0) << describe(r);
    // "Тема" from 50 pixels in, "Вопрос" in yellow from 400, both standing on the line.
    Ink topic = inkBetween(picture, background, {0, 0, 350, 175});
    Ink question = inkBetween(picture, background, {404, 0, 620, 175});
    EXPECT_TRUE(topic.box.x >= 50 && topic.box.x <= 70) << describe(topic.box);
    EXPECT_GT(30 * 175 - notYellow({400, 0, 30, 175}), 100) << "\"Вопрос\" starts at 400";
    EXPECT_GE(question.box.y + question.box.h, 160) << describe(question.box);

    EXPECT_GT(inkBetween(background, f, {0, 175, 350, 70}, 8).count, 100) << "topic 1";
    EXPECT_EQ(inkBetween(background, f, {0, 245, 350, 70}).count, 0) << "an empty name draws nothing";
    // A name wider than its row is cut at the panel's edge; the divider stays.
    Ink longName = inkBetween(background, f, {0, 315, 351, 70}, 8);
    EXPECT_TRUE(longName.box.x >= 10 && longName.box.x + longName.box.w >= 340 && longName.box.x + longName.box.w <= 350)
        << describe(longName.box);
    EXPECT_EQ(inkBetween(background, f, {0, 385, 350, 768 - 385}).count, 0) << "below the list";
    EXPECT_EQ(inkBetween(background, f, {351, 176, 673, 592}).count, 0) << "no topic chosen, no grid";

    // The band raises red and green by 100 (capped) over the chosen row only.
    board.selectedTopic = 1;
    Frame banded = b.frame();
    int wrong = 0, capped = 0;
    for (int y = 170; y < 250; ++y)
        for (int x = 0; x < 350; ++x) {
            SDL_Color p = f.at(x, y), q = banded.at(x, y);
            bool in = y >= 175 && y < 245;
            capped += in && p.r + 100 > 255;
            SDL_Color want = in ? SDL_Color{Uint8(std::min(255, p.r + 100)), Uint8(std::min(255, p.g + 100)), p.b, p.a} : p;
            wrong += q.r != want.r || q.g != want.g || q.b != want.b;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(capped, 0) << "the band crosses no yellow pixel";
    // Each cell is filled by its stretched number, and nothing lies beyond the four.
    for (int i = 0; i < 4; ++i) {
        Ink ink = inkBetween(f, banded, {351 + 168 * i, 176, 167, 133}, 16);
        EXPECT_TRUE(ink.box.w > 90 && ink.box.h > 70) << "points " << values[i] << " " << describe(ink.box);
    }
    EXPECT_EQ(inkBetween(f, banded, {351, 310, 673, 458}).count, 0);
}

TEST(BoardDraw, TheTwentyFirstQuestionMovesUpAndAnEmptyTopicKeepsItsBand) {
    Board b(makeTopics(2, 21));
    ASSERT_TRUE(b.sdl.ok());
    Frame background = b.background();
    board.selectedTopic = 1;
    Frame before = b.frame();
    // Row 4 shows its top 57 pixels, questions 17 to 20.
    for (int c = 0; c < 4; ++c)
        EXPECT_GT(inkBetween(background, before, {350 + 168 * c, 711, 168, 57}, 8).count, 0) << "question " << 17 + c;
    clickAt(b.topics, 351, 176);
    EXPECT_EQ(board.gridTopic, -10) << "the grid is stale after a question";
    Frame after = b.frame();
    EXPECT_EQ(board.gridTopic, 1);
    EXPECT_GT(inkBetween(before, after, {350 + 168 * 3, 711, 168, 57}, 16).count, 0) << "21 moved into cell 20";
    clickAt(b.topics, 1021, 711);
    press(b.topics);
    EXPECT_EQ(played(b.topics[0], 21), std::vector<int>({1, 21})) << "21 played from cell 20, then nothing from the empty cell";

    b.topics[1].asks.resize(1);
    board.selectedTopic = 2;
    b.frame();
    clickAt(b.topics, 400, 200);
    ASSERT_TRUE(b.topics[1].asks.empty());
    Frame empty = b.frame();
    EXPECT_EQ(inkBetween(background, empty, {351, 176, 673, 592}).count, 0) << "empty grid";
    EXPECT_GT(inkBetween(background, empty, {0, 245, 350, 70}).count, 1000) << "band gone";
    clickAt(b.topics, 400, 200);
    EXPECT_EQ(board.gridTopic, 2) << "clicks on the empty grid do nothing";
}

TEST(BoardInput, WheelScrollsOneStepPerEventWithinTheListOnlyOverThePanel) {
    struct Case {
        const char* name;
        int topics, x, y;
        std::vector<int> turns, scrolls;  // scroll after each turn
    };
    const Case cases[] = {
        {"9 topics, big turns are one step", 9, 100, 400, {-1, -5, 1, 7}, {25, 37, 12, 0}},
        {"8 topics fit", 8, 100, 400, {-1}, {0}},
        {"over the grid", 9, 500, 400, {-1}, {0}},
        {"over the header", 9, 100, 175, {-1}, {0}},
    };
    for (const Case& c : cases) {
        Board b(makeTopics(c.topics));
        moveTo(b.topics, c.x, c.y);
        for (size_t i = 0; i < c.turns.size(); ++i) {
            board.handleEvent(&b.topics, wheelEvent(c.turns[i]));
            EXPECT_EQ(board.scroll, c.scrolls[i]) << c.name << ", turn " << i;
        }
    }
}

TEST(BoardInput, TopicFromPointerAndScrollClampedToTheLastTopic) {
    struct Case {
        int topics, scroll, y;
        uint32_t chosen;
    };
    const Case cases[] = {{20, 25, 221, 2}, {3, 0, 244, 1}, {3, 0, 245, 2}, {3, 0, 700, 3}, {3, 0, 175, 0}, {0, 0, 300, 0}};
    for (const Case& c : cases) {
        Board b(makeTopics(c.topics));
        board.scroll = c.scroll;
        clickAt(b.topics, 100, c.y);
        EXPECT_EQ(board.selectedTopic, c.chosen) << c.topics << " topics, scroll " << c.scroll << ", y " << c.y;
        EXPECT_EQ(board.gridTopic, 0) << "choosing must not touch the grid";
    }
    // Other buttons, a release, the wheel and keys choose nothing.
    Board b(makeTopics(3));
    moveTo(b.topics, 100, 250);
    pushOtherInput();
    for (SDL_Event e; SDL_PollEvent(&e);) board.handleEvent(&b.topics, e);
    EXPECT_EQ(board.selectedTopic, 0u);
}

TEST(BoardInput, GridCellFromPointerPlaysColumnPlusFourTimesRow) {
    struct Case {
        int x, y;
        std::vector<int> played;  // 1-based question
    };
    const Case cases[] = {{350, 176, {1}}, {1021, 176, {4}}, {1022, 176, {}}, {517, 176, {1}}, {518, 176, {2}},
                          {350, 310, {5}}, {1021, 767, {20}}, {700, 175, {}}};
    for (const Case& c : cases) {
        Board b(makeTopics(1, 24));
        board.selectedTopic = 1;
        board.gridTopic = 1;
        clickAt(b.topics, c.x, c.y);
        EXPECT_EQ(played(b.topics[0], 24), c.played) << "click at (" << c.x << "," << c.y << ")";
    }
    // No topic chosen: the grid ignores clicks.
    Board b(makeTopics(1, 4));
    clickAt(b.topics, 350, 176);
    EXPECT_EQ(b.topics[0].asks.size(), 4u);
}

// The reader without its video module: a video question clicked on the board
// says so in two lines and the card follows. In a child: the module is
// loaded once per process.
TEST(BoardInput, AVideoQuestionWithoutItsModulePrintsTwoLinesAndGoesOnToTheCard) {
    ScratchDir dir;
    ProcessResult r = runInChild([&] {
        std::string away = dir.file(videoModuleFileName);  // renamed away: nothing by that name
        videoModulePath = away.c_str();
        Board b(makeTopics(1, 1));
        std::vector<unsigned char> bytes(64, 0x5a);
        b.topics[0].asks[0] = {'V', L"Вопрос", L"Ответ", 10, bytes.data(), 32, bytes.data() + 32, 32};
        board.selectedTopic = 1;
        clickAt(b.topics, 400, 250);  // the question, then two presses for the card
        printf("left=%zu\n", b.topics[0].asks.size());
    });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "left=0\n") << "the question did not go through to its card";
    EXPECT_EQ(r.err, "***Could not initialize capturing...***\nThe video player could not be loaded: dlopen: " +
                         dir.file(videoModuleFileName) + ": cannot open shared object file: No such file or directory\n");
}

TEST(BoardLongList, EveryTopicShowsScrollsAndIsChosenUnderATextureLimit) {
    Board b(makeTopics(255));
    ASSERT_TRUE(b.sdl.ok());
    // Every scroll position looks as it does with the list in one texture,
    // with pieces of 1000 pixels (not a multiple of the row height).
    const int scrolls[] = {0, 965, 1000, 17257};
    std::vector<Frame> whole;
    for (int32_t limit : {0, 1000}) {
        boardTextureHeightLimit = limit;
        board.prepare(&b.topics, renderer);
        EXPECT_EQ(board.listPieces.size(), limit ? 18u : 1u);
        for (size_t i = 0; i < 4; ++i) {
            board.scroll = scrolls[i];
            Frame f = onBlack(b.topics);
            if (!limit) whole.push_back(f);
            else EXPECT_EQ(inkBetween(whole[i], f, {0, 0, 350, 768}).count, 0) << "scroll " << scrolls[i];
        }
    }
    // At the end the bottom row is topic 255, the top one topic 247.
    Ink last = inkBetween(Frame{1024, 768, Bytes(1024 * 768 * 4, 0)}, whole[3], {0, 698, 350, 70});
    EXPECT_GT(last.count, 100) << "the last row is drawn";
    clickAt(b.topics, 100, 767);
    EXPECT_EQ(board.selectedTopic, 255u);
    clickAt(b.topics, 100, 176);
    EXPECT_EQ(board.selectedTopic, 247u);
    board.selectedTopic = 0;
    Frame plain = onBlack(b.topics);
    board.selectedTopic = 255;
    EXPECT_EQ(describe(inkBetween(plain, onBlack(b.topics)).box), describe(SDL_Rect{0, 698, 350, 70}));
    boardTextureHeightLimit = 0;
}

// A topic name is cut at the panel's edge: only the part that shows is
// rendered, and it shows exactly the pixels of the whole name.
TEST(BoardDraw, LongNamesRenderOnlyTheirVisiblePartWithTheWholeNamesPixels) {
    SdlWindow sdl;
    ASSERT_TRUE(sdl.ok());
    FontHandle font(TTF_OpenFont(resource::boardFont, resource::topicNameSize));
    ASSERT_TRUE(font);
    // What a row of the panel shows: the window cleared, the text clipped at the panel's edge.
    auto shown = [&](const TextTexture& text) {
        const SDL_Rect panel{0, 0, 350, 120};
        SDL_RenderSetClipRect(renderer, &panel);
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        copyText(renderer, text, topicTextIndent, 0);
        SDL_RenderSetClipRect(renderer, nullptr);
        return capture().px;
    };
    std::wstring cyrillic;
    while (cyrillic.size() < 250) cyrillic += L"Йод, ёж и Щука — AVATAR fjord ";
    std::wstring pairs;
    while (pairs.size() < 250) pairs += std::wstring(L"Ж") + wchar_t(0xD83D) + wchar_t(0xDE00);
    for (const std::wstring& name : {cyrillic, pairs, std::wstring(L"Тема")}) {
        TextTexture whole = renderText(renderer, font.get(), name, boardtext::yellow);
        TextTexture part = renderTextLeftPart(renderer, font.get(), name, boardtext::yellow, 340);
        ASSERT_TRUE(whole.texture && part.texture) << name.size() << " units";
        EXPECT_EQ(part.w, std::min(whole.w, 340)) << name.size() << " units";
        EXPECT_EQ(part.h, whole.h) << name.size() << " units";
        EXPECT_TRUE(shown(part) == shown(whole)) << name.size() << " units: the visible pixels differ";
    }
}
