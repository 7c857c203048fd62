// SPDX-License-Identifier: GPL-3.0-or-later
// The video player's pacing and sync rules as tables; the video test plays
// them with real sounds.
#include <gtest/gtest.h>

#include <SFML/Audio/SoundSource.hpp>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "presentation/video_sync.h"

namespace {

const char* statusName(sf::SoundSource::Status s) {
    return s == sf::SoundSource::Stopped ? "Stopped" : s == sf::SoundSource::Paused ? "Paused" : "Playing";
}

const char* actionName(SoundAction a) {
    return a == SoundAction::none ? "none" : a == SoundAction::pause ? "pause" : "resume";
}

} // namespace

TEST(VideoSync, SyncStepTable) {
    using S = sf::SoundSource;
    struct Row { int32_t lead; S::Status status; int64_t toggleUs; bool outOfSync; SoundAction action; bool restart; };
    const Row rows[] = {
        {100, S::Playing, 1000, false, SoundAction::none, false},    // exactly the limit is in sync
        {101, S::Playing, 31, true, SoundAction::pause, true},       // one over: held back
        {101, S::Playing, 30, true, SoundAction::none, false},       // gate: 30 us is not more than 30
        {101, S::Paused, 31, true, SoundAction::resume, true},       // toggled back on
        {100, S::Paused, 0, false, SoundAction::resume, false},      // back in sync: resumed, gate ignored
        {-500, S::Playing, 1000, false, SoundAction::none, false},   // picture ahead: not corrected
        {0, S::Stopped, 1000, false, SoundAction::none, false},      // a stopped sound is never resumed
        {101, S::Stopped, 31, true, SoundAction::pause, true},       // pausing a stopped sound leaves it stopped
        {1501, S::Playing, 31, true, SoundAction::pause, true},      // a large lead keeps the 30 us gate
    };
    for (const Row& row : rows) {
        SyncDecision d = syncStep(row.lead, row.status, row.toggleUs);
        const std::string at = "lead " + std::to_string(row.lead) + " " + statusName(row.status) + " c2 " +
                               std::to_string(row.toggleUs);
        EXPECT_EQ(d.outOfSync, row.outOfSync) << at;
        EXPECT_EQ(d.action, row.action) << at << ": expected " << actionName(row.action) << ", got "
                                        << actionName(d.action);
        EXPECT_EQ(d.restartToggleClock, row.restart) << at;
    }
}

// One row per rule: the lead truncates toward zero, is 0 for NaN and clamps
// to the 32-bit range; a reported picture position is believed, a lost one (0,
// NaN, infinite) is counted from the frames read; a frame rate from 0.01 to
// 1000 is used, a slideshow's included, anything else becomes 25.
TEST(VideoSync, LeadPositionAndFrameRateRules) {
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    struct Lead { int32_t soundMs; double pictureMs; int32_t lead; };
    for (const Lead& row : {Lead{150, 49.9, 100}, Lead{0, 40.5, -40}, Lead{10, nan, 0},
                            Lead{0, -1e300, std::numeric_limits<int32_t>::max()},
                            Lead{0, 1e300, std::numeric_limits<int32_t>::min()}})
        EXPECT_EQ(soundLeadMs(row.soundMs, row.pictureMs), row.lead) << row.soundMs << " ms - " << row.pictureMs;
    struct Position { double captureMs; uint64_t framesRead; double fps; double expected; };
    for (const Position& row : {Position{120.0, 4, 25.0, 120.0}, Position{0.0, 0, 25.0, 0.0},
                                Position{0.0, 10, 30.0, 300.0}, Position{nan, 3, 25.0, 80.0},
                                Position{inf, 3, 25.0, 80.0}})
        EXPECT_DOUBLE_EQ(picturePositionMs(row.captureMs, row.framesRead, row.fps), row.expected)
            << "capture " << row.captureMs << " ms, " << row.framesRead << " frames at " << row.fps;
    using Rate = std::pair<double, double>;  // reported, used
    for (Rate row : {Rate{30.0, 30.0}, Rate{0.5, 0.5}, Rate{0.01, 0.01}, Rate{1000.0, 1000.0}, Rate{0.0099, 25.0},
                     Rate{0.0, 25.0}, Rate{-30.0, 25.0}, Rate{nan, 25.0}, Rate{inf, 25.0}, Rate{1000.5, 25.0}})
        EXPECT_DOUBLE_EQ(usableFrameRate(row.first), row.second) << "reported " << row.first;
    EXPECT_DOUBLE_EQ(framePeriodMicroseconds(25.0), 40000.0);
}
