// SPDX-License-Identifier: GPL-3.0-or-later
// The picture question: the picture at its own size, centred on the
// background, until the user presses the left button.
#include "platform/event_pump.h"
#include "platform/input_events.h"
#include "platform/sdl_handles.h"
#include "presentation/presentations.h"
#include "presentation/picture_decode.h"
#include "shell/app_state.h"

void showImageAsk(unsigned char* media, uint32_t mediaSize) {
    // A picture that does not decode leaves the background alone, and the
    // wait for the click stays: the host's click after a picture must not
    // fall on the card and give the answer away.
    SurfaceHandle picture(decodeQuestionPicture(media, mediaSize));
    TextureHandle texture(picture ? SDL_CreateTextureFromSurface(renderer, picture.get()) : nullptr);
    SDL_Rect dst{0, 0, 0, 0};
    if (picture) dst = centredOnScreen(picture->w, picture->h);

    auto draw = [&] {
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_RenderCopy(renderer, bgTexture, nullptr, nullptr);
        if (texture) SDL_RenderCopy(renderer, texture.get(), nullptr, &dst);
        presentFrame(renderer);
    };
    draw();

    bool waiting = true;
    while (waiting && !quitSignalled()) {
        while (pollEvent(&event)) {
            if (isLeftPress(event)) waiting = false;
        }
        if (waiting && redrawWanted()) draw();
    }
}
