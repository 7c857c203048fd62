// The event pump, its quit-signal flag, and the frame present.
#include "platform/event_pump.h"

#include <csignal>
#include <initializer_list>

namespace {

volatile sig_atomic_t quitSignal = 0;

void noteQuitSignal(int) { quitSignal = 1; }

EventFilter eventFilter = nullptr;
FrameOverlay frameOverlay = nullptr;
bool redraw = false;

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
        if (!eventFilter || !eventFilter(*e)) return true;
    }
    return false;
}

void setEventFilter(EventFilter filter) { eventFilter = filter; }
void setFrameOverlay(FrameOverlay overlay) { frameOverlay = overlay; }

void presentFrame(SDL_Renderer* renderer) {
    if (frameOverlay) frameOverlay(renderer);
    redraw = false;
    SDL_RenderPresent(renderer);
}

bool redrawWanted() { return redraw; }
void requestRedraw() { redraw = true; }
