// The video player's pacing and sync rules as tables, and the one rule that
// needs a real sound: a sound that has played to its end is never resumed.
#include <gtest/gtest.h>

#include <SFML/Audio.hpp>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "presentation/video_sync.h"
#include "tests/support/test_support.h"

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
    struct Row {
        int32_t lead;
        S::Status status;
        int64_t toggleClockUs;
        bool outOfSync;
        SoundAction action;
        bool restart;
    };
    const Row rows[] = {
        {100, S::Playing, 1000, false, SoundAction::none, false},    // exactly the limit is in sync
        {101, S::Playing, 31, true, SoundAction::pause, true},       // one over: held back
        {101, S::Playing, 30, true, SoundAction::none, false},       // gate: 30 us is not more than 30
        {101, S::Paused, 31, true, SoundAction::resume, true},       // toggled back on
        {101, S::Paused, 30, true, SoundAction::none, false},
        {100, S::Paused, 0, false, SoundAction::resume, false},      // back in sync: resumed, gate ignored
        {-500, S::Paused, 0, false, SoundAction::resume, false},
        {-500, S::Playing, 1000, false, SoundAction::none, false},   // picture ahead: not corrected
        {0, S::Stopped, 1000, false, SoundAction::none, false},      // a stopped sound is never resumed
        {101, S::Stopped, 31, true, SoundAction::pause, true},       // pausing a stopped sound leaves it stopped
        {1501, S::Playing, 31, true, SoundAction::pause, true},      // a large lead keeps the 30 us gate
        {1501, S::Paused, 31, true, SoundAction::resume, true},
        {std::numeric_limits<int32_t>::max(), S::Playing, std::numeric_limits<int64_t>::max(), true, SoundAction::pause, true},
        {std::numeric_limits<int32_t>::min(), S::Paused, 0, false, SoundAction::resume, false},
    };
    for (const Row& row : rows) {
        SyncDecision d = syncStep(row.lead, row.status, row.toggleClockUs);
        EXPECT_EQ(d.outOfSync, row.outOfSync) << "lead " << row.lead << " " << statusName(row.status) << " c2 " << row.toggleClockUs;
        EXPECT_EQ(d.action, row.action) << "lead " << row.lead << " " << statusName(row.status) << " c2 " << row.toggleClockUs
                                        << ": expected " << actionName(row.action) << ", got " << actionName(d.action);
        EXPECT_EQ(d.restartToggleClock, row.restart) << "lead " << row.lead << " " << statusName(row.status) << " c2 " << row.toggleClockUs;
    }
}

TEST(VideoSync, LeadTable) {
    const double nan = std::nan("");
    struct Row { int32_t soundMs; double pictureMs; int32_t lead; };
    const Row rows[] = {
        {150, 49.9, 100},    // 100.1 truncates to 100: in sync
        {150, 48.9, 101},    // 101.1 truncates to 101: out of sync
        {0, 40.5, -40},      // toward zero, not down
        {2000, 0.0, 2000},
        {10, nan, 0},
        {0, -1e300, std::numeric_limits<int32_t>::max()},
        {0, 1e300, std::numeric_limits<int32_t>::min()},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(soundLeadMs(row.soundMs, row.pictureMs), row.lead) << row.soundMs << " ms - " << row.pictureMs << " ms";
    }
}

// One row per rule: a reported position is believed; a lost one (0 after
// the first frame, NaN, negative) is counted from the frames read.
TEST(VideoSync, PicturePositionAndFrameRateRules) {
    const double nan = std::nan("");
    struct Row { double captureMs; uint64_t framesRead; double fps; double expected; };
    for (const Row& row : {Row{120.0, 4, 25.0, 120.0}, Row{0.0, 1, 25.0, 0.0}, Row{0.0, 10, 30.0, 300.0}, Row{nan, 3, 25.0, 80.0},
                           Row{-5.0, 3, 25.0, 80.0}})
        EXPECT_DOUBLE_EQ(picturePositionMs(row.captureMs, row.framesRead, row.fps), row.expected)
            << "capture " << row.captureMs << " ms, " << row.framesRead << " frames at " << row.fps;
    // A rate from 1 to 1000 is used; anything else (none, NaN, too high) becomes 25.
    for (std::pair<double, double> row : {std::pair<double, double>{30.0, 30.0}, {1.0, 1.0}, {0.0, 25.0}, {nan, 25.0},
                                          {1000.5, 25.0}}) {
        EXPECT_DOUBLE_EQ(usableFrameRate(row.first), row.second) << "reported " << row.first;
        EXPECT_DOUBLE_EQ(framePeriodMicroseconds(row.second), 1e6 / row.second);
    }
}

TEST(VideoSync, SoundThatPlayedToItsEndStaysStoppedUnderEveryDecision) {
    std::vector<uint8_t> wav = testing_support::makeWav(0.05);
    sf::SoundBuffer sb;
    ASSERT_TRUE(sb.loadFromMemory(wav.data(), wav.size()));
    sf::Sound s(sb);
    s.play();
    sf::Clock wait;
    while (s.getStatus() == sf::SoundSource::Playing && wait.getElapsedTime().asSeconds() < 3) {}
    ASSERT_EQ(s.getStatus(), sf::SoundSource::Stopped) << "the 50 ms tone did not end";
    for (int32_t lead : {5000, 101, 100, 0, -100}) {
        SyncDecision d = syncStep(lead, s.getStatus(), 1000);
        if (d.action == SoundAction::resume) s.play();
        if (d.action == SoundAction::pause) s.pause();
        EXPECT_EQ(s.getStatus(), sf::SoundSource::Stopped) << "after lead " << lead << ": " << statusName(s.getStatus());
    }
}
