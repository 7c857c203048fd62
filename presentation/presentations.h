// SPDX-License-Identifier: GPL-3.0-or-later
// The modal screens that present one clicked question: its media, then the
// card with the question and the answer.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <string>

// The card's font: opened by the first card, tried again by the next while
// it is missing, open until the text library quits.
extern TTF_Font* cardFont;

void showAskCard(const std::wstring& question, const std::wstring& answer);
void showImageAsk(unsigned char* media, uint32_t mediaSize);
void playAudioAsk(unsigned char* media, uint32_t mediaSize);
void playVideoAsk(unsigned char* media, uint32_t mediaSize, unsigned char* video, uint32_t videoSize);
