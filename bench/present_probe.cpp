// Preloaded (LD_PRELOAD) into a program that startup_bench starts: on the
// program's first SDL_RenderPresent it lets the present happen, writes the
// monotonic clock in nanoseconds to descriptor 3 and ends the process. The
// reader itself carries no hook; this library exists only for the benchmark.
#include <SDL.h>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

extern "C" void SDL_RenderPresent(SDL_Renderer* renderer) {
    using Present = void (*)(SDL_Renderer*);
    static Present real = reinterpret_cast<Present>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
    if (real) real(renderer);
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    char line[32];
    int n = snprintf(line, sizeof line, "%lld\n", static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec);
    if (write(3, line, static_cast<size_t>(n)) != n) _exit(1);
    _exit(0);
}
