// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and memory benchmark of the real reader under the dummy video
// driver, timed and measured from outside by a preloaded probe
// (present_probe.cpp), against a bare program that initialises the same
// libraries, opens the same window and renderer and presents one cleared
// frame:
//   - process start to the first presented frame (the selection screen),
//     less the time inside the start-up box, which on a desktop waits for the
//     user; the peak resident memory at that frame;
//   - the peak resident memory on the board, a second after it shows, with a
//     text-only pack and with the demo pack, and on the demo board again
//     after its video question has played;
//   - how long the first video question waits for the video module when it
//     is clicked as soon as the board shows, and a second later.
// Usage: startup_bench [READER RUN_DIR]   (another build's reader, to compare)
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <dlfcn.h>
#include <signal.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "packing/module_writer.h"

namespace {

const int kRuns = 7;
const int kBoardRuns = 3;
const int kTimeoutMs = 60000;
const double kDemoFramePeriod = 1.0 / 25.0;  // the demo's clip runs at 25 fps
// Where the demo's video question stands: the only question of the sixth
// topic (its row's middle at y 560), in the first cell.
const char* const kDemoVideoCell = "560,434,242";

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

// What the probe reported ("key value" lines), and when the process started.
struct Report {
    double startedAt = 0;
    std::map<std::string, long long> values;
    bool has(const char* key) const { return values.count(key) != 0; }
    double seconds(const char* key) const { return double(values.at(key)) * 1e-9; }
    double mib(const char* key) const { return double(values.at(key)) / 1024.0; }
};

// Starts program in dir with the probe preloaded and the given extra
// environment, and collects what the probe reports until the process ends.
Report runProbed(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                 const std::vector<std::pair<std::string, std::string>>& env = {}) {
    Report result;
    int probe[2];
    if (pipe(probe) != 0) return result;
    result.startedAt = bench::nowSeconds();
    pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
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
        for (const auto& [key, value] : env) setenv(key.c_str(), value.c_str(), 1);
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
        char buf[256];
        ssize_t n = read(probe[0], buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, size_t(n));
    }
    close(probe[0]);
    kill(pid, SIGKILL);  // ended by the probe already, unless it hung
    waitpid(pid, nullptr, 0);
    char key[64];
    long long value = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        if (sscanf(text.substr(at, end - at).c_str(), "%63s %lld", key, &value) == 2) result.values[key] = value;
        at = end + 1;
    }
    return result;
}

// Ten topics of six text questions: a pack without media.
bool writeTextOnlyPack(const std::string& path) {
    rvlpack::Module m;
    for (int t = 0; t < 10; ++t) {
        rvlpack::Topic topic{L"Тема " + std::to_wstring(t + 1), {}};
        for (int q = 0; q < 6; ++q) {
            rvlpack::Question question;
            question.question = L"Вопрос " + std::to_wstring(q + 1);
            question.answer = L"Ответ";
            question.points = uint16_t(100 * (q + 1));
            topic.questions.push_back(question);
        }
        m.topics.push_back(topic);
    }
    return rvlpack::writeModuleFile(m, path);
}

