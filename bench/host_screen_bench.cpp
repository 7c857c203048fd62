// SPDX-License-Identifier: GPL-3.0-or-later
// Figures for the host's screen on SDL's software renderer (dummy video):
// the projector's board frame with and without the host's window open, the
// host screen's redraw, and a click on "+N" until the new score is on both
// screens (the host's and the projector's scoreboard). Prints table rows
// for scripts/bench.sh; asserts nothing.
#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/bench_support.h"
#include "board/board_state.h"
#include "platform/event_pump.h"
#include "shell/game_mode.h"
#include "shell/game_session.h"
#include "shell/globals.h"
#include "shell/host_screen.h"
#include "tests/support/test_support.h"

using namespace testing_support;
using Ravlin::RM_Reader::topics;

namespace {

const char kArea[] = "host screen (software renderer)";

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// One pass of the board's frame loop: its pump, then its frame.
void boardFrame() {
    SDL_Event e;
    while (pollEvent(&e)) board.handleEvent(&topics, e);
    SDL_RenderCopy(renderer, boardBackground, nullptr, nullptr);
    board.draw(&topics, renderer);
    presentFrame(renderer);
}

double meanFrameMs(int frames) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) boardFrame();
    return msSince(start) / frames;
}

} // namespace

int main() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("ALSOFT_DRIVERS", "null", 1);
    if (chdir(RVL_RUN_DIR) != 0) return 1;
    ScratchDir dir;
    setenv("XDG_STATE_HOME", dir.file("state").c_str(), 1);
    SdlWindow sdl;
    if (!sdl.ok()) return 1;
    rvlpack::Module m;
    for (int t = 0; t < 8; ++t) {
        m.topics.push_back({L"Тема " + std::to_wstring(t + 1), {}});
        for (int q = 0; q < 12; ++q) m.topics.back().questions.push_back(ask('T', uint16_t(100 * (q + 1))));
    }
    if (!loadBytes(moduleBytes(m))) return 1;
    LaunchOptions options;
    options.teams = {"Красные", "Синие", "Зелёные", "Жёлтые"};
    options.hostDisplay = 0;
    startGameMode(options);
    board.prepare(&topics, renderer);
    boardBackground = buildBoardBackground(renderer);
    board.selectedTopic = 1;
    boardFrame();

    // Three rounds each way on a shared machine; the best mean of each.
    meanFrameMs(100);
    const int frames = 300;
    double without = 1e9, with = 1e9;
    for (int round = 0; round < 3; ++round) {
        without = std::min(without, meanFrameMs(frames));
        openHostScreen(options);
        boardFrame();
        with = std::min(with, meanFrameMs(frames));
        closeHostScreen();
    }
    bench::printRow(kArea, "projector's board frame, no host window, best mean of 300 (3 rounds)",
                    bench::format("%.3f ms", without));
    bench::printRow(kArea, "projector's board frame, host window open, game unchanged, best mean of 300 (3 rounds)",
                    bench::format("%.3f ms", with));
    openHostScreen(options);
    gamemode::apply(gamemode::session->model.play(7, 11), "play");
    boardFrame();
    const int redraws = 50;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < redraws; ++i) hostscreen::redraw();
    bench::printRow(kArea, "host screen redraw (4 teams, 8 x 12 miniature board, question in play), mean of 50",
                    bench::format("%.2f ms", msSince(start) / redraws));

    // A buzz, then the host's "+N": timed from the click's arrival to the
    // end of the projector's next frame, the host's redraw coming first.
    gamemode::apply(gamemode::session->model.close(), "no award");
    gamemode::session->scoreboard = true;
    const int clicks = 40;
    double total = 0, worst = 0;
    for (int i = 0; i < clicks; ++i) {
        gamemode::apply(gamemode::session->model.play(uint32_t(i / 12), uint32_t(i % 12)), "play");
        gamemode::session->scoreboard = true;
        pushKey(SDL_SCANCODE_1);
        boardFrame();
        SDL_Rect plus{};
        for (const auto& h : hostscreen::hits())
            if (h.control == hostscreen::Control::Right && h.team == 0) plus = h.rect;
        SDL_Event click = buttonEvent(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONDOWN, plus.x + plus.w / 2, plus.y + plus.h / 2);
        click.button.windowID = SDL_GetWindowID(hostscreen::window());
        start = std::chrono::steady_clock::now();
        push(click);
        boardFrame();
        const double ms = msSince(start);
        total += ms;
        worst = std::max(worst, ms);
    }
    bench::printRow(kArea, "click on \"+N\" to the new score on both screens, mean of 40",
                    bench::format("%.2f ms", total / clicks));
    bench::printRow(kArea, "click on \"+N\" to the new score on both screens, largest of 40",
                    bench::format("%.2f ms", worst));
    std::printf("(score after the clicks: %lld)\n", (long long)gamemode::session->model.state().teams[0].score);
    closeHostScreen();
    endGameMode();
    return 0;
}
