// The question card: the question, then after a left press the answer line,
// then after another the background alone, and back to the board.
#include <vector>

#include "platform/app_state.h"
#include "platform/input_events.h"
#include "platform/resource_files.h"
#include "presentation/presentations.h"

TTF_Font* cardFont = nullptr;

namespace {


// One line of card text. An empty text or a missing font renders to no
// image; the card then shows the background where the line would be.
struct CardLine {
    SDL_Surface* image = nullptr;
    SDL_Texture* texture = nullptr;
    SDL_Rect rect{0, 0, 0, 0};
};

CardLine renderLine(const std::wstring& text, SDL_Color colour) {
    CardLine line;
    if (!cardFont) return line;
    // The text library takes 16-bit units ending in a zero unit.
    std::vector<Uint16> units(text.begin(), text.end());
    units.push_back(0);
    line.image = TTF_RenderUNICODE_Blended(cardFont, units.data(), colour);
    if (!line.image) return line;
    line.texture = SDL_CreateTextureFromSurface(renderer, line.image);
    line.rect.w = line.image->w;
    line.rect.h = line.image->h;
    return line;
}

void drawCentred(CardLine& line) {
    if (!line.texture) return;
    line.rect.x = screenWidth / 2 - line.rect.w / 2;
    line.rect.y = screenHeight / 2 - line.rect.h / 2;
    SDL_RenderCopy(renderer, line.texture, nullptr, &line.rect);
}

} // namespace

void showAskCard(const std::wstring& question, const std::wstring& answer) {
    // A font that failed to open stays null, so the next card tries again.
    if (!cardFont) cardFont = TTF_OpenFont(resource::cardFont, resource::cardTextSize);
    const SDL_Color cl{255, 255, 255, 255};
    CardLine ask = renderLine(question, cl);
    std::wstring bufws = L"Ответ: " + answer;
    CardLine answerLine = renderLine(bufws, cl);

    // Presses are counted per polling pass, so two that arrive together skip
    // the answer; a frame is drawn only when the count has changed.
    int clicks = 0;
    int drawnClicks = -1;
    bool showing = true;
    while (showing) {
        while (SDL_PollEvent(&event)) {
            if (isLeftPress(event)) ++clicks;
        }
        if (clicks >= 2) showing = false;
        if (clicks == drawnClicks) continue;
        SDL_SetRenderTarget(renderer, nullptr);
        drawnClicks = clicks;
        SDL_RenderCopy(renderer, bgTexture, nullptr, nullptr);
        if (clicks == 0) drawCentred(ask);
        else if (clicks == 1) drawCentred(answerLine);
        SDL_RenderPresent(renderer);
    }

    SDL_FreeSurface(ask.image);
    SDL_FreeSurface(answerLine.image);
    if (ask.texture) SDL_DestroyTexture(ask.texture);
    if (answerLine.texture) SDL_DestroyTexture(answerLine.texture);
}
