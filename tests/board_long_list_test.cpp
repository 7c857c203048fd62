// A module of 255 topics: its list (17,850 pixels) is taller than many
// renderers' largest texture. Every topic must still show and scroll, on the
// software renderer and with a lowered texture limit.
#include <gtest/gtest.h>

#include "board/board_state.h"
#include "module/loader.h"
#include "module/records.h"
#include "packing/module_writer.h"
#include "shell/globals.h"
#include "tests/support/board_support.h"
#include "tests/support/test_support.h"

using namespace board_support;
using testing_support::ScratchDir;
using testing_support::SdlWindow;

namespace {

bool loadTopics(int count, const ScratchDir& dir) {
    rvlpack::Module m;
    for (int t = 1; t <= count; ++t) m.topics.push_back({L"Тема " + std::to_wstring(t), {}});
    if (!rvlpack::writeModuleFile(m, dir.file("m.rvl"))) return false;
    unloadModule();
    testing::internal::CaptureStdout();
    bool ok = loadModule(L"m.rvl");
    testing::internal::GetCapturedStdout();
    return ok;
}

// The panel's pixels of rows y0 .. y0 + h.
std::vector<uint8_t> panelRows(const Frame& f, int y0, int h) {
    std::vector<uint8_t> rows;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = 0; x < 350; ++x) {
            SDL_Color c = f.at(x, y);
            rows.insert(rows.end(), {c.r, c.g, c.b});
        }
    return rows;
}

int differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
    return n + int(a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

// Scrolls to the end with the wheel, as the user would.
void scrollToEnd(Topics& topics) {
    moveTo(topics, 100, 400);
    for (int i = 0; i < 1000; ++i) wheel(topics, -1);
}

} // namespace

TEST(BoardLongList, LastTopicShowsAtTheEndUnderEveryTextureLimit) {
    ScratchDir dir;
    ASSERT_TRUE(loadTopics(255, dir));
    Topics& topics = Ravlin::RM_Reader::topics;
    ASSERT_EQ(topics.size(), 255u);
    SdlWindow sdl;
    ASSERT_TRUE(sdl.ok());

    // What the last topic's row looks like: a module of that one topic.
    Topics single{topics.back()};
    boardTextureHeightLimit = 0;
    board.prepare(&single, renderer);
    std::vector<uint8_t> lastRow = panelRows(boardOnBlack(single), 175, 70);
    Topics other{topics[253]};
    board.prepare(&other, renderer);
    ASSERT_GT(differing(lastRow, panelRows(boardOnBlack(other), 175, 70)), 100)
        << "rows of different topics look alike: the comparison proves nothing";

    // The scroll positions to compare: piece edges of a 1000-pixel limit
    // (not a multiple of the row height) and the end.
    const int scrolls[] = {0, 37, 930, 965, 1000, 5985, 9000, 17200, 17257};
    std::vector<std::vector<uint8_t>> unlimited;
    struct Limit { const char* name; int32_t pixels; };
    const Limit limits[] = {{"no limit", 0}, {"1000 pixels", 1000}, {"16384 pixels", 16384}, {"one row", 70}};
    for (const Limit& limit : limits) {
        boardTextureHeightLimit = limit.pixels;
        board.prepare(&topics, renderer);
        ASSERT_NE(board.listTexture, nullptr) << limit.name;
        ASSERT_FALSE(board.listPieces.empty()) << limit.name;
        EXPECT_EQ(board.listPieces.front(), board.listTexture) << limit.name;
        int total = 0;
        for (SDL_Texture* piece : board.listPieces) {
            int w = 0, h = 0;
            ASSERT_EQ(SDL_QueryTexture(piece, nullptr, nullptr, &w, &h), 0) << limit.name;
            EXPECT_EQ(w, 350) << limit.name;
            if (limit.pixels) {
                EXPECT_LE(h, limit.pixels) << limit.name;
            }
            total += h;
        }
        EXPECT_EQ(total, 255 * 70) << limit.name;

        scrollToEnd(topics);
        EXPECT_EQ(board.scroll, 255 * 70 - 593) << limit.name;
        Frame end = boardOnBlack(topics);
        EXPECT_EQ(differing(panelRows(end, 768 - 70, 70), lastRow), 0)
            << limit.name << ": the last topic's row is not at the bottom of the list";

        // Every position looks as it does with the list in one texture.
        for (size_t i = 0; i < sizeof scrolls / sizeof scrolls[0]; ++i) {
            board.scroll = scrolls[i];
            std::vector<uint8_t> panel = panelRows(boardOnBlack(topics), 0, 768);
            if (limit.pixels == 0) {
                unlimited.push_back(panel);
            } else {
                EXPECT_EQ(differing(panel, unlimited[i]), 0) << limit.name << ", scroll " << scrolls[i];
            }
        }
    }
    boardTextureHeightLimit = 0;
    unloadModule();
}

TEST(BoardLongList, ChoosingAndBandFollowTheScrolledList) {
    ScratchDir dir;
    ASSERT_TRUE(loadTopics(255, dir));
    Topics& topics = Ravlin::RM_Reader::topics;
    SdlWindow sdl;
    ASSERT_TRUE(sdl.ok());
    boardTextureHeightLimit = 1000;
    mouseX = mouseY = 0;
    board.prepare(&topics, renderer);
    scrollToEnd(topics);
    // The bottom pixel row belongs to topic 255, the top one to topic 247:
    // (767 - 175 + 17257) / 70 + 1 = 255 and (176 - 175 + 17257) / 70 + 1 = 247.
    clickAt(topics, 100, 767);
    EXPECT_EQ(board.selectedTopic, 255u);
    clickAt(topics, 100, 176);
    EXPECT_EQ(board.selectedTopic, 247u);
    board.selectedTopic = 0;
    Frame plain = boardOnBlack(topics);
    board.selectedTopic = 255;
    Frame banded = boardOnBlack(topics);
    Ink band = inkBetween(plain, banded, SDL_Rect{0, 0, 350, 768}, 0);
    EXPECT_EQ(rectText(band.box), rectText(SDL_Rect{0, 698, 350, 70}));
    boardTextureHeightLimit = 0;
    unloadModule();
}
