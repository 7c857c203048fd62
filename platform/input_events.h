// SPDX-License-Identifier: GPL-3.0-or-later
// The inputs the reader's loops answer: a press of the left mouse button
// (wherever it is), and the events that end a loop: a quit request (the
// window's close button), or F10 pressed or released. And the mouse's events
// as SDL delivers them, for the programs that drive those loops.
#pragma once

#include <SDL.h>

inline bool isLeftPress(const SDL_Event& e) {
    return e.type == SDL_MOUSEBUTTONDOWN && e.button.button == SDL_BUTTON_LEFT;
}

inline SDL_Event buttonEvent(Uint8 button, Uint32 type, int x, int y) {
    SDL_Event e{type};
    e.button.button = button;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    e.button.x = x, e.button.y = y;
    return e;
}

inline SDL_Event motionEvent(int x, int y) {
    SDL_Event e{SDL_MOUSEMOTION};
    e.motion.x = x, e.motion.y = y;
    return e;
}

inline bool isQuitEvent(const SDL_Event& e) {
    if (e.type == SDL_QUIT) return true;
    return (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) && e.key.keysym.scancode == SDL_SCANCODE_F10;
}
