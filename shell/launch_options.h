// SPDX-License-Identifier: GPL-3.0-or-later
// The reader's command line: rvl-reader [--fullscreen] [--display N] [--vsync]
// [--teams NAMES] [--resume] [--host-display N] [PACK].
// Every option is opt-in; without arguments the reader starts as it always has.
#pragma once

#include <string>
#include <vector>

struct LaunchOptions {
    bool fullscreen = false;  // desktop resolution, the 1024x768 picture scaled with black bars
    int display = 0;          // counted from 0; one that does not exist falls back to 0
    bool vsync = false;       // wait for the display refresh on every present
    bool hasPack = false;     // PACK given: the selection screen is skipped
    std::string pack;         // PACK made absolute, as bytes of the file system
    std::vector<std::string> teams;  // --teams: the game's team names, checked
    bool resume = false;             // --resume: continue this pack's saved game
    int hostDisplay = -1;            // --host-display: the host's own screen there; -1 for none
    bool gameMode() const { return resume || !teams.empty(); }
};

// Fills options from argv. Returns -1 when the reader should start; otherwise
// the exit status after --help or --version (0) or a bad command line (2),
// with what to say already written to stdout or stderr.
int parseLaunchOptions(int argc, char** argv, LaunchOptions& options);

// "A, B,C" as the names A, B and C.
std::vector<std::string> splitTeamNames(const std::string& list);

// PACK as the reader opens it: relative paths are taken from the working
// directory at the moment of the call.
std::string absolutePath(const std::string& path);
