// The one input the question presentations answer: a press of the left mouse
// button, wherever it is.
#pragma once

#include <SDL.h>

inline bool isLeftPress(const SDL_Event& e) {
    return e.type == SDL_MOUSEBUTTONDOWN && e.button.button == SDL_BUTTON_LEFT;
}
