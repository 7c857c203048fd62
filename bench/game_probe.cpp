// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded (LD_PRELOAD) into the reader by bench/game_latency.sh. For each
// digit key the reader takes from SDL's queue it keeps the stamp SDL gave
// the event when it was queued; at the next SDL_RenderPresent, once the
// frame is presented, it writes the milliseconds between the two, one line
// each, to the file named by RVL_GAME_PROBE_OUT. The reader carries no hook.
#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {
Uint32 pendingStamp = 0;
bool pending = false;
} // namespace

extern "C" int SDL_PollEvent(SDL_Event* event) {
    using Poll = int (*)(SDL_Event*);
    static Poll real = reinterpret_cast<Poll>(dlsym(RTLD_NEXT, "SDL_PollEvent"));
    int got = real(event);
    if (got && event && event->type == SDL_KEYDOWN && !pending) {
        SDL_Scancode s = event->key.keysym.scancode;
        if (s >= SDL_SCANCODE_1 && s <= SDL_SCANCODE_8) {
            pendingStamp = event->key.timestamp;
            pending = true;
        }
    }
    return got;
}

extern "C" void SDL_RenderPresent(SDL_Renderer* renderer) {
    using Present = void (*)(SDL_Renderer*);
    static Present real = reinterpret_cast<Present>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
    real(renderer);
    if (!pending) return;
    pending = false;
    static FILE* out = getenv("RVL_GAME_PROBE_OUT") ? fopen(getenv("RVL_GAME_PROBE_OUT"), "w") : nullptr;
    if (out) fprintf(out, "%u\n", SDL_GetTicks() - pendingStamp), fflush(out);
}
