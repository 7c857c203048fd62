// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up sequence, the board's frame loop and its event pump, and shutdown.
#include "shell/app.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "board/board_state.h"
#include "module/format.h"
#include "module/listing.h"
#include "module/loader.h"
#include "module/records.h"
#include "platform/event_pump.h"
#include "platform/input_events.h"
#include "platform/resource_files.h"
#include "platform/sdl_handles.h"
#include "platform/user_run_directory.h"
#include "presentation/presentations.h"
#include "presentation/video_module.h"
#include "shell/game_mode.h"
#include "shell/globals.h"
#include "shell/host_screen.h"
#include "shell/launch.h"
#include "shell/select_module.h"

using Ravlin::RM_Reader::loaderError;
using Ravlin::RM_Reader::topics;

void failStartup(const char* title, const char* text) {
    // The console gets the reason too: a box may have no screen to show on.
    std::cerr << title << ": " << text << std::endl;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text, window);
    exit(0);
}

namespace {

// Quits the libraries that start-up initialises, in the reverse order.
struct Libraries {
    Libraries() = default;
    Libraries(const Libraries&) = delete;
    Libraries& operator=(const Libraries&) = delete;
    ~Libraries() {
        TTF_Quit();
        IMG_Quit();
        SDL_Quit();
    }
};

// What start-up opens and shutdown releases. Members go in the reverse of
// their order here, which is the reader's release order: the renderer, then
// the window, then the libraries. Textures go with the renderer and the
// fonts stay open until the libraries quit, so neither is released one by one.
struct Session {
    Libraries libraries;
    WindowHandle window;
    RendererHandle renderer;
};

std::optional<Session> session;

// A missing resource would leave a null handle that later drawing trips on;
// stop with a box that names the file instead.
[[noreturn]] void failResource(const char* call, const char* file) {
    std::string text = std::string(call) + "(\"" + file + "\"): " + SDL_GetError();
    // An installed reader without a run directory looks for res/ where it
    // was started: the real reason is the run directory's.
    if (!runDirectoryFailure().empty()) text += "; the reader's run directory could not be prepared: " + runDirectoryFailure();
    failStartup("Can't load resource", text.c_str());
}

bool holdsVideo(const std::vector<Ravlin::RM_Reader::RM_Topic>& loaded) {
    for (const auto& topic : loaded)
        for (const auto& ask : topic.asks)
            if (rvlformat::carriesVideo(ask.type)) return true;
    return false;
}

// Without a display server SDL falls back to a window nobody can see, and
// the selection screen would wait for a click that can never come. A driver
// the user asked for by name (tests use "dummy") is taken as meant.
void requireVisibleWindow() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (!driver || (asked && *asked)) return;
    if (strcmp(driver, "offscreen") != 0 && strcmp(driver, "dummy") != 0) return;
    std::cerr << "Can't open a window: no display (DISPLAY and WAYLAND_DISPLAY reach no server; SDL chose the \""
              << driver << "\" video driver)" << std::endl;
    exit(0);
}

// The first card opens the card's font, and each card tries again while it
// is missing; the cards then show no text. Start-up only says so.
void warnIfCardFontMissing() {
    if (access(resource::cardFont, R_OK) == 0) return;
    std::cerr << "rvl-reader: " << resource::cardFont << ": " << strerror(errno) << "; cards will show no text"
              << std::endl;
}

SDL_Texture* loadTexture(const char* file, int* w, int* h) {
    SurfaceHandle surface(IMG_Load(file));
    if (!surface) failResource("IMG_Load", file);
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface.get());
    if (!texture) failResource("SDL_CreateTextureFromSurface", file);
    if (w) *w = surface->w;
    if (h) *h = surface->h;
    return texture;
}

// Without a GPU the accelerated renderer is missing; SDL's software renderer
// also supports target textures, which the board needs.
SDL_Renderer* createRenderer(Uint32 extraFlags) {
    SDL_Renderer* r = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE | extraFlags);
    if (r) return r;
    r = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE | extraFlags);
    if (r) return r;
    std::string text = std::string("SDL_CreateRenderer: ") + SDL_GetError();
    failStartup("Can't create renderer", text.c_str());
}

} // namespace

App::App() { running = true; }

void App::init(const LaunchOptions& options) {
    // SDL would turn SIGTERM and SIGINT into quit requests, which the card
    // and the players consume by design. The reader's own flag ends every
    // screen instead, and the board's loop, so that shutdown runs.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    catchQuitSignals();
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", "Device not found!", window);
    session.emplace();
    if (SDL_Init(SDL_INIT_EVERYTHING) != 0) failStartup("Can't iniitialise SDL", SDL_GetError());
    requireVisibleWindow();
    if ((IMG_Init(IMG_INIT_JPG | IMG_INIT_PNG) & (IMG_INIT_JPG | IMG_INIT_PNG)) == 0)
        failStartup("Can't iniitialise SDL_image", SDL_GetError());
    if (TTF_Init() != 0) failStartup("Can't iniitialise SDL_ttf", SDL_GetError());

    session->window.reset(createWindow(options));
    window = session->window.get();
    if (!window) {
        std::string text = std::string("SDL_CreateWindow: ") + SDL_GetError();
        failStartup("Can't create window", text.c_str());
    }
    session->renderer.reset(createRenderer(options.vsync ? SDL_RENDERER_PRESENTVSYNC : 0));
    renderer = session->renderer.get();
    if (options.fullscreen) scalePictureToWindow();

    bgTexture = loadTexture(resource::backgroundPicture, nullptr, nullptr);
    skTexture = loadTexture(resource::speakerPicture, &skRect.w, &skRect.h);
    skRect = centredOnScreen(skRect.w, skRect.h);
    mainFont = TTF_OpenFont(resource::boardFont, resource::selectionTextSize);
    if (!mainFont) failResource("TTF_OpenFont", resource::boardFont);
    warnIfCardFontMissing();

    bool loaded = options.hasPack ? loadPackFromCommandLine(options.pack) : loadModule(selectModuleFile());
    if (!loaded) std::wcout << loaderError << std::endl;
    // The video libraries take a while to load; only a pack with video needs
    // them, and it gets them while the listing prints and the board is built.
    if (holdsVideo(topics)) preloadVideoPlayer();
    printModule();
    if (!loaded && options.hasPack) showRefusedPack();
    // Opt-in: a resumed game takes its played questions off the board here.
    startGameMode(options);
    board.prepare(&topics, renderer);
    if (boardBackground) SDL_DestroyTexture(boardBackground);
    boardBackground = buildBoardBackground(renderer);
    openHostScreen(options);
}

void App::run() {
    while (running) {
        handleEvents();
        update();
        render();
    }
}

void App::handleEvents() {
    while (pollEvent(&event)) {
        if (isQuitEvent(event)) {
            running = false;
            return;
        }
        board.handleEvent(&topics, event);
    }
    // A quit signal, on the board or in a question it played, ends the loop
    // as a quit request does.
    if (quitSignalled()) running = false;
}

void App::update() {}

void App::render() {
    clearBarsOfScaledPicture();
    SDL_RenderCopy(renderer, boardBackground, nullptr, nullptr);
    board.draw(&topics, renderer);
    presentFrame(renderer);
}

void App::shutdown() {
    closeHostScreen();
    endGameMode();
    session.reset();
    renderer = nullptr;
    window = nullptr;
}
