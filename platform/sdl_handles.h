// SPDX-License-Identifier: GPL-3.0-or-later
// Owners of the graphics libraries' handles: each releases its handle with
// the library's own call when it goes, so no early return can leak one.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <memory>

struct SdlRelease {
    void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
    void operator()(SDL_Renderer* renderer) const { SDL_DestroyRenderer(renderer); }
    void operator()(SDL_Texture* texture) const { SDL_DestroyTexture(texture); }
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
    void operator()(TTF_Font* font) const { TTF_CloseFont(font); }
};

using WindowHandle = std::unique_ptr<SDL_Window, SdlRelease>;
using RendererHandle = std::unique_ptr<SDL_Renderer, SdlRelease>;
using TextureHandle = std::unique_ptr<SDL_Texture, SdlRelease>;
using SurfaceHandle = std::unique_ptr<SDL_Surface, SdlRelease>;
using FontHandle = std::unique_ptr<TTF_Font, SdlRelease>;
