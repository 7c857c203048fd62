// SPDX-License-Identifier: GPL-3.0-or-later
// The C entry point of rvl-video.so, the one symbol the module exports; the
// reader finds it with dlsym under videoEntryName.
#include <type_traits>

#include "presentation/video_host.h"
#include "presentation/video_player.h"

extern "C" __attribute__((visibility("default"))) void rvlPlayVideoAsk(const VideoHost* host, unsigned char* media,
                                                                       uint32_t mediaSize, unsigned char* video,
                                                                       uint32_t videoSize) {
    if (host && host->renderer && host->event && host->pollEvent && host->quitSignalled && host->present)
        playVideoClip(*host, media, mediaSize, video, videoSize);
}

static_assert(std::is_same_v<decltype(&rvlPlayVideoAsk), VideoPlayEntry>, "the entry point and the reader disagree");
