// Rendering a line of text with SDL_ttf and making a texture of it.
#include "platform/text_texture.h"

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

} // namespace

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
