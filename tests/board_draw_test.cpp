// The board's pictures on the software renderer, read back pixel by pixel:
// the background with its lines and labels, the topic list, the selection
// band and the question grid.
#include <gtest/gtest.h>

#include <algorithm>

#include "board/board_state.h"
#include "board/board_text.h"
#include "board/geometry.h"
#include "platform/resource_files.h"
#include "platform/text_texture.h"
#include "shell/app.h"
#include "shell/globals.h"
#include "tests/support/board_support.h"
#include "tests/support/test_support.h"

using namespace board_support;
using testing_support::SdlWindow;

namespace {

const SDL_Color kYellow{255, 255, 0, 255};

bool same(SDL_Color a, SDL_Color b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

// Window, board prepared for the topics, background built.
struct Board : PreparedBoard {
    explicit Board(Topics t) : PreparedBoard(std::move(t), true) {}
};

Frame backgroundOnly() {
    SDL_RenderCopy(renderer, boardBackground, nullptr, nullptr);
    return capture();
}

// Bounding box of the exactly-yellow pixels of rect.
SDL_Rect yellowBox(const Frame& f, const SDL_Rect& rect) {
    int x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
    for (int y = rect.y; y < rect.y + rect.h; ++y)
        for (int x = rect.x; x < rect.x + rect.w; ++x)
            if (same(f.at(x, y), kYellow)) {
                x0 = std::min(x0, x); y0 = std::min(y0, y);
                x1 = std::max(x1, x); y1 = std::max(y1, y);
            }
    return x1 < 0 ? SDL_Rect{0, 0, 0, 0} : SDL_Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

} // namespace

TEST(BoardBackground, LinesInYellowAndLabelsStandingOnTheHeaderLine) {
    Board b(makeTopics(2));
    ASSERT_TRUE(b.sdl.ok());
    ASSERT_NE(boardBackground, nullptr) << SDL_GetError();
    ASSERT_NE(pointsFont, nullptr) << SDL_GetError();
    EXPECT_EQ(board.cellWidth, 168);
    EXPECT_EQ(board.cellHeight, 134);

    SDL_RenderCopy(renderer, bgTexture, nullptr, nullptr);
    Frame picture = capture();
    Frame f = backgroundOnly();
    for (int x = 0; x < screenWidth; ++x)
        ASSERT_TRUE(same(f.at(x, 175), kYellow)) << "header line at x " << x << ": " << colorText(f.at(x, 175));
    for (int y = 0; y < screenHeight; ++y)
        ASSERT_TRUE(same(f.at(350, y), kYellow)) << "divider at y " << y << ": " << colorText(f.at(350, y));
    // One pixel wide: the neighbours are the picture.
    EXPECT_FALSE(same(f.at(349, 400), kYellow));
    EXPECT_FALSE(same(f.at(351, 400), kYellow));
    EXPECT_FALSE(same(f.at(600, 176), kYellow));
    // Below the header nothing but the divider is drawn over the picture.
    Ink below = inkBetween(picture, f, SDL_Rect{0, 176, 350, 592}, 0);
    Ink belowRight = inkBetween(picture, f, SDL_Rect{351, 176, 673, 592}, 0);
    EXPECT_EQ(below.count + belowRight.count, 0) << rectText(below.box) << rectText(belowRight.box);

    // The labels' fully opaque pixels, where the picture no longer shows,
    // are exactly the texts' own opaque pixels with each surface standing on
    // the header line at its label's x ("Тема" may run past the divider in a
    // wide face; the divider is drawn over it).
    struct Label { const wchar_t* text; int x; };
    const Label labels[] = {{L"Тема", 50}, {L"Вопрос", 400}};
    std::vector<bool> expected(size_t(screenWidth) * 175, false);
    int heights[2] = {0, 0}, n = 0;
    for (const Label& label : labels) {
        TextAlpha t = renderedText(140, label.text);
        ASSERT_GT(t.w, 0) << "text renders nothing";
        heights[n++] = t.h;
        SDL_Rect box = t.box(255);
        EXPECT_LE(175 - t.h + box.y + box.h, 175) << "label crosses the header line";
        EXPECT_GE(label.x + box.x, label.x);
        for (int y = 0; y < t.h; ++y)
            for (int x = 0; x < t.w; ++x) {
                int wx = label.x + x, wy = 175 - t.h + y;
                if (t.alpha[size_t(y * t.w + x)] == 255 && wy >= 0 && wx < screenWidth)
                    expected[size_t(wy) * screenWidth + size_t(wx)] = true;
            }
    }
    EXPECT_EQ(heights[0], heights[1]);
    int wrong = 0, shown = 0;
    std::string first;
    for (int y = 0; y < 175; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            if (x == 350) continue;
            bool yellow = same(f.at(x, y), kYellow);
            shown += yellow;
            if (yellow != expected[size_t(y) * screenWidth + size_t(x)] && wrong++ == 0)
                first = "(" + std::to_string(x) + "," + std::to_string(y) + ") yellow " + std::to_string(yellow);
        }
    EXPECT_GT(shown, 1000);
    EXPECT_EQ(wrong, 0) << "first mismatch at " << first;
    // Bottom edges: the lowest opaque row of "Вопрос" (its descender) ends
    // right on the line when the surface's bottom is the line.
    SDL_Rect topicInk = yellowBox(f, SDL_Rect{0, 0, 350, 175});
    SDL_Rect askInk = yellowBox(f, SDL_Rect{404, 0, 620, 175});
    TextAlpha ask = renderedText(140, L"Вопрос");
    SDL_Rect askBox = ask.box(255);
    EXPECT_EQ(askInk.y + askInk.h, 175 - ask.h + askBox.y + askBox.h) << rectText(askInk);
    EXPECT_EQ(askInk.x, 400 + askBox.x) << rectText(askInk);
    EXPECT_EQ(topicInk.x, 50 + renderedText(140, L"Тема").box(255).x) << rectText(topicInk);
}

TEST(BoardDraw, ListShowsItsRowsAndTheBackgroundBelowIt) {
    Topics topics = makeTopics(3);
    topics[2].name = L"Очень длинное название третьей темы";
    Board b(topics);
    ASSERT_TRUE(b.sdl.ok());
    Frame background = backgroundOnly();
    Frame f = boardFrame(b.topics);
    // 3 x 70 = 210 rows of list; from y 385 on the panel is the background.
    Ink belowList = inkBetween(background, f, SDL_Rect{0, 385, 350, 768 - 385}, 0);
    EXPECT_EQ(belowList.count, 0) << rectText(belowList.box);
    for (int t = 0; t < 3; ++t) {
        Ink name = inkBetween(background, f, SDL_Rect{0, 175 + 70 * t, 350, 70});
        EXPECT_GT(name.count, 100) << "topic " << t + 1;
        EXPECT_GE(name.box.x, 10) << "topic " << t + 1 << " " << rectText(name.box);
    }
    // A name wider than its row is cut at the panel's edge; the divider stays.
    Ink longName = inkBetween(background, f, SDL_Rect{0, 315, 351, 70});
    EXPECT_GE(longName.box.x + longName.box.w, 340) << rectText(longName.box);
    EXPECT_LE(longName.box.x + longName.box.w, 350) << rectText(longName.box);
    // No topic chosen: no band, no grid.
    Ink grid = inkBetween(background, f, SDL_Rect{351, 176, 673, 592}, 0);
    EXPECT_EQ(grid.count, 0) << rectText(grid.box);
    EXPECT_EQ(board.gridTexture, nullptr);
}

TEST(BoardDraw, NoTopicsGiveAnEmptyPanelAndNeverAGrid) {
    Board b(makeTopics(0));
    ASSERT_TRUE(b.sdl.ok());
    EXPECT_EQ(board.listTexture, nullptr);
    Frame background = backgroundOnly();
    moveTo(b.topics, 100, 300);
    press(b.topics);
    EXPECT_EQ(board.selectedTopic, 0u);
    clickAt(b.topics, 400, 300);
    Frame f = boardFrame(b.topics);
    Ink ink = inkBetween(background, f, SDL_Rect{0, 0, 1024, 768}, 0);
    EXPECT_EQ(ink.count, 0) << rectText(ink.box);
    EXPECT_EQ(board.gridTexture, nullptr);
}

TEST(BoardDraw, BandRaisesRedAndGreenByHundredAndReachesOverTheHeader) {
    struct Case { int scroll; uint32_t topic; int top; };
    // Topic 2 at scroll 0: rows 245..314. Topic 1 at scroll 37: 138..207, over the header.
    const Case cases[] = {{0, 2, 245}, {37, 1, 138}};
    Board b(makeTopics(9));
    ASSERT_TRUE(b.sdl.ok());
    for (const Case& c : cases) {
        board.scroll = c.scroll;
        board.selectedTopic = 0;
        board.gridTopic = 0;
        Frame plain = boardFrame(b.topics);
        board.selectedTopic = c.topic;
        Frame banded = boardFrame(b.topics);
        int capped = 0;
        for (int y = c.top - 2; y < c.top + 72; ++y) {
            bool inBand = y >= c.top && y < c.top + 70;
            for (int x = 0; x < 350; ++x) {
                SDL_Color p = plain.at(x, y), q = banded.at(x, y);
                SDL_Color want = inBand ? SDL_Color{Uint8(std::min(255, p.r + 100)), Uint8(std::min(255, p.g + 100)),
                                                   p.b, p.a}
                                        : p;
                if (inBand && p.r + 100 > 255) ++capped;
                ASSERT_TRUE(same(q, want)) << "scroll " << c.scroll << " at (" << x << "," << y << "): expected "
                                           << colorText(want) << " got " << colorText(q) << " over "
                                           << colorText(p);
            }
        }
        EXPECT_GT(capped, 0) << "the band crosses no yellow pixel at scroll " << c.scroll;
    }
}

TEST(BoardDraw, CellsAreFilledByTheirStretchedNumbers) {
    const uint16_t values[] = {5, 65535, 0, 1234};
    Topics topics = makeTopics(1, 4);
    for (int i = 0; i < 4; ++i) topics[0].asks[size_t(i)].points = values[i];
    Board b(topics);
    ASSERT_TRUE(b.sdl.ok());
    Frame before = boardFrame(b.topics);
    board.selectedTopic = 1;
    Frame f = boardFrame(b.topics);
    EXPECT_EQ(board.gridTopic, 1);
    for (int i = 0; i < 4; ++i) {
        std::wstring digits = std::to_wstring(values[i]);
        TextAlpha t = renderedText(196, digits);
        ASSERT_GT(t.w, 0);
        const int w = t.w, h = t.h;
        SDL_Rect text = t.box(64);
        // The text's own ink, scaled from its surface to the 168 x 134 cell.
        SDL_Rect cell{350 + 168 * i, 175, 168, 134};
        int ex0 = cell.x + text.x * 168 / w, ex1 = cell.x + (text.x + text.w) * 168 / w;
        int ey0 = cell.y + text.y * 134 / h, ey1 = cell.y + (text.y + text.h) * 134 / h;
        Ink ink = inkBetween(before, f, cell, 16);
        ASSERT_GT(ink.count, 0) << "cell " << i << " empty";
        const int slack = 4;
        EXPECT_NEAR(ink.box.x, ex0, slack) << "points " << values[i] << " ink " << rectText(ink.box);
        EXPECT_NEAR(ink.box.x + ink.box.w, ex1, slack) << "points " << values[i] << " ink " << rectText(ink.box);
        EXPECT_NEAR(ink.box.y, ey0, slack) << "points " << values[i] << " ink " << rectText(ink.box);
        EXPECT_NEAR(ink.box.y + ink.box.h, ey1, slack) << "points " << values[i] << " ink " << rectText(ink.box);
    }
    // Nothing beyond the four cells.
    Ink rest = inkBetween(before, f, SDL_Rect{351, 175 + 134, 673, 768 - 309}, 0);
    EXPECT_EQ(rest.count, 0) << rectText(rest.box);
}

TEST(BoardDraw, TwentyQuestionsShowAndTheTwentyFirstMovesUpWhenOneIsPlayed) {
    Board b(makeTopics(1, 21));
    ASSERT_TRUE(b.sdl.ok());
    Frame before = boardFrame(b.topics);
    board.selectedTopic = 1;
    Frame f = boardFrame(b.topics);
    // Row 4 shows its top 57 pixels, questions 17 to 20.
    for (int c = 0; c < 4; ++c) {
        Ink ink = inkBetween(before, f, SDL_Rect{350 + 168 * c, 175 + 536, 168, 57});
        EXPECT_GT(ink.count, 0) << "question " << 17 + c << " not shown";
    }
    Ink lastCell = inkBetween(before, f, SDL_Rect{350 + 168 * 3, 175 + 536, 168, 57}, 16);
    clickAt(b.topics, 351, 176);
    ASSERT_EQ(b.topics[0].asks.size(), 20u);
    EXPECT_EQ(board.gridTopic, -10);
    Frame after = boardFrame(b.topics);
    EXPECT_EQ(board.gridTopic, 1);
    // The cell of question 20 now holds the 21st, whose digits differ.
    Ink moved = inkBetween(before, after, SDL_Rect{350 + 168 * 3, 175 + 536, 168, 57}, 16);
    EXPECT_GT(moved.count, 0);
    EXPECT_NE(rectText(moved.box) + std::to_string(moved.count), rectText(lastCell.box) + std::to_string(lastCell.count));
}

TEST(BoardDraw, GridTurnsEmptyAfterTheLastQuestionIsPlayedAndTheBandStays) {
    Board b(makeTopics(2, 1));
    ASSERT_TRUE(b.sdl.ok());
    Frame background = backgroundOnly();
    board.selectedTopic = 2;
    Frame shown = boardFrame(b.topics);
    SDL_Rect gridArea{351, 176, 673, 592};
    EXPECT_GT(inkBetween(background, shown, gridArea).count, 0);
    clickAt(b.topics, 400, 200);
    ASSERT_TRUE(b.topics[1].asks.empty());
    Frame empty = boardFrame(b.topics);
    Ink ink = inkBetween(background, empty, gridArea, 0);
    EXPECT_EQ(ink.count, 0) << rectText(ink.box);
    EXPECT_EQ(board.selectedTopic, 2u);
    EXPECT_GT(inkBetween(background, empty, SDL_Rect{0, 245, 350, 70}).count, 1000) << "band gone";
    // Clicks on the empty grid do nothing.
    clickAt(b.topics, 400, 200);
    EXPECT_EQ(board.gridTopic, 2);
}

TEST(BoardDraw, FrameLoopShowsTheBoard) {
    Board b(makeTopics(3, 2));
    ASSERT_TRUE(b.sdl.ok());
    Ravlin::RM_Reader::topics = b.topics;
    board.selectedTopic = 1;
    App engine;
    engine.render();
    Frame f = capture();
    Frame background = backgroundOnly();
    EXPECT_TRUE(same(f.at(350, 500), kYellow));
    EXPECT_GT(inkBetween(background, f, SDL_Rect{350, 175, 168, 134}).count, 0) << "no points in the grid";
    EXPECT_GT(inkBetween(background, f, SDL_Rect{0, 175, 350, 70}).count, 0) << "no topic";
    Ravlin::RM_Reader::topics.clear();
}

TEST(BoardDraw, EmptyNamesAndAMissingFontAreSkipped) {
    {
        Topics topics = makeTopics(3);
        topics[0].name.clear();
        Board b(topics);
        ASSERT_TRUE(b.sdl.ok());
        Frame background = backgroundOnly();
        Frame f = boardFrame(b.topics);
        EXPECT_EQ(inkBetween(background, f, SDL_Rect{0, 176, 350, 69}, 0).count, 0) << "empty name drew something";
        EXPECT_GT(inkBetween(background, f, SDL_Rect{0, 245, 350, 70}).count, 100) << "second name missing";
    }
    // Without the font file no text can be rendered; the board still draws
    // its lines and band and does not trip over the null font.
    testing_support::ScratchDir dir;
    ASSERT_EQ(remove(dir.file("res").c_str()), 0);
    Board b(makeTopics(2, 3));
    ASSERT_TRUE(b.sdl.ok());
    EXPECT_EQ(pointsFont, nullptr);
    ASSERT_NE(boardBackground, nullptr);
    Frame background = backgroundOnly();
    EXPECT_TRUE(same(background.at(350, 500), kYellow));
    EXPECT_TRUE(same(background.at(600, 175), kYellow));
    board.selectedTopic = 1;
    Frame f = boardFrame(b.topics);
    EXPECT_EQ(board.gridTopic, 1);
    EXPECT_EQ(inkBetween(background, f, SDL_Rect{351, 176, 673, 592}, 0).count, 0);
    EXPECT_GT(inkBetween(background, f, SDL_Rect{0, 175, 350, 70}).count, 1000) << "band missing";
}

// A topic name is cut at the panel's edge: only the part that shows is
// rendered, and it shows exactly the pixels of the whole name.
TEST(BoardDraw, LongNamesRenderOnlyTheirVisiblePartWithTheWholeNamesPixels) {
    SdlWindow sdl;
    ASSERT_TRUE(sdl.ok());
    FontHandle font(TTF_OpenFont(resource::boardFont, resource::topicNameSize));
    ASSERT_TRUE(font);
    auto shown = [&](const TextTexture& text) {
        TextureHandle target(SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, 350, 120));
        SDL_SetRenderTarget(renderer, target.get());
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
        SDL_RenderClear(renderer);
        copyText(renderer, text, topicTextIndent, 0);
        std::vector<uint32_t> px(350 * 120);
        SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, px.data(), 350 * 4);
        SDL_SetRenderTarget(renderer, nullptr);
        return px;
    };
    std::wstring cyrillic;
    while (cyrillic.size() < 250) cyrillic += L"Йод, ёж и Щука — AVATAR fjord ";
    std::wstring pairs;
    while (pairs.size() < 250) pairs += std::wstring(L"Ж") + wchar_t(0xD83D) + wchar_t(0xDE00);
    for (const std::wstring& name : {std::wstring(255, L'W'), cyrillic, pairs, std::wstring(L"Тема"), std::wstring(L"WWWWW")}) {
        TextTexture whole = renderText(renderer, font.get(), name, boardtext::yellow);
        TextTexture part = renderTextLeftPart(renderer, font.get(), name, boardtext::yellow, 340);
        ASSERT_TRUE(whole.texture && part.texture) << name.size() << " units";
        EXPECT_EQ(part.w, std::min(whole.w, 340)) << name.size() << " units";
        EXPECT_EQ(part.h, whole.h) << name.size() << " units";
        EXPECT_TRUE(shown(part) == shown(whole)) << name.size() << " units: the visible pixels differ";
    }
}
