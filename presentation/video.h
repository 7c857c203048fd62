// SPDX-License-Identifier: GPL-3.0-or-later
// The video player's optional statistics hook that benchmarks and tests fill
// in; the reader hands it to the video module with every question.
#pragma once

#include <cstdint>
#include <map>

// Figures of one clip, gathered only while videoPlayStats points at one.
struct VideoPlayStats {
    double framesPerSecond = 0;         // the rate the clip was paced at
    int64_t passes = 0;                 // loop passes
    int64_t framesShown = 0;
    int64_t toggles = 0;                // pause/resume toggles while out of sync
    int64_t resumes = 0;                // paused sounds resumed once back in sync
    int32_t largestLeadMs = INT32_MIN;  // over every sync step
    std::map<int32_t, int64_t> leadCounts;  // lead in ms -> sync steps with that lead
    int64_t lateMicrosecondsTotal = 0;  // frame clock beyond the period when a frame was found due
    int64_t lateMicrosecondsLargest = 0;
    int64_t frameWorkMicrosecondsTotal = 0;  // decoding, copying and presenting the frames
    int64_t frameWorkMicrosecondsLargest = 0;
    int64_t firstFrameMicroseconds = -1;  // since the loop started
    int64_t lastFrameMicroseconds = -1;
    int soundStatusAtEnd = -1;          // the sound's status when the loop was left
};

extern VideoPlayStats* videoPlayStats;
