// App-wide state shared by the shell, the board and the presentations.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>

#include "board/board_state.h"

extern bool running;
extern const uint16_t screenWidth;
extern const uint16_t screenHeight;
extern const int32_t wheelStep;
extern const uint16_t headerTextIndent;
extern const uint16_t topicRowHeight;
extern const uint16_t topicTextIndent;

extern SDL_Window* window;
extern SDL_Renderer* renderer;
extern SDL_Event event;
extern SDL_Texture* bgTexture;
extern SDL_Texture* skTexture;
extern SDL_Rect skRect;
extern TTF_Font* mainFont;
extern SDL_Texture* boardBackground;
extern BoardState board;
extern int32_t mouseX;
extern int32_t mouseY;
