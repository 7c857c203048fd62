// SPDX-License-Identifier: GPL-3.0-or-later
// What game mode's parts share: the model, its saved file, the pack as
// loaded, and the front end's own state (scoreboard, assignment, devices).
#pragma once

#include <SDL.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "game/game.h"
#include "game/game_store.h"
#include "module/records.h"

namespace gamemode {

struct Session {
    explicit Session(game::PackShape shape) : model(std::move(shape)) {}
    game::Game model;
    std::string key;
    std::unique_ptr<game::GameWriter> writer;
    // Every question as loaded; the board shows those not yet played.
    std::vector<Ravlin::RM_Reader::RM_Topic> pack;
    bool inQuestion = false;    // a question's media or card is on screen
    bool boardStale = false;    // the played set changed while it was
    Uint32 cardReturned = 0;    // when the last card gave the board back
    bool cardReturnedYet = false;
    bool scoreboard = false;
    std::optional<uint32_t> assigning;  // the team asked for its buzzer
    // Open joysticks by instance, and their order of attachment.
    std::map<SDL_JoystickID, SDL_Joystick*> joysticks;
    std::vector<SDL_JoystickID> attached;
    uint64_t version = 0;  // changes whenever what the overlay draws does
    // The first press after the winning one, for the winner's lead: the
    // winner's press stamp it follows, and its own.
    Uint32 nextPressAfter = 0;
    std::optional<Uint32> nextPress;
};

extern std::unique_ptr<Session> session;

// Saves and shows the result of a command; a refusal is reported on stderr
// with its reason. Returns whether it was done.
bool apply(const game::Outcome& outcome, const char* command);
// The board's questions made those of the pack not yet played.
void syncBoard();
// Something the overlay shows changed without a command.
void overlayChanged();

// The event filter of game mode (keys, controllers, the scoreboard's click,
// the double-click guard) and its overlay (band, scoreboard).
bool takeGameEvent(const SDL_Event& e);
void drawGameOverlay(SDL_Renderer* renderer);
// Opens every joystick attached now (their arrival events may have gone to
// the selection screen).
void openAttachedJoysticks();
// The winner's tone, made on the spot.
void playBuzzTone();

} // namespace gamemode
