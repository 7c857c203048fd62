// SPDX-License-Identifier: GPL-3.0-or-later
// Text and lines of the board: their colour, and the digits of a question's
// points.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

namespace boardtext {

inline constexpr SDL_Color yellow{255, 255, 0, 255};

// The colour (its alpha replaced) as the draw colour of lines and fills.
inline void setDrawColour(SDL_Renderer* renderer, SDL_Color colour, Uint8 alpha) {
    SDL_SetRenderDrawColor(renderer, colour.r, colour.g, colour.b, alpha);
}

// The points as plain decimal digits, "0" to "65535".
std::wstring pointsText(uint16_t points);

} // namespace boardtext
