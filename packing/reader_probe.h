// SPDX-License-Identifier: GPL-3.0-or-later
// The reader's own sound decoder and video capture asked about a pack's
// media, with what the libraries print kept off the terminal: the check
// words its findings from these answers, and build converts what they refuse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rvlpack {

// Points stderr at /dev/null for as long as it lives.
class MutedStderr {
public:
    MutedStderr();
    ~MutedStderr();
    MutedStderr(const MutedStderr&) = delete;
    MutedStderr& operator=(const MutedStderr&) = delete;

private:
    int saved_ = -1;
};

struct SoundProbe {
    bool decoded = false;  // loadQuestionSound took it
    uint64_t samples = 0;  // as the reader keeps them
    uint64_t fileSamples = 0;  // all the file holds (every channel)
    unsigned channels = 0, rate = 0;
    std::string said;      // the audio library's first line about it
};
SoundProbe probeSound(const std::vector<uint8_t>& bytes);

struct VideoProbe {
    enum Verdict { Opens, DoesNotOpen, NoPicture, NotChecked } verdict = NotChecked;
    double framesPerSecond = 0;
    std::string said;  // why it was not checked, or OpenCV's first line when it threw
};
// Written to a temporary file and opened with the video player's own
// capture, as the reader does, then one frame read.
VideoProbe probeVideo(const std::vector<uint8_t>& bytes);

} // namespace rvlpack
