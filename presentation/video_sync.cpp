// SPDX-License-Identifier: GPL-3.0-or-later
// Frame pacing and sound-hold-back rules of the video player.
#include "presentation/video_sync.h"

#include <cmath>
#include <limits>

const uint16_t leadLimit = 100;
const uint16_t toggleInterval = 30;
const double defaultFrameRate = 25.0;
const double lowestFrameRate = 0.01;
const double highestFrameRate = 1000.0;

double usableFrameRate(double reportedFramesPerSecond) {
    // A rate of 0 or NaN would never make a frame due: nothing would show
    // while the sound stutters against a position that never moves. Below
    // 0.01 fps (over 100 s a frame) a rate comes from a broken header (a
    // timescale of 0 reads as about 0.001 fps), and above 1000 fps no clip is
    // meant. A slideshow of one picture every few seconds keeps its own rate.
    if (!std::isfinite(reportedFramesPerSecond) || reportedFramesPerSecond <= 0.0 ||
        reportedFramesPerSecond < lowestFrameRate || reportedFramesPerSecond > highestFrameRate)
        return defaultFrameRate;
    return reportedFramesPerSecond;
}

double framePeriodMicroseconds(double framesPerSecond) { return 1000000.0 / framesPerSecond; }

double picturePositionMs(double capturePositionMs, uint64_t framesRead, double framesPerSecond) {
    if (std::isfinite(capturePositionMs) && capturePositionMs > 0.0) return capturePositionMs;
    if (framesRead == 0) return 0.0;
    return static_cast<double>(framesRead - 1) * 1000.0 / framesPerSecond;
}

int32_t soundLeadMs(int32_t soundOffsetMs, double picturePositionMs) {
    double lead = static_cast<double>(soundOffsetMs) - picturePositionMs;
    if (std::isnan(lead)) return 0;
    // Converting an out-of-range double to an integer is undefined: clamp first.
    if (lead >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (lead <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(lead);
}

SyncDecision syncStep(int32_t leadMs, sf::SoundSource::Status soundStatus, int64_t toggleClockMicroseconds) {
    SyncDecision d;
    d.outOfSync = leadMs > static_cast<int32_t>(leadLimit);
    if (d.outOfSync && toggleClockMicroseconds > static_cast<int64_t>(toggleInterval)) {
        // Pausing a stopped sound leaves it stopped, so a sound that has
        // played to its end is never started again.
        d.action = soundStatus == sf::SoundSource::Paused ? SoundAction::resume : SoundAction::pause;
        d.restartToggleClock = true;
    }
    if (!d.outOfSync && soundStatus == sf::SoundSource::Paused) d.action = SoundAction::resume;
    return d;
}
