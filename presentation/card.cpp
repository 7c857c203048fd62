// SPDX-License-Identifier: GPL-3.0-or-later
// The question card: the question, then after a left press the answer line,
// then after another the background alone, and back to the board.
#include "platform/event_pump.h"
#include "platform/input_events.h"
#include "platform/resource_files.h"
#include "platform/text_texture.h"
#include "presentation/presentations.h"
#include "shell/app_state.h"

TTF_Font* cardFont = nullptr;

namespace {

// Opens cardFont unless it is open; a font that failed to open stays null,
// so the next card tries again.
void openCardFont() {
    if (!cardFont) cardFont = TTF_OpenFont(resource::cardFont, resource::cardTextSize);
}

// An empty text or a missing font renders to no line; the card then shows
// the background where the line would be.
void drawCentred(const TextTexture& line) {
    const SDL_Rect at = centredOnScreen(line.w, line.h);
    copyText(renderer, line, at.x, at.y);
}

} // namespace

void showAskCard(const std::wstring& question, const std::wstring& answer) {
    openCardFont();
    const SDL_Color cl{255, 255, 255, 255};
    TextTexture ask = renderText(renderer, cardFont, question, cl);
    std::wstring bufws = resource::answerPrefix + answer;
    TextTexture answerLine = renderText(renderer, cardFont, bufws, cl);

    // Presses are counted per polling pass, so two that arrive together skip
    // the answer; a frame is drawn only when the count has changed.
    int clicks = 0;
    int drawnClicks = -1;
    bool showing = true;
    while (showing) {
        while (pollEvent(&event)) {
            if (isLeftPress(event)) ++clicks;
        }
        if (quitSignalled()) break;
        if (clicks >= 2) showing = false;
        // The same frame again only when what lies over it has changed.
        if (clicks == drawnClicks && !redrawWanted()) continue;
        SDL_SetRenderTarget(renderer, nullptr);
        drawnClicks = clicks;
        SDL_RenderCopy(renderer, bgTexture, nullptr, nullptr);
        if (clicks == 0) drawCentred(ask);
        else if (clicks == 1) drawCentred(answerLine);
        presentFrame(renderer);
    }
}
