// SPDX-License-Identifier: GPL-3.0-or-later
// The video player lives in a module of its own, so that the video libraries
// it pulls in are loaded only for packs that have video. playVideoAsk
// (presentations.h) waits for the module and hands the question to it.
#pragma once

#include "presentation/video_host.h"

// Where the module is loaded from; null means rvl-video.so beside the
// running executable. Tests and benchmarks built elsewhere point it at the
// run directory's copy.
extern const char* videoModulePath;

// Starts loading the module on a background thread, unless that has begun
// already. Only the loading runs there; the player runs on the caller's thread.
void preloadVideoPlayer();

// The module's entry point, once loaded: waits for a load under way and
// starts one if none has been. Null when the module cannot be loaded; then
// videoModuleError() says why.
VideoPlayEntry videoPlayer();
const char* videoModuleError();
