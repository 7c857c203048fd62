// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded (LD_PRELOAD) into a program that startup_bench starts. It times
// every SDL_ShowSimpleMessageBox, and on the program's first
// SDL_RenderPresent it lets the present happen, writes the monotonic clock,
// the time spent in message boxes (both in nanoseconds) and the peak
// resident memory so far (KiB) to descriptor 3 and ends the process.
// With RVL_PROBE_MODULE set it plays the host instead: it answers the file
// chooser with that module, clicks through to the board and, when
// RVL_PROBE_VIDEO_CELL is set, plays the video question there (see
// boardScript). The reader itself carries no hook; this library exists only
// for the benchmark.
#include <SDL.h>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "platform/input_events.h"

namespace {

long long nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

long long peakResidentKiB() {
    FILE* status = fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long long kib = -1;
    while (fgets(line, sizeof line, status))
        if (sscanf(line, "VmHWM: %lld kB", &kib) == 1) break;
    fclose(status);
    return kib;
}

void report(const char* key, long long value) {
    char line[96];
    int n = snprintf(line, sizeof line, "%s %lld\n", key, value);
    if (write(3, line, static_cast<size_t>(n)) != n) _exit(1);
}

long long boxNs = 0;

// The host's script on the board, one step after the other:
//   selection screen: a click; the chooser call answers with the module;
//   board, first frame: clickAfter milliseconds later the peak memory is
//     taken; without a video cell the process ends there;
//   the topic row and the video cell (RVL_PROBE_VIDEO_CELL, "topicY,x,y")
//     are clicked, and the time
//     the cell's press is handed over is kept;
//   one second after the video's first frame a press ends the clip, two
//     more take the card through its answer, and half a second later, back
//     on the board, the peak memory is taken again and the process ends.
// The dlopen of the video module is timed: the question waited for it from
// the press until its end, if it was still loading.
struct BoardScript {
    bool active = false;
    std::string module;
    long long clickAfterNs = 0;
    int topicY = 0, cellX = 0, cellY = 0;
    bool video = false;

    enum class Step { selection, chooserAnswered, board, videoClicked, cardPresses, done } step = Step::selection;
    long long boardAt = 0, clickedAt = 0, videoFrameAt = 0, nextPressAt = 0;
    int pressesLeft = 0;
    std::deque<SDL_Event> queued;

    void motion(int x, int y) { queued.push_back(motionEvent(x, y)); }
    void press(int x, int y) { queued.push_back(buttonEvent(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONDOWN, x, y)); }
} script;

void finish() {
    report("peak_after_kib", peakResidentKiB());
    _exit(0);
}

} // namespace

extern "C" int SDL_ShowSimpleMessageBox(Uint32 flags, const char* title, const char* message, SDL_Window* window) {
    using Box = int (*)(Uint32, const char*, const char*, SDL_Window*);
    static Box real = reinterpret_cast<Box>(dlsym(RTLD_NEXT, "SDL_ShowSimpleMessageBox"));
    long long start = nowNs();
    int result = real ? real(flags, title, message, window) : -1;
    boxNs += nowNs() - start;
    return result;
}

// The chooser: writes the module's path (ASCII) as the chooser would.
extern "C" int system(const char* command) {
    using System = int (*)(const char*);
    static System real = reinterpret_cast<System>(dlsym(RTLD_NEXT, "system"));
    if (!script.active || !command || strstr(command, "fileopen.exe") == nullptr) return real ? real(command) : -1;
    FILE* out = fopen("openfilename.rlt", "wb");
    if (!out) _exit(1);
    fputc(static_cast<int>(script.module.size()), out);
    for (char c : script.module) {
        fputc(0, out);
        fputc(c, out);
    }
    fclose(out);
    script.step = BoardScript::Step::chooserAnswered;
    return 0;
}

extern "C" void* dlopen(const char* file, int mode) {
    using Open = void* (*)(const char*, int);
    static Open real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "dlopen"));
    bool module = file && strstr(file, "rvl-video.so") != nullptr;
    timespec cpuStart{}, cpuEnd{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuStart);
    long long start = nowNs();
    void* handle = real(file, mode);
    if (module) {
        report("module_load_start_ns", start);
        report("module_load_end_ns", nowNs());
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpuEnd);
        report("module_load_cpu_ns", (cpuEnd.tv_sec - cpuStart.tv_sec) * 1000000000LL + cpuEnd.tv_nsec - cpuStart.tv_nsec);
    }
    return handle;
}

extern "C" int SDL_PollEvent(SDL_Event* event) {
    using Poll = int (*)(SDL_Event*);
    static Poll real = reinterpret_cast<Poll>(dlsym(RTLD_NEXT, "SDL_PollEvent"));
    if (script.active) {
        long long now = nowNs();
        using Step = BoardScript::Step;
        if (script.step == Step::board && now >= script.boardAt + script.clickAfterNs) {
            report("peak_board_kib", peakResidentKiB());
            if (!script.video) _exit(0);
            script.motion(175, script.topicY);
            script.press(175, script.topicY);
            script.motion(script.cellX, script.cellY);
            script.press(script.cellX, script.cellY);
            script.step = Step::videoClicked;
        }
        if (script.step == Step::cardPresses && script.pressesLeft > 0 && now >= script.nextPressAt) {
            script.press(512, 384);
            script.nextPressAt = now + 300000000LL;
            if (--script.pressesLeft == 0) script.nextPressAt = now + 500000000LL;
        }
        if (script.step == Step::cardPresses && script.pressesLeft == 0 && now >= script.nextPressAt) finish();
        if (!script.queued.empty()) {
            if (event) *event = script.queued.front();
            script.queued.pop_front();
            if (script.step == Step::videoClicked && script.queued.empty()) {
                script.clickedAt = nowNs();
                report("video_clicked_ns", script.clickedAt);
            }
            return 1;
        }
    }
    return real ? real(event) : 0;
}

extern "C" void SDL_RenderPresent(SDL_Renderer* renderer) {
    using Present = void (*)(SDL_Renderer*);
    static Present real = reinterpret_cast<Present>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
    static bool first = true;
    if (real) real(renderer);
    long long now = nowNs();
    if (first) {
        first = false;
        report("presented_ns", now);
        report("box_ns", boxNs);
        report("peak_selection_kib", peakResidentKiB());
        const char* module = getenv("RVL_PROBE_MODULE");
        if (!module) _exit(0);
        script.active = true;
        script.module = module;
        const char* after = getenv("RVL_PROBE_CLICK_AFTER_MS");
        script.clickAfterNs = after ? atoll(after) * 1000000LL : 0;
        const char* cell = getenv("RVL_PROBE_VIDEO_CELL");
        script.video = cell && sscanf(cell, "%d,%d,%d", &script.topicY, &script.cellX, &script.cellY) == 3;
        script.motion(512, 384);
        script.press(512, 384);
        return;
    }
    using Step = BoardScript::Step;
    if (script.step == Step::chooserAnswered) {
        script.step = Step::board;
        script.boardAt = now;
        report("board_ns", now);
    } else if (script.step == Step::videoClicked && script.clickedAt > 0) {
        script.step = Step::cardPresses;
        script.videoFrameAt = now;
        script.pressesLeft = 3;
        script.nextPressAt = now + 1000000000LL;
    }
}
