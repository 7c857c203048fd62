// SPDX-License-Identifier: GPL-3.0-or-later
// The board's face at the host screen's three sizes, open while the host
// screen is.
#pragma once

#include <SDL_ttf.h>

namespace hostscreen {

struct HostFonts {
    TTF_Font* small = nullptr;   // controls, the log, the miniature board, the keys
    TTF_Font* normal = nullptr;  // the question, the teams
    TTF_Font* answer = nullptr;  // the answer: at least 40 pixels high, read at arm's length
};

const HostFonts& hostFonts();

} // namespace hostscreen
