// SPDX-License-Identifier: GPL-3.0-or-later
// Game mode, opt-in by --teams or --resume: the game model over the loaded
// pack, saved after every command, driven by keys and controllers through
// the event pump, with its band and scoreboard drawn over the frames.
#pragma once

#include "game/game.h"
#include "shell/launch_options.h"

// After the pack has loaded and before the board is prepared: starts a new
// game or resumes the saved one, puts the board in step with it and hooks
// the game into the event pump, the frames and the board. Without --teams
// or --resume it does nothing at all. When --resume finds nothing it can
// continue, it says so in one line and ends the reader with status 2.
void startGameMode(const LaunchOptions& options);

// Ends game mode at shutdown: unhooks it and waits for the last save to
// reach the disk.
void endGameMode();

// The running game, or null in the default run.
const game::Game* runningGame();
