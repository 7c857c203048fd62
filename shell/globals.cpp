// Storage and initial values of the app-wide state.
#include "shell/globals.h"

bool running = true;
const uint16_t screenWidth = 1024;
const uint16_t screenHeight = 768;

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Event event{};
SDL_Texture* bgTexture = nullptr;
SDL_Texture* skTexture = nullptr;
SDL_Rect skRect{0, 0, 0, 0};
TTF_Font* mainFont = nullptr;
SDL_Texture* boardBackground = nullptr;
BoardState board{};
