// Mouse input handed to the board's event handler: wheel, topic choice, grid
// hits, the order of the questions that remain, and positions taken only
// from motion events.
#include <gtest/gtest.h>

#include <cstring>

#include "board/board_state.h"
#include "module/loader.h"
#include "module/records.h"
#include "packing/module_writer.h"
#include "shell/globals.h"
#include "tests/support/board_support.h"
#include "tests/support/test_support.h"

using namespace board_support;
using testing_support::SdlWindow;

namespace {

struct Board : PreparedBoard {
    explicit Board(Topics t) : PreparedBoard(std::move(t), false) {}
};

std::string listText(const std::vector<uint16_t>& v) {
    std::string s;
    for (uint16_t p : v) s += (s.empty() ? "" : " ") + std::to_string(p);
    return s;
}

// Points 1..n, without the played ones (1-based).
std::vector<uint16_t> without(int n, std::vector<int> played) {
    std::vector<uint16_t> v;
    for (int p = 1; p <= n; ++p)
        if (std::find(played.begin(), played.end(), p) == played.end()) v.push_back(uint16_t(p));
    return v;
}

} // namespace

TEST(BoardWheel, ScrollsOneStepPerEventWithinTheListOnlyOverThePanel) {
    struct Case {
        const char* name;
        int topics;
        int x, y;  // pointer position
        std::vector<int> turns;
        std::vector<int> scrolls;  // after each turn
    };
    const Case cases[] = {
        {"9 topics", 9, 100, 400, {-1, -1, 1, 1}, {25, 37, 12, 0}},
        {"big turn is one step", 9, 100, 400, {-5, 7}, {25, 0}},
        {"zero turn", 9, 100, 400, {0}, {0}},
        {"8 topics fit", 8, 100, 400, {-1, -1}, {0, 0}},
        {"no topics", 0, 100, 400, {-1}, {0}},
        {"over the grid", 9, 500, 400, {-1}, {0}},
        {"over the header", 9, 100, 175, {-1}, {0}},
        {"255 topics", 255, 100, 400, {-1, -1, 1}, {25, 50, 25}},
    };
    for (const Case& c : cases) {
        Board b(makeTopics(c.topics));
        ASSERT_TRUE(b.sdl.ok());
        moveTo(b.topics, c.x, c.y);
        for (size_t i = 0; i < c.turns.size(); ++i) {
            wheel(b.topics, c.turns[i]);
            EXPECT_EQ(board.scroll, c.scrolls[i]) << c.name << ", turn " << i << " (" << c.turns[i] << ")";
        }
    }
}

TEST(BoardTopicChoice, RowFromPointerAndScrollClampedToTheLastTopic) {
    struct Case {
        const char* name;
        int topics;
        int scroll;
        int y;
        uint32_t chosen;
    };
    const Case cases[] = {
        {"scroll 25, y 176", 20, 25, 176, 1},
        {"scroll 25, y 221", 20, 25, 221, 2},
        {"first row", 3, 0, 176, 1},
        {"last pixel of row 1", 3, 0, 244, 1},
        {"row 2", 3, 0, 245, 2},
        {"below the last topic", 3, 0, 700, 3},
        {"header line", 3, 0, 175, 0},
        {"no topics", 0, 0, 300, 0},
    };
    for (const Case& c : cases) {
        Board b(makeTopics(c.topics));
        ASSERT_TRUE(b.sdl.ok());
        board.scroll = c.scroll;
        clickAt(b.topics, 100, c.y);
        EXPECT_EQ(board.selectedTopic, c.chosen) << c.name;
        EXPECT_EQ(board.gridTopic, 0) << c.name << ": choosing must not touch the grid";
    }
    // Another button, a release and a key change nothing.
    Board b(makeTopics(3));
    moveTo(b.topics, 100, 250);
    press(b.topics, SDL_BUTTON_RIGHT);
    press(b.topics, SDL_BUTTON_LEFT, SDL_MOUSEBUTTONUP);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.scancode = SDL_SCANCODE_RETURN;
    board.handleEvent(&b.topics, key);
    EXPECT_EQ(board.selectedTopic, 0u);
}

