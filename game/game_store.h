// SPDX-License-Identifier: GPL-3.0-or-later
// Where a saved game lives and how it is written: whole files only (a
// temporary file, fsync, rename over the old one, fsync of the folder), by
// a writer thread of its own so that the caller never waits for the disk.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace game {

// $XDG_STATE_HOME/rvl-reader/games (by default ~/.local/state/...); "" when
// neither the variable nor HOME names a folder.
std::string gamesDirectory();

// The saved game of the pack with this key, and the names it is moved to:
// the previous game beside a new one, and a file that was refused.
std::string gameFile(const std::string& directory, const std::string& key);
std::string previousGameFile(const std::string& directory, const std::string& key);
std::string badGameFile(const std::string& directory, const std::string& key);

// Replaces path with content so that a crash at any moment leaves either
// the old file or the new one. Makes the folder if needed. False with the
// failing call and its error in error.
bool replaceFileDurably(const std::string& path, const std::string& content, std::string& error);

// Reads a whole file; false when it cannot be opened.
bool readWholeFile(const std::string& path, std::string& content);

class GameWriter {
public:
    explicit GameWriter(std::string path);
    ~GameWriter();  // drains
    GameWriter(const GameWriter&) = delete;
    GameWriter& operator=(const GameWriter&) = delete;

    // Hands the newest content over and returns at once. A save still
    // waiting is superseded: only the latest state matters.
    void save(std::string content, uint64_t sequence);
    // Waits until everything handed over is on disk.
    void drain();
    // The sequence of the last save that reached the disk.
    uint64_t savedSequence();
    // How long each save took on the writer thread, in microseconds.
    std::vector<int64_t> saveTimes();

private:
    void work();

    std::string path_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string pending_;
    uint64_t pendingSequence_ = 0;
    bool hasPending_ = false;
    bool writing_ = false;
    bool stopping_ = false;
    uint64_t saved_ = 0;
    std::vector<int64_t> times_;
    bool reported_ = false;  // one failure line per run is enough
    std::thread thread_;
};

} // namespace game
