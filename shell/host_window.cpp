// SPDX-License-Identifier: GPL-3.0-or-later
// The host screen's window: where it opens, its events (routed to it by the
// event pump), the commands its clicks give the game, and its redraw when
// the game has changed, run whenever a loop has drained the queue.
#include <SDL.h>

#include <iostream>
#include <optional>

#include "platform/event_pump.h"
#include "platform/resource_files.h"
#include "platform/sdl_handles.h"
#include "shell/game_session.h"
#include "shell/globals.h"
#include "shell/host_fonts.h"
#include "shell/host_screen.h"

using Ravlin::RM_Reader::topics;

namespace hostscreen {

namespace {

struct Host {
    WindowHandle window;
    RendererHandle renderer;
    FontHandle small, normal, answer;
    HostFonts fonts;
    bool shown = true;
    bool dirty = true;
    uint64_t drawnVersion = 0;
    uint64_t redraws = 0;
    std::vector<Hit> hits;
    SDL_Rect answerRect{0, 0, 0, 0};
    std::optional<game::QuestionRef> pendingPlay;
};
std::optional<Host> host;

// The room beside the projector's window on a display they share, or, when
// the display is another, the whole of it.
SDL_Rect placeWindow(int requested) {
    const int count = SDL_GetNumVideoDisplays();
    int display = requested;
    if (requested >= count) {
        std::cerr << "rvl-reader: --host-display: display " << requested << " not found (" << count
                  << (count == 1 ? " display" : " displays") << "), the host screen opens on display 0" << std::endl;
        display = 0;
    }
    SDL_Rect b{0, 0, 1024, 768};
    if (SDL_GetDisplayUsableBounds(display, &b) != 0) SDL_GetDisplayBounds(display, &b);
    const int projectorDisplay = SDL_GetWindowDisplayIndex(::window);
    if (display == requested && display != projectorDisplay) return b;
    // At most half the display, at its right edge; the projector's window
    // moves to the left edge when the two would overlap.
    SDL_Rect at{b.x + b.w - b.w / 2, b.y, b.w / 2, b.h};
    if (display != projectorDisplay) return at;
    int px = 0, py = 0, pw = 0, ph = 0;
    SDL_GetWindowPosition(::window, &px, &py);
    SDL_GetWindowSize(::window, &pw, &ph);
    const bool fullscreen = SDL_GetWindowFlags(::window) & SDL_WINDOW_FULLSCREEN;
    if (!fullscreen && px + pw > at.x) SDL_SetWindowPosition(::window, b.x, py);
    if (!fullscreen && b.w - pw >= at.w / 2) {
        at.w = std::min(at.w, b.w - pw);
        at.x = b.x + b.w - at.w;
    }
    return at;
}

void act(const Hit& hit) {
    game::Game& g = gamemode::session->model;
    switch (hit.control) {
    case Control::Right: gamemode::apply(g.right(), "right"); break;
    case Control::Wrong: gamemode::apply(g.wrong(), "wrong"); break;
    case Control::Minus100: gamemode::apply(g.adjust(hit.team, -100), "adjust"); break;
    case Control::Plus100: gamemode::apply(g.adjust(hit.team, 100), "adjust"); break;
    case Control::Rearm: gamemode::apply(g.arm(), "re-arm"); break;
    case Control::NoAward: gamemode::apply(g.close(), "no award"); break;
    case Control::Undo: gamemode::apply(g.undo(), "undo"); break;
    case Control::Cell: host->pendingPlay = game::QuestionRef{hit.topic, hit.question}; break;
    }
}

void takeHostEvent(const SDL_Event& e) {
    if (e.type == SDL_WINDOWEVENT) {
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            // Hidden until the next start; the projector goes on.
            SDL_HideWindow(host->window.get());
            host->shown = false;
        } else {
            host->dirty = true;  // exposed, resized, restored: draw again
        }
        return;
    }
    if (e.type != SDL_MOUSEBUTTONDOWN || e.button.button != SDL_BUTTON_LEFT || !host->shown) return;
    const SDL_Point at{e.button.x, e.button.y};
    for (const Hit& hit : host->hits) {
        if (hit.enabled && SDL_PointInRect(&at, &hit.rect)) {
            act(hit);
            return;
        }
    }
}

// A miniature cell plays its question as the projector's cell would: its
// topic chosen there, the cell counted among the questions left.
void playPending() {
    const game::QuestionRef q = *host->pendingPlay;
    host->pendingPlay.reset();
    if (gamemode::session->inQuestion || gamemode::session->model.isPlayed(q) || q.topic >= topics.size()) return;
    uint32_t index = 0;
    for (uint32_t i = 0; i < q.question; ++i)
        if (!gamemode::session->model.isPlayed(game::QuestionRef{q.topic, i})) ++index;
    board.selectedTopic = q.topic + 1;
    board.playCell(&topics, q.topic, index);
}

} // namespace

void serviceHostScreen() {
    if (!host || !gamemode::session) return;
    if (host->pendingPlay) playPending();
    if (host->shown && (host->dirty || host->drawnVersion != gamemode::session->version)) redraw();
}

const HostFonts& hostFonts() { return host->fonts; }
SDL_Window* window() { return host ? host->window.get() : nullptr; }
SDL_Renderer* renderer() { return host ? host->renderer.get() : nullptr; }
bool shown() { return host && host->shown; }
const std::vector<Hit>& hits() { return host->hits; }
SDL_Rect answerRect() { return host ? host->answerRect : SDL_Rect{0, 0, 0, 0}; }
uint64_t redraws() { return host ? host->redraws : 0; }

void redraw() {
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(host->renderer.get(), &w, &h);
    drawHostScreen(host->renderer.get(), w, h, host->hits, host->answerRect);
    SDL_RenderPresent(host->renderer.get());
    host->dirty = false;
    host->drawnVersion = gamemode::session->version;
    ++host->redraws;
}

} // namespace hostscreen

using namespace hostscreen;

void openHostScreen(const LaunchOptions& options) {
    if (options.hostDisplay < 0 || !gamemode::session) return;
    const SDL_Rect at = placeWindow(options.hostDisplay);
    host.emplace();
    host->window.reset(SDL_CreateWindow("RVL Reader — ведущий", at.x, at.y, at.w, at.h,
                                        SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE));
    if (host->window) {
        host->renderer.reset(
            SDL_CreateRenderer(host->window.get(), -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE));
        if (!host->renderer)
            host->renderer.reset(SDL_CreateRenderer(host->window.get(), -1, SDL_RENDERER_SOFTWARE));
    }
    if (!host->renderer) {
        // The game goes on from the keys; only the host's screen is missing.
        std::cerr << "rvl-reader: --host-display: SDL_CreateWindow/SDL_CreateRenderer: " << SDL_GetError() << std::endl;
        host.reset();
        return;
    }
    host->small.reset(TTF_OpenFont(resource::boardFont, 24));
    host->normal.reset(TTF_OpenFont(resource::boardFont, 32));
    host->answer.reset(TTF_OpenFont(resource::boardFont, 56));
    host->fonts = HostFonts{host->small.get(), host->normal.get(), host->answer.get()};
    routeWindowEvents(SDL_GetWindowID(host->window.get()), takeHostEvent);
    setIdleTask(serviceHostScreen);
    SDL_RaiseWindow(::window);
}

void closeHostScreen() {
    if (!host) return;
    routeWindowEvents(0, nullptr);
    setIdleTask(nullptr);
    host.reset();
}
