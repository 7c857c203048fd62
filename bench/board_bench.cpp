// SPDX-License-Identifier: GPL-3.0-or-later
// Figures for the board on SDL's software renderer: preparing a 255-topic
// list (in one texture and in 1000-pixel pieces), a plain frame, and a grid
// rebuild of 20 questions. Prints milliseconds as table rows for
// scripts/bench.sh; asserts nothing.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
#include "platform/resource_files.h"
#include "board/board_state.h"
#include "shell/globals.h"

using Ravlin::RM_Reader::RM_Ask;
using Ravlin::RM_Reader::RM_Topic;

namespace {

const char kArea[] = "board, 255 topics (software renderer)";

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (chdir(RVL_RUN_DIR) != 0 || SDL_Init(SDL_INIT_VIDEO) != 0 || TTF_Init() != 0) {
        fprintf(stderr, "set-up failed: %s\n", SDL_GetError());
        return 1;
    }
    window = SDL_CreateWindow("bench", 0, 0, screenWidth, screenHeight, 0);
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
    SDL_Surface* bg = IMG_Load(resource::backgroundPicture);
    if (!renderer || !bg) {
        fprintf(stderr, "renderer or picture: %s\n", SDL_GetError());
        return 1;
    }
    bgTexture = SDL_CreateTextureFromSurface(renderer, bg);
    SDL_FreeSurface(bg);

    std::vector<RM_Topic> topics(255);
    for (size_t t = 0; t < topics.size(); ++t) {
        topics[t].name = L"Тема номер " + std::to_wstring(t + 1);
        for (int a = 0; a < 20; ++a) {
            RM_Ask ask;
            ask.type = 'T';
            ask.points = uint16_t(100 * (a + 1));
            topics[t].asks.push_back(ask);
        }
    }

    const int32_t limits[] = {0, 1000};
    for (int32_t limit : limits) {
        boardTextureHeightLimit = limit;
        auto start = std::chrono::steady_clock::now();
        board.prepare(&topics, renderer);
        double ms = msSince(start);
        bench::printRow(kArea,
                        "prepare, piece limit " + std::to_string(limit) + ", " +
                            std::to_string(board.listPieces.size()) + " piece(s)",
                        bench::format("%.1f ms", ms));
    }
    boardBackground = buildBoardBackground(renderer);

    board.selectedTopic = 200;
    board.scroll = 13000;
    board.draw(&topics, renderer);
    const int frames = 200;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        SDL_RenderCopy(renderer, boardBackground, nullptr, nullptr);
        board.draw(&topics, renderer);
        SDL_RenderPresent(renderer);
    }
    bench::printRow(kArea, "frame (background, list, band, grid), mean of 200, topic 200 chosen",
                    bench::format("%.3f ms", msSince(start) / frames));

    const int rebuilds = 20;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < rebuilds; ++i) {
        board.gridTopic = -10;
        board.draw(&topics, renderer);
        SDL_RenderPresent(renderer);
    }
    bench::printRow(kArea, "frame with a grid rebuild (20 questions), mean of 20",
                    bench::format("%.1f ms", msSince(start) / rebuilds));

    TTF_CloseFont(pointsFont);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    TTF_Quit();
    SDL_Quit();
    return 0;
}
