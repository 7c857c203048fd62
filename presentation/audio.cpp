// SPDX-License-Identifier: GPL-3.0-or-later
// The audio question: the clip plays over the audio screen (background and
// speaker picture) until it ends or the user presses the left button.
#include <SFML/Audio/Sound.hpp>
#include <SFML/Audio/SoundBuffer.hpp>

#include "platform/event_pump.h"
#include "platform/input_events.h"
#include "presentation/presentations.h"
#include "presentation/sound_decode.h"
#include "shell/app_state.h"

void playAudioAsk(unsigned char* media, uint32_t mediaSize) {
    sf::SoundBuffer sb;
    sf::Sound s;
    // A clip that does not decode is never started: the sound stays Stopped
    // and the loop below ends at its first look.
    bool decoded = loadQuestionSound(sb, media, mediaSize);
    s.setBuffer(sb);
    if (decoded) s.play();

    auto draw = [] {
        SDL_SetRenderTarget(renderer, nullptr);
        SDL_RenderCopy(renderer, bgTexture, nullptr, nullptr);
        SDL_RenderCopy(renderer, skTexture, nullptr, &skRect);
        presentFrame(renderer);
    };
    draw();

    bool listening = true;
    while (listening && s.getStatus() == sf::Sound::Playing && !quitSignalled()) {
        while (pollEvent(&event)) {
            if (isLeftPress(event)) listening = false;
        }
        if (listening && redrawWanted()) draw();
    }
    s.stop();
}
