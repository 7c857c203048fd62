// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up steps of the command-line options.
#include "shell/launch.h"

#include <SDL.h>

#include <iostream>

#include "module/loader.h"
#include "module/records.h"
#include "platform/chooser_record.h"
#include "platform/utf16.h"
#include "shell/globals.h"
#include "shell/select_module.h"

namespace {

// requested when such a display exists; otherwise 0, with one line on stderr.
int displayToUse(int requested) {
    if (requested == 0) return 0;
    int count = SDL_GetNumVideoDisplays();
    if (requested >= 0 && requested < count) return requested;
    std::cerr << "rvl-reader: display " << requested << " not found (" << count
              << (count == 1 ? " display" : " displays") << "), using display 0" << std::endl;
    return 0;
}

} // namespace

SDL_Window* createWindow(const LaunchOptions& options) {
    int display = displayToUse(options.display);
    SDL_Rect bounds{0, 0, 0, 0};
    if (!options.fullscreen || SDL_GetDisplayBounds(display, &bounds) != 0) {
        // Display 0 centred is SDL_WINDOWPOS_CENTERED itself.
        int at = SDL_WINDOWPOS_CENTERED_DISPLAY(display);
        Uint32 flags = SDL_WINDOW_SHOWN | (options.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        return SDL_CreateWindow("RVL Reader", at, at, screenWidth, screenHeight, flags);
    }
    // Asked for the display's own size, borderless: a window manager makes
    // it full-screen, and where there is none (a bare X server) the window
    // covers the display all the same.
    return SDL_CreateWindow("RVL Reader", bounds.x, bounds.y, bounds.w, bounds.h,
                            SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void scalePictureToWindow() {
    if (SDL_RenderSetLogicalSize(renderer, screenWidth, screenHeight) != 0)
        std::cerr << "rvl-reader: SDL_RenderSetLogicalSize: " << SDL_GetError() << std::endl;
}

void clearBarsOfScaledPicture() {
    int w = 0, h = 0;
    SDL_RenderGetLogicalSize(renderer, &w, &h);
    if (w == 0) return;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
}

bool loadPackFromCommandLine(const std::string& pack) {
    std::wstring path = pathToUtf16(pack);
    printChosenFile(path);
    // The chooser cannot return a longer path, so the reader never reads one.
    if (path.size() > chooser::kMaxPathUnits) {
        std::cerr << "rvl-reader: the pack's path is " << path.size()
                  << " UTF-16 units long, the reader opens paths of at most " << chooser::kMaxPathUnits
                  << "; move the pack to a shorter path" << std::endl;
        rejectModule();
        return false;
    }
    return loadModule(path);
}

void showRefusedPack() {
    std::string text = utf16ToUtf8(Ravlin::RM_Reader::loaderError);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", text.c_str(), window);
}
