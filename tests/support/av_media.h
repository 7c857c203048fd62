// SPDX-License-Identifier: GPL-3.0-or-later
// Real media written with FFmpeg's encoders for the conversion tests: sound
// in any codec, clips of grey frames, stills, and EXIF tags.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct ClipSpec {
    const char* container;          // FFmpeg muxer: "mp3", "ipod", "mp4", "gif", "webp", ...
    const char* videoCodec = nullptr;  // encoder name, or null for sound only
    int width = 0, height = 0, frames = 0, fps = 25;
    const char* audioCodec = nullptr;  // encoder name, or null for no sound
    int rate = 44100, channels = 2;
    double seconds = 0;
    int pauseAfter = 0, pauseFrames = 0;  // a still gap: frames after the first pauseAfter come pauseFrames later
};

// Grey frames with a red square in the top left corner, and a 440 Hz tone;
// empty on failure.
std::vector<uint8_t> makeClip(const ClipSpec& spec);

// A JPEG of w x h pixels (red square top left) carrying EXIF orientation.
std::vector<uint8_t> makeJpegWithOrientation(int w, int h, int orientation);

} // namespace testing_support
