// Text of the board: its colour, wide strings handed to the
// TrueType renderer and the digits of a question's points.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <string>

namespace boardtext {

extern const SDL_Color yellow;

// Blended rendering of UTF-16 units; null for an empty text or a missing font.
SDL_Surface* render(TTF_Font* font, const std::wstring& text);

// Copies a rendered text onto the current target at dst (null: its natural
// size at x, y); a null surface or a texture that cannot be made is skipped.
void copy(SDL_Renderer* renderer, SDL_Surface* surface, const SDL_Rect& dst);
void copyAt(SDL_Renderer* renderer, SDL_Surface* surface, int x, int y);

// The points as plain decimal digits, "0" to "65535".
std::wstring pointsText(uint16_t points);

} // namespace boardtext
