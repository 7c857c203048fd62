// SPDX-License-Identifier: GPL-3.0-or-later
// Rendering a line of text with SDL_ttf and making a texture of it.
#include "platform/text_texture.h"

#include <cstddef>
#include <utility>

#include "platform/utf16.h"

namespace {

TextTexture toTexture(SDL_Renderer* renderer, SurfaceHandle surface, const char* renderCall) {
    TextTexture text;
    if (!surface) {
        text.failedCall = renderCall;
        return text;
    }
    text.texture.reset(SDL_CreateTextureFromSurface(renderer, surface.get()));
    if (!text.texture) {
        text.failedCall = "SDL_CreateTextureFromSurface";
        return text;
    }
    text.w = surface->w;
    text.h = surface->h;
    return text;
}

// Units rendered beyond those that fit: a following glyph may reach back
// over the edge (kerning, overhang).
const size_t spareUnits = 4;

// The text up to the unit that ends past visibleWidth, plus spare units, or
// the whole text when that is no shorter.
std::vector<Uint16> leftPartUnits(TTF_Font* font, const std::vector<Uint16>& units, int visibleWidth) {
    int extent = 0, count = 0;
    if (TTF_MeasureUNICODE(font, units.data(), visibleWidth, &extent, &count) != 0) return units;
    size_t keep = size_t(count) + spareUnits;
    if (keep + 1 >= units.size()) return units;
    if (isHighSurrogate(units[keep - 1])) ++keep;  // never split a pair
    std::vector<Uint16> part(units.begin(), units.begin() + std::ptrdiff_t(keep));
    part.push_back(0);
    return part;
}

} // namespace

TextTexture renderTextLeftPart(SDL_Renderer* renderer, TTF_Font* font, const std::wstring& text, SDL_Color colour,
                               int visibleWidth) {
    if (!font || text.empty() || visibleWidth <= 0) return TextTexture{};
    std::vector<Uint16> units = ttfUnits(text);
    int wholeW = 0, wholeH = 0;
    if (TTF_SizeUNICODE(font, units.data(), &wholeW, &wholeH) != 0 || wholeW <= visibleWidth)
        return renderText(renderer, font, text, colour);
    std::vector<Uint16> part = leftPartUnits(font, units, visibleWidth);
    SurfaceHandle surface(TTF_RenderUNICODE_Blended(font, part.data(), colour));
    // The part lies as in the whole line only when it has the whole line's
    // height (a glyph further on may reach higher or lower) and covers the
    // visible width; otherwise the whole line is rendered after all.
    if (surface && (surface->h != wholeH || surface->w < visibleWidth)) surface.reset();
    if (!surface) surface.reset(TTF_RenderUNICODE_Blended(font, units.data(), colour));
    if (!surface) return toTexture(renderer, std::move(surface), "TTF_RenderUNICODE_Blended");
    if (surface->w <= visibleWidth) return toTexture(renderer, std::move(surface), "TTF_RenderUNICODE_Blended");
    // A view of the surface's left part, sharing its pixels.
    SurfaceHandle left(SDL_CreateRGBSurfaceWithFormatFrom(surface->pixels, visibleWidth, surface->h,
                                                          surface->format->BitsPerPixel, surface->pitch,
                                                          surface->format->format));
    if (!left) {
        TextTexture failed;
        failed.failedCall = "SDL_CreateRGBSurfaceWithFormatFrom";
        return failed;
    }
    SDL_BlendMode mode = SDL_BLENDMODE_BLEND;
    SDL_GetSurfaceBlendMode(surface.get(), &mode);
    SDL_SetSurfaceBlendMode(left.get(), mode);
    return toTexture(renderer, std::move(left), "TTF_RenderUNICODE_Blended");
}

TextTexture renderText(SDL_Renderer* renderer, TTF_Font* font, const std::wstring& text, SDL_Color colour) {
    if (!font || text.empty()) return TextTexture{};
    return toTexture(renderer, SurfaceHandle(TTF_RenderUNICODE_Blended(font, ttfUnits(text).data(), colour)),
                     "TTF_RenderUNICODE_Blended");
}

TextTexture renderText(SDL_Renderer* renderer, TTF_Font* font, const char* text, SDL_Color colour) {
    return toTexture(renderer, SurfaceHandle(TTF_RenderText_Blended(font, text, colour)), "TTF_RenderText_Blended");
}

void copyText(SDL_Renderer* renderer, const TextTexture& text, int x, int y) {
    if (!text.texture) return;
    SDL_Rect where{x, y, text.w, text.h};
    SDL_RenderCopy(renderer, text.texture.get(), nullptr, &where);
}
