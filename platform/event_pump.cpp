// The event pump and the frame present shared by all loops.
#include "platform/event_pump.h"

namespace {
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

int pollEvent(SDL_Event* e) {
    while (SDL_PollEvent(e)) {
        if (routedWindow && mouseOrWindowEventWindow(*e) == routedWindow) {
            windowSink(*e);
            continue;
        }
        closeAsQuit(e);
        if (!eventFilter || !eventFilter(*e)) return 1;
    }
    if (idleTask) idleTask();
    return 0;
}

void presentFrame(SDL_Renderer* renderer) {
    if (frameOverlay) frameOverlay(renderer);
    redraw = false;
    SDL_RenderPresent(renderer);
}

bool redrawWanted() { return redraw; }
void requestRedraw() { redraw = true; }
