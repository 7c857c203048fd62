// SPDX-License-Identifier: GPL-3.0-or-later
// Video facts (size, display aspect, frame rate) and the re-encode of a
// video into one the reader's capture opens, optionally padded with black
// to the window's 4:3 so that the reader's stretching keeps circles round.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packing/convert/av_support.h"

namespace rvlpack {

struct VideoFacts {
    std::string codec;  // "h264", "mjpeg", ... ("H.264 in MP4" for results)
    int width = 0;
    int height = 0;
    double aspect = 0;  // display aspect ratio, sample aspect ratio included
    double fps = 0;
    double seconds = 0;
    int64_t frames = 0;
};

// False with error set when FFmpeg finds no picture stream.
bool readVideoFacts(const std::vector<uint8_t>& input, VideoFacts& facts, std::string& error);

// Where the first video stream's packets end, in seconds from its start,
// read without decoding; 0 when unknown. Short of facts.seconds, the file
// is cut.
double videoPacketsEnd(const std::vector<uint8_t>& input);

// Pictures in a file FFmpeg reads as a stream of them (the frames of an
// animated GIF), counted without decoding; 0 when it reads none.
int64_t animationFrames(const std::vector<uint8_t>& input);

// True when aspect differs from 4:3 by more than 2%: the reader, which
// fills its 4:3 window, stretches such a video. Build letterboxes by it and
// the check warns by it.
bool aspectOffWindow(double aspect);
// The same asked of a stored video, with its display aspect; false when
// FFmpeg finds no picture in it.
bool videoWillBeStretched(const std::vector<uint8_t>& video, double& aspect);

// Re-encodes the first picture stream of input as H.264 (constant quality)
// in MP4, or as high-quality MJPEG in AVI when FFmpeg has no H.264 encoder;
// at most maxWidth x maxHeight, frame rate kept. With letterbox, the picture
// keeps its display aspect inside a 4:3 frame padded with black.
bool convertVideo(const std::vector<uint8_t>& input, bool letterbox, int maxWidth, int maxHeight,
                  std::vector<uint8_t>& output, VideoFacts& from, VideoFacts& to, std::string& error,
                  const ProgressFn& progress = nullptr);

// "h264 1920x1080 (16:9 display), 25 fps, 0:30"
std::string describeVideo(const VideoFacts& facts);

} // namespace rvlpack
