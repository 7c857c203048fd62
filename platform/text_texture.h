// SPDX-License-Identifier: GPL-3.0-or-later
// Text made into a texture: the one way the board, the card and the
// selection screen turn a line of text into something to copy.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <string>
#include <vector>

#include "platform/sdl_handles.h"

// A text's UTF-16 units as the TrueType library takes them: one 16-bit
// value each, then a closing zero.
inline std::vector<Uint16> ttfUnits(const std::wstring& text) {
    std::vector<Uint16> units(text.begin(), text.end());
    units.push_back(0);
    return units;
}

// A rendered line and its natural size. Without a texture, failedCall names
// the call that failed (null when there was nothing to render).
struct TextTexture {
    TextureHandle texture;
    int w = 0;
    int h = 0;
    const char* failedCall = nullptr;
};

// Blended rendering of UTF-16 units. An empty text or a missing font gives
// no texture.
TextTexture renderText(SDL_Renderer* renderer, TTF_Font* font, const std::wstring& text, SDL_Color colour);
// The same line when only its first visibleWidth pixels can ever show: only
// as much of the text as reaches that far is rendered, and the texture is
// cut there (w is then visibleWidth), with the very pixels the whole line
// would have there. A long name would otherwise cost megabytes a texture.
TextTexture renderTextLeftPart(SDL_Renderer* renderer, TTF_Font* font, const std::wstring& text, SDL_Color colour,
                               int visibleWidth);
// Blended rendering of plain ASCII text.
TextTexture renderText(SDL_Renderer* renderer, TTF_Font* font, const char* text, SDL_Color colour);

// Copies a line at its natural size with its top-left corner at x, y; a line
// without a texture is skipped.
void copyText(SDL_Renderer* renderer, const TextTexture& text, int x, int y);