TEST(BoardGridClick, CellFromPointerPlaysColumnPlusFourTimesRow) {
    struct Case {
        int x, y;
        int played;  // 1-based question, 0 for none
    };
    const Case cases[] = {
        {350, 176, 1},  {1021, 176, 4}, {350, 310, 5},  {1022, 176, 0}, {1023, 400, 0},
        {517, 176, 1},  {518, 176, 2},  {350, 308, 1},  {350, 710, 13}, {350, 711, 17},
        {1021, 767, 20}, {700, 175, 0}, {700, 100, 0},
        // Below the window (a captured pointer): row 5 is never shown.
        {350, 845, 0},
    };
    for (const Case& c : cases) {
        Board b(makeTopics(1, 24));
        ASSERT_TRUE(b.sdl.ok());
        board.selectedTopic = 1;
        board.gridTopic = 1;
        clickAt(b.topics, c.x, c.y);
        std::vector<uint16_t> want = c.played ? without(24, {c.played}) : without(24, {});
        EXPECT_EQ(listText(pointsOf(b.topics[0])), listText(want)) << "click at (" << c.x << "," << c.y << ")";
        EXPECT_EQ(board.gridTopic, c.played ? -10 : 1) << "click at (" << c.x << "," << c.y << ")";
    }
    // No topic chosen: the grid ignores clicks.
    Board b(makeTopics(1, 4));
    clickAt(b.topics, 350, 176);
    EXPECT_EQ(b.topics[0].asks.size(), 4u);
    // The click's own coordinates count for nothing: before any motion the
    // pointer is taken to be at (0, 0), in the header.
    board.selectedTopic = 1;
    mouseX = mouseY = 0;
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = 400;
    e.button.y = 300;
    testing_support::pushLeftClick();
    testing_support::pushLeftClick();
    board.handleEvent(&b.topics, e);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    EXPECT_EQ(b.topics[0].asks.size(), 4u) << "a click before any motion played a question";
    EXPECT_EQ(board.selectedTopic, 1u);
}

TEST(BoardGridClick, RepeatedClicksWithoutMotionPlayWhatMovedIntoTheCell) {
    Board b(makeTopics(1, 21));
    ASSERT_TRUE(b.sdl.ok());
    board.selectedTopic = 1;
    // Row 4, last column: question 20, then the 21st that moves up into it.
    clickAt(b.topics, 1021, 711);
    EXPECT_EQ(listText(pointsOf(b.topics[0])), listText(without(21, {20})));
    press(b.topics);
    EXPECT_EQ(listText(pointsOf(b.topics[0])), listText(without(21, {20, 21})));
    press(b.topics);
    EXPECT_EQ(listText(pointsOf(b.topics[0])), listText(without(21, {20, 21})))
        << "the cell is empty now: nothing may be played";
    // First cell twice: questions 1 and 2.
    moveTo(b.topics, 351, 176);
    press(b.topics);
    press(b.topics);
    EXPECT_EQ(listText(pointsOf(b.topics[0])), listText(without(21, {1, 2, 20, 21})));
    // Playing the rest empties the topic; it stays in the list.
    for (int i = 0; i < 17; ++i) press(b.topics);
    EXPECT_TRUE(b.topics[0].asks.empty());
    EXPECT_EQ(b.topics.size(), 1u);
    press(b.topics);
    EXPECT_EQ(board.selectedTopic, 1u);
}

TEST(BoardGridClick, ErasingKeepsTheOrderOfTheRestAndTheirMediaReadable) {
    testing_support::ScratchDir dir;
    const std::vector<uint8_t> picture(300, 0x11), sound(400, 0x22), track(500, 0x33), film(600, 0x44);
    rvlpack::Topic topic{L"Смешанная", {}};
    auto ask = [](char type, uint16_t points, std::vector<uint8_t> media, std::vector<uint8_t> video) {
        rvlpack::Question q;
        q.type = type;
        q.question = L"Вопрос";
        q.answer = L"Ответ";
        q.points = points;
        q.media = std::move(media);
        q.video = std::move(video);
        return q;
    };
    topic.questions = {ask('I', 10, picture, {}), ask('T', 20, {}, {}), ask('A', 30, sound, {}),
                       ask('V', 40, track, film), ask('T', 50, {}, {})};
    rvlpack::Module m;
    m.topics = {topic};
    ASSERT_TRUE(rvlpack::writeModuleFile(m, dir.file("m.rvl")));
    unloadModule();
    testing::internal::CaptureStdout();
    bool loaded = loadModule(L"m.rvl");
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(loaded);

    Board b(Topics{});
    ASSERT_TRUE(b.sdl.ok());
    Topics& loadedTopics = Ravlin::RM_Reader::topics;
    board.prepare(&loadedTopics, renderer);
    clickAt(loadedTopics, 100, 200);
    ASSERT_EQ(board.selectedTopic, 1u);
    clickAt(loadedTopics, 518, 176);  // the text question in the second cell
    const auto& asks = loadedTopics[0].asks;
    ASSERT_EQ(listText(pointsOf(loadedTopics[0])), "10 30 40 50");
    const char types[] = {'I', 'A', 'V', 'T'};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(asks[i].type, types[i]) << "question " << i;
    struct Block { const unsigned char* data; uint32_t size; const std::vector<uint8_t>* want; };
    const Block blocks[] = {{asks[0].media, asks[0].mediaSize, &picture},
                            {asks[1].media, asks[1].mediaSize, &sound},
                            {asks[2].media, asks[2].mediaSize, &track},
                            {asks[2].video, asks[2].videoSize, &film}};
    for (const Block& block : blocks) {
        ASSERT_EQ(block.size, block.want->size());
        ASSERT_NE(block.data, nullptr);
        EXPECT_EQ(memcmp(block.data, block.want->data(), block.size), 0) << "block of " << block.size;
    }
    EXPECT_EQ(board.gridTopic, -10);
    unloadModule();
}
