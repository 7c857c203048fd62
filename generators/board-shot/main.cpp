// SPDX-License-Identifier: GPL-3.0-or-later
// rvl-board-shot PACK OUT.png: draws the board of a pack as the reader shows
// it after a click on its first topic, off screen, and saves it as a PNG at
// half size.
// The build makes the README's picture with it; run it in the run directory.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "board/board_state.h"
#include "board/geometry.h"
#include "module/loader.h"
#include "module/records.h"
#include "platform/input_events.h"
#include "platform/resource_files.h"
#include "platform/utf16.h"
#include "shell/globals.h"

using Ravlin::RM_Reader::topics;

namespace {

int failed(const char* call) {
    fprintf(stderr, "rvl-board-shot: %s: %s\n", call, SDL_GetError());
    return 1;
}

// The event as SDL delivers it to the board: pointer moved there, then a left press.
void clickAt(int x, int y) {
    board.handleEvent(&topics, motionEvent(x, y));
    board.handleEvent(&topics, buttonEvent(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONDOWN, x, y));
}

// The README's copy: half the size, each 2x2 block averaged, and 32 shades
// per channel, which keeps the picture near 50 KB instead of 200 KB (the
// background's smooth glow takes every shade otherwise).
SDL_Surface* halfSizeFewerShades(const std::vector<Uint8>& rgb) {
    const int w = screenWidth / 2, h = screenHeight / 2, pitch = screenWidth * 3;
    SDL_Surface* half = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
    if (!half) return nullptr;
    for (int y = 0; y < h; ++y) {
        Uint8* out = static_cast<Uint8*>(half->pixels) + y * half->pitch;
        for (int x = 0; x < w * 3; ++x) {
            const Uint8* in = &rgb[size_t(2 * y) * pitch + 2 * (x / 3) * 3 + x % 3];
            out[x] = Uint8(((in[0] + in[3] + in[pitch] + in[pitch + 3] + 2) / 4) & 0xF8);
        }
    }
    return half;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: rvl-board-shot PACK OUT.png\n");
        return 2;
    }
    // The loader's trace is not wanted here.
    std::wcout.setstate(std::ios::failbit);
    std::cout.setstate(std::ios::failbit);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return failed("SDL_Init");
    if (TTF_Init() != 0) return failed("TTF_Init");
    window = SDL_CreateWindow("RVL Reader", 0, 0, screenWidth, screenHeight, SDL_WINDOW_HIDDEN);
    if (!window) return failed("SDL_CreateWindow");
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
    if (!renderer) return failed("SDL_CreateRenderer");
    bgTexture = IMG_LoadTexture(renderer, resource::backgroundPicture);
    if (!bgTexture) return failed("IMG_LoadTexture");
    if (!loadModule(utf8ToUtf16(argv[1]))) {
        fprintf(stderr, "rvl-board-shot: %s: %s\n", argv[1], utf16ToUtf8(Ravlin::RM_Reader::loaderError).c_str());
        return 1;
    }
    board.prepare(&topics, renderer);
    boardBackground = buildBoardBackground(renderer);
    clickAt(topicTextIndent + 20, boardgeo::headerHeight() + topicRowHeight / 2);
    SDL_RenderCopy(renderer, boardBackground, nullptr, nullptr);
    board.draw(&topics, renderer);
    std::vector<Uint8> screen(size_t(screenWidth) * screenHeight * 3);
    if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB24, screen.data(), screenWidth * 3) != 0)
        return failed("SDL_RenderReadPixels");
    SDL_Surface* shot = halfSizeFewerShades(screen);
    if (!shot) return failed("SDL_CreateRGBSurfaceWithFormat");
    const bool saved = IMG_SavePNG(shot, argv[2]) == 0;
    SDL_FreeSurface(shot);
    if (!saved) return failed("IMG_SavePNG");
    // Textures go with the renderer; the renderer before its window.
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    TTF_Quit();
    SDL_Quit();
    return 0;
}
