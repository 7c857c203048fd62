// The app-wide state that the board and the question screens share with the
// shell: window size, the renderer, the one event record every loop polls
// into, and the background and speaker pictures. The shell defines them.
#pragma once

#include <SDL.h>

#include <cstdint>

extern const uint16_t screenWidth;
extern const uint16_t screenHeight;

extern SDL_Renderer* renderer;
extern SDL_Event event;
extern SDL_Texture* bgTexture;
extern SDL_Texture* skTexture;
extern SDL_Rect skRect;
