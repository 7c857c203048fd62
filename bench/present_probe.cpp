// Preloaded (LD_PRELOAD) into a program that startup_bench starts. It times
// every SDL_ShowSimpleMessageBox, and on the program's first
// SDL_RenderPresent it lets the present happen, writes the monotonic clock
// and the time spent in message boxes (both in nanoseconds) to descriptor 3
// and ends the process. The reader itself carries no hook; this library
// exists only for the benchmark.
#include <SDL.h>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

long long nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

long long boxNs = 0;

} // namespace

extern "C" int SDL_ShowSimpleMessageBox(Uint32 flags, const char* title, const char* message, SDL_Window* window) {
    using Box = int (*)(Uint32, const char*, const char*, SDL_Window*);
    static Box real = reinterpret_cast<Box>(dlsym(RTLD_NEXT, "SDL_ShowSimpleMessageBox"));
    long long start = nowNs();
    int result = real ? real(flags, title, message, window) : -1;
    boxNs += nowNs() - start;
    return result;
}

extern "C" void SDL_RenderPresent(SDL_Renderer* renderer) {
    using Present = void (*)(SDL_Renderer*);
    static Present real = reinterpret_cast<Present>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
    if (real) real(renderer);
    char line[64];
    int n = snprintf(line, sizeof line, "%lld %lld\n", nowNs(), boxNs);
    if (write(3, line, static_cast<size_t>(n)) != n) _exit(1);
    _exit(0);
}
