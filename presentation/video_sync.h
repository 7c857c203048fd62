// SPDX-License-Identifier: GPL-3.0-or-later
// The rules that pace a video's frames and keep its separate sound track from
// running ahead of the picture: frame rate, picture position, lead and the
// pause/resume toggle. Pure functions, so the player's loop stays thin.
#pragma once

#include <SFML/Audio/SoundSource.hpp>

#include <cstdint>

// The sound may lead the picture by this many milliseconds before it is held back.
extern const uint16_t leadLimit;
// Least time, in microseconds on the toggle clock, between two pause/resume
// toggles. It stays the same however far the sound leads: a longer gate would
// stretch the playing and the paused spells alike, so the picture would catch
// up no sooner and the sound would only stutter in coarser steps.
extern const uint16_t toggleInterval;
// Frame rate used when the capture reports none (0, negative or not a
// number) or an implausible one (below lowestFrameRate or above
// highestFrameRate).
extern const double defaultFrameRate;
extern const double lowestFrameRate;
extern const double highestFrameRate;

// The capture's frame rate when it is usable, otherwise defaultFrameRate.
double usableFrameRate(double reportedFramesPerSecond);

// Microseconds one frame stays on screen at the given (usable) frame rate.
double framePeriodMicroseconds(double framesPerSecond);

// Where the picture stands, in milliseconds. Some captures report position 0
// while frames advance (several MP4 and MKV files, at their end or
// throughout); then the position of the last frame read is derived from the
// number of frames read, the same start-of-frame time the capture reports.
double picturePositionMs(double capturePositionMs, uint64_t framesRead, double framesPerSecond);

// Sound offset minus picture position, truncated toward zero; positive when
// the sound is ahead. Clamped to the 32-bit range, 0 when not a number.
int32_t soundLeadMs(int32_t soundOffsetMs, double picturePositionMs);

enum class SoundAction { none, pause, resume };

struct SyncDecision {
    bool outOfSync = false;
    SoundAction action = SoundAction::none;
    bool restartToggleClock = false;
};

// One sync step: out of sync above leadLimit; while out of sync the sound is
// toggled between paused and playing whenever the toggle clock has passed
// toggleInterval; back in sync, a paused sound is resumed. A picture ahead
// of the sound (negative lead) is left alone.
SyncDecision syncStep(int32_t leadMs, sf::SoundSource::Status soundStatus, int64_t toggleClockMicroseconds);
