// Start-up benchmark: from starting the real reader to its first presented
// frame (the module selection screen) under the dummy video driver, against a
// bare program that initialises the same libraries, opens the same window
// and renderer and presents one cleared frame. Both are timed the same way:
// the clock is read before fork, and a preloaded probe reads it again right
// after the first SDL_RenderPresent and ends the process.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <signal.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace {

const int kRuns = 7;
const int kTimeoutMs = 30000;

// The floor: the libraries and the window exactly as the reader asks for
// them, one cleared frame, no pictures, fonts or text.
int bareStart() {
    if (SDL_Init(SDL_INIT_EVERYTHING) != 0) return 1;
    IMG_Init(IMG_INIT_JPG | IMG_INIT_PNG);
    TTF_Init();
    SDL_Window* window = SDL_CreateWindow("RVL Reader", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 1024, 768,
                                          SDL_WINDOW_SHOWN);
    if (!window) return 1;
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
    if (!renderer) return 1;
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderPresent(renderer);  // the probe ends the process here
    return 1;
}

// Starts program with the probe preloaded and returns the seconds from just
// before fork to its first present, or a negative value when it never came.
double timeToFirstPresent(const std::string& program, const std::vector<std::string>& args) {
    int probe[2];
    if (pipe(probe) != 0) return -1;
    double start = bench::nowSeconds();
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (chdir(RVL_RUN_DIR) != 0) _exit(126);
        dup2(probe[1], 3);
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("ALSOFT_DRIVERS", "null", 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("LD_PRELOAD", RVL_PRESENT_PROBE, 1);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(probe[1]);
    std::string text;
    pollfd fd{probe[0], POLLIN, 0};
    while (poll(&fd, 1, kTimeoutMs) > 0) {
        char buf[64];
        ssize_t n = read(probe[0], buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, size_t(n));
    }
    close(probe[0]);
    if (text.empty()) kill(pid, SIGKILL);  // never presented: stop it
    waitpid(pid, nullptr, 0);
    long long presentedNs = 0;
    if (sscanf(text.c_str(), "%lld", &presentedNs) != 1) return -1;
    return double(presentedNs) * 1e-9 - start;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--bare") return bareStart();
    if (argc == 2 && std::string(argv[1]) == "--bare-box") {
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", "Device not found!", nullptr);
        return bareStart();
    }
    std::vector<double> reader, bare, bareBox;
    for (int i = 0; i < kRuns; ++i) {
        double b = timeToFirstPresent("/proc/self/exe", {"--bare"});
        double bb = timeToFirstPresent("/proc/self/exe", {"--bare-box"});
        double r = timeToFirstPresent(RVL_READER, {});
        if (b < 0 || bb < 0 || r < 0) {
            fprintf(stderr, "startup_bench: %s never presented a frame\n", r < 0 ? RVL_READER : "the bare program");
            return 1;
        }
        bare.push_back(b);
        bareBox.push_back(bb);
        reader.push_back(r);
    }
    double r = bench::median(reader), b = bench::median(bare), bb = bench::median(bareBox);
    auto ms = [](double seconds) { return bench::format("%.1f ms", seconds * 1000); };
    const std::string area = "start-up (dummy video driver)";
    bench::printRow(area, "process start to first presented frame vs bare SDL start", ms(r), ms(b), bench::ratio(r, b));
    bench::printRow(area, "bare SDL start after the start-up box vs without", ms(bb), ms(b), bench::ratio(bb, b));
    return 0;
}
