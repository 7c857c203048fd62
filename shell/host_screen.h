// SPDX-License-Identifier: GPL-3.0-or-later
// The host's own screen (--host-display N, game mode only): a second window
// with the question in play and its answer, the buzzer, the teams with their
// award buttons, the controls with the last commands, the board in
// miniature and the keys. Its clicks drive the game through the model's
// commands; it is redrawn only when the game changes, from whichever loop
// is running, through the event pump.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "shell/launch_options.h"

// After game mode has started: opens the window when the options ask for
// it. A display that does not exist gets one line on stderr, and the window
// goes on display 0.
void openHostScreen(const LaunchOptions& options);
// At shutdown, before the projector's window goes.
void closeHostScreen();

namespace hostscreen {

// What a click on the host screen can do.
enum class Control { Right, Wrong, Minus100, Plus100, Rearm, NoAward, Undo, Cell };

// A control as last drawn: team for the team buttons, topic and question
// (in the pack, from 0) for a cell of the miniature board.
struct Hit {
    SDL_Rect rect{0, 0, 0, 0};
    Control control = Control::Rearm;
    uint32_t team = 0;
    uint32_t topic = 0;
    uint32_t question = 0;
    bool enabled = true;  // drawn grey and deaf when it could do nothing
};

SDL_Window* window();
SDL_Renderer* renderer();
bool shown();
// The controls of the last drawing.
const std::vector<Hit>& hits();
// Where the answer was last drawn; empty when none was.
SDL_Rect answerRect();
// Draws the screen now (benchmarks), and the count of drawings so far.
void redraw();
// What the event pump runs whenever a loop has drained the queue: a
// miniature cell's question played, and a redraw if the game has changed.
void serviceHostScreen();
uint64_t redraws();

// The drawing itself, into renderer's whole output; fills hits and the answer's place.
void drawHostScreen(SDL_Renderer* renderer, int w, int h, std::vector<Hit>& hits, SDL_Rect& answer);

} // namespace hostscreen
