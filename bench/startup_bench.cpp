// Start-up benchmark: from starting the real reader to its first presented
// frame (the module selection screen) under the dummy video driver, against a
// bare program that initialises the same libraries, opens the same window
// and renderer and presents one cleared frame. Both are timed the same way:
// the clock is read before fork, and a preloaded probe reads it again right
// after the first SDL_RenderPresent and ends the process. The probe also
// reports the time spent in message boxes: on a desktop the start-up box
// waits for the user, so that part is shown on its own.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <dlfcn.h>
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

struct Start {
    double toPresent = -1;  // seconds from just before fork to the first present
    double inBox = 0;       // seconds of that spent inside message boxes
};

// Starts program with the probe preloaded and times it to its first present;
// toPresent stays negative when it never came.
Start timeToFirstPresent(const std::string& program, const std::vector<std::string>& args) {
    Start result;
    int probe[2];
    if (pipe(probe) != 0) return result;
    double start = bench::nowSeconds();
    pid_t pid = fork();
    if (pid < 0) return result;
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
    long long presentedNs = 0, boxNs = 0;
    if (sscanf(text.c_str(), "%lld %lld", &presentedNs, &boxNs) != 2) return result;
    result.toPresent = double(presentedNs) * 1e-9 - start;
    result.inBox = double(boxNs) * 1e-9;
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--bare") return bareStart();
    // The floor with the video library and everything it pulls in loaded as
    // the reader loads them at start (the reader needs them for video).
    if (argc == 2 && std::string(argv[1]) == "--bare-video-library") {
        if (!dlopen(RVL_VIDEO_LIBRARY, RTLD_NOW | RTLD_GLOBAL)) return 1;
        return bareStart();
    }
    std::vector<double> reader, readerWithoutBox, box, bare, bareVideo;
    for (int i = 0; i < kRuns; ++i) {
        Start b = timeToFirstPresent("/proc/self/exe", {"--bare"});
        Start bv = timeToFirstPresent("/proc/self/exe", {"--bare-video-library"});
        Start r = timeToFirstPresent(RVL_READER, {});
        if (b.toPresent < 0 || bv.toPresent < 0 || r.toPresent < 0) {
            fprintf(stderr, "startup_bench: %s never presented a frame\n",
                    r.toPresent < 0 ? RVL_READER : "the bare program");
            return 1;
        }
        bare.push_back(b.toPresent);
        bareVideo.push_back(bv.toPresent);
        reader.push_back(r.toPresent);
        readerWithoutBox.push_back(r.toPresent - r.inBox);
        box.push_back(r.inBox);
    }
    double r = bench::median(reader), rb = bench::median(readerWithoutBox), b = bench::median(bare),
           bv = bench::median(bareVideo);
    auto ms = [](double seconds) { return bench::format("%.1f ms", seconds * 1000); };
    const std::string area = "start-up (dummy video driver, no display)";
    bench::printRow(area, "process start to the selection screen presented vs bare SDL start", ms(r), ms(b),
                    bench::ratio(r, b));
    bench::printRow(area, "the same less the time inside the start-up box", ms(rb), ms(b), bench::ratio(rb, b));
    bench::printRow(area, "time inside the start-up box (it cannot show without a display)",
                    ms(bench::median(box)));
    bench::printRow(area, "bare SDL start with the video library loaded vs without", ms(bv), ms(b),
                    bench::ratio(bv, b));
    return 0;
}
