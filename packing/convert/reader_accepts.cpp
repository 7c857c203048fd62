// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the reader takes a sound or video block as it is, asked of the
// reader's own sound decoder and video capture.
#include "packing/convert/reader_accepts.h"

#include <cmath>

#include "packing/reader_probe.h"

namespace rvlpack {

bool readerPlaysSound(const std::vector<uint8_t>& bytes) {
    SoundProbe probe = probeSound(bytes);
    return probe.decoded && probe.samples > 0;
}

bool readerOpensVideo(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return false;
    VideoProbe probe = probeVideo(bytes);
    return probe.verdict == VideoProbe::Opens && std::isfinite(probe.framesPerSecond) && probe.framesPerSecond > 0;
}

} // namespace rvlpack
