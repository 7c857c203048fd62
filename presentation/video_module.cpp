// SPDX-License-Identifier: GPL-3.0-or-later
// Loads the video module (ahead of time on a background thread, or at the
// first video question) and plays video questions through it.
#include "presentation/video_module.h"

#include <dlfcn.h>

#include <future>
#include <iostream>
#include <string>
#include <system_error>

#include "platform/event_pump.h"
#include "platform/files.h"
#include "presentation/presentations.h"
#include "presentation/video.h"
#include "shell/app_state.h"

VideoPlayStats* videoPlayStats = nullptr;
const char* videoModulePath = nullptr;

namespace {

struct LoadedModule {
    VideoPlayEntry entry = nullptr;
    std::string error;
};

// The module installed beside the reader; the run directory when the
// executable cannot be found.
std::string moduleBesideExecutable() {
    std::string dir = executableDirectory();
    return (dir.empty() ? "." : dir) + "/" + videoModuleFileName;
}

// Runs on the loading thread: dlerror's text belongs to the thread that
// called dlopen, so the message is taken here. The module is never unloaded:
// the libraries it pulls in may keep threads of their own, and unloading at
// exit gains nothing.
LoadedModule loadModuleFile() {
    LoadedModule loaded;
    std::string path = videoModulePath ? videoModulePath : moduleBesideExecutable();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        loaded.error = std::string("dlopen: ") + (why ? why : path);
        return loaded;
    }
    loaded.entry = reinterpret_cast<VideoPlayEntry>(dlsym(handle, videoEntryName));
    if (!loaded.entry) {
        const char* why = dlerror();
        loaded.error = std::string("dlsym(") + videoEntryName + "): " + (why ? why : "null");
    }
    return loaded;
}

// The one load of the process. A load under way at exit is waited for (the
// future's destructor), so the process never ends in the middle of dlopen.
class VideoModuleLoad {
public:
    void start() {
        if (state != State::idle) return;
        state = State::loading;
        try {
            pending = std::async(std::launch::async, loadModuleFile);
        } catch (const std::system_error&) {
            // No thread to spare: the first video question loads it.
            pending = std::async(std::launch::deferred, loadModuleFile);
        }
    }
    const LoadedModule& result() {
        start();
        if (state == State::loading) {
            loaded = pending.get();
            state = State::done;
        }
        return loaded;
    }

private:
    enum class State { idle, loading, done };
    State state = State::idle;
    std::future<LoadedModule> pending;
    LoadedModule loaded;
};

VideoModuleLoad& theLoad() {
    static VideoModuleLoad load;
    return load;
}

} // namespace

void preloadVideoPlayer() { theLoad().start(); }

VideoPlayEntry videoPlayer() { return theLoad().result().entry; }

const char* videoModuleError() { return theLoad().result().error.c_str(); }

void playVideoAsk(unsigned char* media, uint32_t mediaSize, unsigned char* video, uint32_t videoSize) {
    VideoPlayEntry play = videoPlayer();
    if (!play) {
        std::cerr << noCaptureLine << std::endl;
        std::cerr << "The video player could not be loaded: " << videoModuleError() << std::endl;
        return;
    }
    VideoHost host{renderer, &event, videoPlayStats, pollEvent, quitSignalled, presentFrame};
    play(&host, media, mediaSize, video, videoSize);
}
