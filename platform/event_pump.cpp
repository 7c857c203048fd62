// The event pump and the frame present shared by all loops.
#include "platform/event_pump.h"

namespace {
EventFilter eventFilter = nullptr;
FrameOverlay frameOverlay = nullptr;
bool redraw = false;
} // namespace

void setEventFilter(EventFilter filter) { eventFilter = filter; }
void setFrameOverlay(FrameOverlay overlay) { frameOverlay = overlay; }

int pollEvent(SDL_Event* e) {
    while (SDL_PollEvent(e)) {
        if (!eventFilter || !eventFilter(*e)) return 1;
    }
    return 0;
}

void presentFrame(SDL_Renderer* renderer) {
    if (frameOverlay) frameOverlay(renderer);
    redraw = false;
    SDL_RenderPresent(renderer);
}

bool redrawWanted() { return redraw; }
void requestRedraw() { redraw = true; }
