// SPDX-License-Identifier: GPL-3.0-or-later
// The event pump, its quit-signal flag, and the frame present.
#include "platform/event_pump.h"

#include <csignal>
#include <initializer_list>

namespace {

volatile sig_atomic_t quitSignal = 0;

void noteQuitSignal(int) { quitSignal = 1; }

EventFilter eventFilter = nullptr;
FrameOverlay frameOverlay = nullptr;
Uint32 routedWindow = 0;
WindowEventSink windowSink = nullptr;
IdleTask idleTask = nullptr;
bool redraw = false;

// The first window's close button, as the quit request SDL would send were
// it the only window.
void closeAsQuit(SDL_Event* e) {
    if (!routedWindow || e->type != SDL_WINDOWEVENT || e->window.event != SDL_WINDOWEVENT_CLOSE) return;
    const Uint32 stamp = e->window.timestamp;
    *e = SDL_Event{};
    e->quit.type = SDL_QUIT;
    e->quit.timestamp = stamp;
}
} // namespace

void catchQuitSignals() {
    struct sigaction action {};
    action.sa_handler = noteQuitSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls keep file reads and the wait for the chooser intact;
    // the handler is reset after its first signal.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int sig : {SIGINT, SIGTERM}) {
        // A signal our starter set to be ignored (a shell does so for
        // SIGINT of a program started in the background) stays ignored.
        struct sigaction before {};
        if (sigaction(sig, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(sig, &action, nullptr);
    }
}

bool quitSignalled() { return quitSignal != 0; }

bool pollEvent(SDL_Event* e) {
    while (!quitSignalled() && SDL_PollEvent(e)) {
        if (routedWindow && mouseOrWindowEventWindow(*e) == routedWindow) {
            windowSink(*e);
            continue;
        }
        closeAsQuit(e);
        if (!eventFilter || !eventFilter(*e)) return true;
    }
    if (idleTask && !quitSignalled()) idleTask();
    return false;
}

void setEventFilter(EventFilter filter) { eventFilter = filter; }
void setFrameOverlay(FrameOverlay overlay) { frameOverlay = overlay; }
void routeWindowEvents(Uint32 windowId, WindowEventSink sink) {
    routedWindow = sink ? windowId : 0;
    windowSink = sink;
}
void setIdleTask(IdleTask task) { idleTask = task; }

Uint32 mouseOrWindowEventWindow(const SDL_Event& e) {
    switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    default: return 0;
    }
}

void presentFrame(SDL_Renderer* renderer) {
    if (frameOverlay) frameOverlay(renderer);
    redraw = false;
    SDL_RenderPresent(renderer);
}

bool redrawWanted() { return redraw; }
void requestRedraw() { redraw = true; }
