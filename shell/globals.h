// SPDX-License-Identifier: GPL-3.0-or-later
// App-wide state: what the board and the question screens share
// (shell/app_state.h), the board, and what only the shell uses.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include "board/board_state.h"
#include "shell/app_state.h"

extern bool running;
extern SDL_Window* window;
extern TTF_Font* mainFont;
extern SDL_Texture* boardBackground;
extern BoardState board;
