// SPDX-License-Identifier: GPL-3.0-or-later
// Storage and initial values of the app-wide state.
#include "shell/globals.h"

bool running = true;

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Event event{};
SDL_Texture* bgTexture = nullptr;
SDL_Texture* skTexture = nullptr;
SDL_Rect skRect{0, 0, 0, 0};
TTF_Font* mainFont = nullptr;
SDL_Texture* boardBackground = nullptr;
BoardState board{};