std::string ms(double seconds) { return bench::format("%.1f ms", seconds * 1000); }
std::string mib(double value) { return bench::format("%.1f MiB", value); }

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--bare") return bareStart();
    // The floor with the video library and everything it pulls in loaded, as
    // a reader that links it loads them at start.
    if (argc == 2 && std::string(argv[1]) == "--bare-video-library") {
        if (!dlopen(RVL_VIDEO_LIBRARY, RTLD_NOW | RTLD_GLOBAL)) return 1;
        return bareStart();
    }
    const std::string reader = argc == 3 ? argv[1] : RVL_READER;
    const std::string runDir = argc == 3 ? argv[2] : RVL_RUN_DIR;

    std::vector<double> toPresent, withoutBox, box, bare, bareVideo, peakSelection, peakBare;
    for (int i = 0; i < kRuns; ++i) {
        Report b = runProbed("/proc/self/exe", {"--bare"}, runDir);
        Report bv = runProbed("/proc/self/exe", {"--bare-video-library"}, runDir);
        Report r = runProbed(reader, {}, runDir);
        if (!b.has("presented_ns") || !bv.has("presented_ns") || !r.has("presented_ns")) {
            fprintf(stderr, "startup_bench: %s never presented a frame\n",
                    !r.has("presented_ns") ? reader.c_str() : "the bare program");
            return 1;
        }
        bare.push_back(b.seconds("presented_ns") - b.startedAt);
        bareVideo.push_back(bv.seconds("presented_ns") - bv.startedAt);
        toPresent.push_back(r.seconds("presented_ns") - r.startedAt);
        withoutBox.push_back(r.seconds("presented_ns") - r.startedAt - r.seconds("box_ns"));
        box.push_back(r.seconds("box_ns"));
        peakSelection.push_back(r.mib("peak_selection_kib"));
        peakBare.push_back(b.mib("peak_selection_kib"));
    }
    double r = bench::median(toPresent), rb = bench::median(withoutBox), b = bench::median(bare),
           bv = bench::median(bareVideo);
    const std::string area = "start-up (dummy video driver, no display)";
    bench::printRow(area, "process start to the selection screen presented vs bare SDL start", ms(r), ms(b),
                    bench::ratio(r, b));
    bench::printRow(area, "the same less the time inside the start-up box", ms(rb), ms(b), bench::ratio(rb, b));
    bench::printRow(area, "time inside the start-up box (it cannot show without a display)", ms(bench::median(box)));
    bench::printRow(area, "bare SDL start with the video library loaded vs without", ms(bv), ms(b), bench::ratio(bv, b));
    double ps = bench::median(peakSelection), pb = bench::median(peakBare);
    bench::printRow(area, "peak resident memory on the selection screen vs bare SDL start", mib(ps), mib(pb),
                    bench::ratio(ps, pb));

    // The board, a text-only pack and the demo pack with its video question.
    char scratch[] = "/tmp/rvl-startup-bench-XXXXXX";
    if (!mkdtemp(scratch)) return 1;
    const std::string textOnly = std::string(scratch) + "/text.rvl";
    if (!writeTextOnlyPack(textOnly)) return 1;
    const std::string demo = runDir + "/demo.rvl";
    std::vector<double> peakText, peakDemo, peakAfter, waitLater, waitAtOnce, loadTime, loadCpu;
    int loadsSeen = 0, textLoads = 0;
    for (int i = 0; i < kBoardRuns; ++i) {
        Report t = runProbed(reader, {}, runDir, {{"RVL_PROBE_MODULE", textOnly}, {"RVL_PROBE_CLICK_AFTER_MS", "1000"}});
        Report later = runProbed(reader, {}, runDir,
                                 {{"RVL_PROBE_MODULE", demo},
                                  {"RVL_PROBE_CLICK_AFTER_MS", "1000"},
                                  {"RVL_PROBE_VIDEO_CELL", kDemoVideoCell}});
        Report atOnce = runProbed(reader, {}, runDir,
                                  {{"RVL_PROBE_MODULE", demo},
                                   {"RVL_PROBE_CLICK_AFTER_MS", "0"},
                                   {"RVL_PROBE_VIDEO_CELL", kDemoVideoCell}});
        if (!t.has("peak_board_kib") || !later.has("peak_after_kib") || !atOnce.has("peak_after_kib")) {
            fprintf(stderr, "startup_bench: the board script did not come through (text %d, demo %d, at once %d)\n",
                    int(t.has("peak_board_kib")), int(later.has("peak_after_kib")), int(atOnce.has("peak_after_kib")));
            return 1;
        }
        peakText.push_back(t.mib("peak_board_kib"));
        peakDemo.push_back(later.mib("peak_board_kib"));
        peakAfter.push_back(later.mib("peak_after_kib"));
        textLoads += t.has("module_load_end_ns");
        // A reader without the module has its video library from the start
        // and never waits at the question.
        auto wait = [](const Report& rep) {
            if (!rep.has("module_load_end_ns")) return 0.0;
            return std::max(0.0, rep.seconds("module_load_end_ns") - rep.seconds("video_clicked_ns"));
        };
        waitLater.push_back(wait(later));
        waitAtOnce.push_back(wait(atOnce));
        if (atOnce.has("module_load_end_ns")) {
            ++loadsSeen;
            loadTime.push_back(atOnce.seconds("module_load_end_ns") - atOnce.seconds("module_load_start_ns"));
            loadCpu.push_back(atOnce.seconds("module_load_cpu_ns"));
            printf("demo, clicked at once: module loading started %.1f ms before the board showed, took %.1f ms, "
                   "the question waited %.1f ms\n",
                   (atOnce.seconds("board_ns") - atOnce.seconds("module_load_start_ns")) * 1000,
                   loadTime.back() * 1000, waitAtOnce.back() * 1000);
        }
    }
    remove(textOnly.c_str());
    rmdir(scratch);
    const std::string boardArea = "board memory and the video module (dummy video driver)";
    bench::printRow(boardArea, "peak resident memory, text-only pack, 1 s on the board", mib(bench::median(peakText)));
    bench::printRow(boardArea, "peak resident memory, demo pack, 1 s on the board", mib(bench::median(peakDemo)));
    bench::printRow(boardArea, "peak resident memory, demo pack, back on the board after its video",
                    mib(bench::median(peakAfter)));
    if (textLoads > 0) bench::printRow(boardArea, "text-only pack loaded the video module", "YES (a fault)");
    if (loadsSeen == 0) {
        bench::printRow(boardArea, "wait at the first video question", "none: the video library is loaded at start");
    } else {
        double atOnce = bench::median(waitAtOnce), later = bench::median(waitLater);
        bench::printRow(boardArea, "video module load on its thread (dlopen, OpenCV and what it pulls in)",
                        ms(bench::median(loadTime)));
        // What the load costs on a core of its own, however busy the machine.
        bench::printRow(boardArea, "the same load, processor time of its thread", ms(bench::median(loadCpu)));
        bench::printRow(boardArea, "wait at the first video question, clicked as the board shows, vs a frame period",
                        ms(atOnce), ms(kDemoFramePeriod), bench::ratio(atOnce, kDemoFramePeriod));
        bench::printRow(boardArea, "wait at the first video question, clicked 1 s later, vs a frame period", ms(later),
                        ms(kDemoFramePeriod), bench::ratio(later, kDemoFramePeriod));
    }
    return 0;
}
