// SPDX-License-Identifier: GPL-3.0-or-later
// The contract between the reader and its video module (rvl-video.so): the
// module's one C entry point and what the reader hands it for one question.
#pragma once

#include <SDL.h>

#include <cstdint>

struct VideoPlayStats;

// The reader's state the player draws with and polls into, and the reader's
// event pump (platform/event_pump.h), which the module cannot link itself.
struct VideoHost {
    SDL_Renderer* renderer;
    SDL_Event* event;
    VideoPlayStats* stats;  // null unless a benchmark or test gathers figures
    bool (*pollEvent)(SDL_Event* e);
    bool (*quitSignalled)();
    // The reader's frame present: what an opt-in layer draws goes over each frame.
    void (*present)(SDL_Renderer* renderer);
};

// Plays one video question: the sound track, then the video file.
using VideoPlayEntry = void (*)(const VideoHost* host, unsigned char* media, uint32_t mediaSize, unsigned char* video,
                                uint32_t videoSize);

// The module's file name, looked for beside the reader, and its entry point.
constexpr const char* videoModuleFileName = "rvl-video.so";
constexpr const char* videoEntryName = "rvlPlayVideoAsk";

// The one standard-error line of a video that cannot be shown.
constexpr const char* noCaptureLine = "***Could not initialize capturing...***";
