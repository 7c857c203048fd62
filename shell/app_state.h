// SPDX-License-Identifier: GPL-3.0-or-later
// The app-wide state that the board and the question screens share with the
// shell: window size, the renderer, the one event record every loop polls
// into, and the background and speaker pictures. shell/globals.cpp defines
// the variables, in a library linked under the screens and the board.
#pragma once

#include <SDL.h>

#include <cstdint>

inline constexpr uint16_t screenWidth = 1024;
inline constexpr uint16_t screenHeight = 768;

extern SDL_Renderer* renderer;
extern SDL_Event event;
extern SDL_Texture* bgTexture;
extern SDL_Texture* skTexture;
extern SDL_Rect skRect;

// Where a w x h picture stands centred in the window: each size halved on its
// own, truncating (x = screenWidth / 2 - w / 2).
inline SDL_Rect centredOnScreen(int w, int h) { return SDL_Rect{screenWidth / 2 - w / 2, screenHeight / 2 - h / 2, w, h}; }
