// SPDX-License-Identifier: GPL-3.0-or-later
// Turns any sound FFmpeg decodes (an audio file, or the first sound stream
// of a video file) into Ogg Vorbis, which the reader's audio library plays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packing/convert/av_support.h"

namespace rvlpack {

struct SoundFacts {
    std::string codec;  // "mp3", "aac", "vorbis", ...
    int rate = 0;
    int channels = 0;
    double seconds = 0;
};

enum class SoundOutcome { Converted, NoSoundStream, Failed };

// Converts the first sound stream of input to Ogg Vorbis at quality 5, at
// the source's rate (at most 48 kHz) with at most two channels (more are
// mixed down). from and to describe the source and the result.
SoundOutcome convertSound(const std::vector<uint8_t>& input, std::vector<uint8_t>& output, SoundFacts& from,
                          SoundFacts& to, std::string& error, const ProgressFn& progress = nullptr);

// "mp3, 44100 Hz, stereo, 3:05"
std::string describeSound(const SoundFacts& facts);

} // namespace rvlpack
