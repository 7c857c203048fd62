// Rendering of the board's wide texts in yellow, and the points' digits.
#include "board/board_text.h"

#include <vector>

namespace boardtext {

const SDL_Color yellow{255, 255, 0, 255};

SDL_Surface* render(TTF_Font* font, const std::wstring& text) {
    if (!font || text.empty()) return nullptr;
    // Elements are UTF-16 code units already; the renderer wants them as
    // 16-bit values with a closing zero.
    std::vector<Uint16> units;
    units.reserve(text.size() + 1);
    for (wchar_t unit : text) units.push_back(Uint16(unit));
    units.push_back(0);
    return TTF_RenderUNICODE_Blended(font, units.data(), yellow);
}

void copy(SDL_Renderer* renderer, SDL_Surface* surface, const SDL_Rect& dst) {
    if (!surface) return;
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    if (!texture) return;
    SDL_RenderCopy(renderer, texture, nullptr, &dst);
    SDL_DestroyTexture(texture);
}

void copyAt(SDL_Renderer* renderer, SDL_Surface* surface, int x, int y) {
    if (!surface) return;
    copy(renderer, surface, SDL_Rect{x, y, surface->w, surface->h});
}

// No printf width or flag: a padded string would be squeezed into a sliver
// once stretched over the cell.
std::wstring pointsText(uint16_t points) { return std::to_wstring(unsigned(points)); }

} // namespace boardtext
