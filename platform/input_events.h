// SPDX-License-Identifier: GPL-3.0-or-later
// The inputs the reader's loops answer: a press of the left mouse button
// (wherever it is), and the events that end a loop: a quit request (the
// window's close button), or F10 pressed or released.
#pragma once

#include <SDL.h>

inline bool isLeftPress(const SDL_Event& e) {
    return e.type == SDL_MOUSEBUTTONDOWN && e.button.button == SDL_BUTTON_LEFT;
}

inline bool isQuitEvent(const SDL_Event& e) {
    if (e.type == SDL_QUIT) return true;
    return (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) && e.key.keysym.scancode == SDL_SCANCODE_F10;
}
