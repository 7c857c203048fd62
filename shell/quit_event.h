// The events that end the reader's loops: a quit request (the window's close
// button), or F10 pressed or released.
#pragma once

#include <SDL.h>

inline bool isQuitEvent(const SDL_Event& e) {
    if (e.type == SDL_QUIT) return true;
    return (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) && e.key.keysym.scancode == SDL_SCANCODE_F10;
}
