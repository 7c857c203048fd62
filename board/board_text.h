// SPDX-License-Identifier: GPL-3.0-or-later
// Text of the board: its colour and the digits of a question's points.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

namespace boardtext {

extern const SDL_Color yellow;

// The points as plain decimal digits, "0" to "65535".
std::wstring pointsText(uint16_t points);

} // namespace boardtext
