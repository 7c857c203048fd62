// SPDX-License-Identifier: GPL-3.0-or-later
// Game mode's start (new or resumed game, the saved file's neighbours), its
// commands' common ending (save, redraw, board in step), and the board's
// played questions reported to the model.
#include "shell/game_mode.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "game/saved_game.h"
#include "platform/event_pump.h"
#include "shell/game_session.h"
#include "shell/globals.h"

using Ravlin::RM_Reader::topics;

namespace gamemode {

std::unique_ptr<Session> session;

bool apply(const game::Outcome& outcome, const char* command) {
    if (!outcome) {
        std::cerr << "rvl-reader: game: " << command << ": " << outcome.why << std::endl;
        return false;
    }
    session->writer->save(game::gameToJson(session->model, session->key), session->model.sequence());
    syncBoard();
    overlayChanged();
    return true;
}

void overlayChanged() {
    ++session->version;
    requestRedraw();
}

void syncBoard() {
    // A question on screen still uses its record; the board follows after.
    if (session->inQuestion) {
        session->boardStale = true;
        return;
    }
    session->boardStale = false;
    for (size_t t = 0; t < session->pack.size() && t < topics.size(); ++t) {
        auto& asks = topics[t].asks;
        asks.clear();
        for (size_t q = 0; q < session->pack[t].asks.size(); ++q)
            if (!session->model.isPlayed(game::QuestionRef{uint32_t(t), uint32_t(q)}))
                asks.push_back(session->pack[t].asks[q]);
    }
    board.gridTopic = -10;
}

} // namespace gamemode

using namespace gamemode;

namespace {

// The board counts cells among the questions left; the model counts the pack.
void questionStarting(uint32_t topic, uint32_t index) {
    // From here the board holds the question's record: it must stay put.
    session->inQuestion = true;
    session->scoreboard = false;
    uint32_t left = 0;
    for (uint32_t q = 0; topic < session->pack.size() && q < session->pack[topic].asks.size(); ++q) {
        if (session->model.isPlayed(game::QuestionRef{topic, q})) continue;
        if (left++ == index) {
            apply(session->model.play(topic, q), "play");
            break;
        }
    }
}

void questionEnded() {
    session->inQuestion = false;
    session->cardReturned = SDL_GetTicks();
    session->cardReturnedYet = true;
    syncBoard();
    // The last question shows the scoreboard, with the winner, by itself.
    if (session->model.finished()) session->scoreboard = true;
    overlayChanged();
}

[[noreturn]] void refuseStart(const std::string& line) {
    std::cerr << "rvl-reader: " << line << std::endl;
    exit(2);
}

// Sets a file aside under another name; one line when it cannot be.
void moveAside(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0 && errno != ENOENT)
        std::cerr << "rvl-reader: cannot rename " << from << " to " << to << ": " << strerror(errno) << std::endl;
}

// --resume: the saved game when there is a good one. A bad one is set aside
// first, so nothing new is ever saved over it.
bool resumeSaved(const std::string& directory, const LaunchOptions& options) {
    const std::string file = game::gameFile(directory, session->key);
    std::string text, why;
    if (!game::readWholeFile(file, text)) {
        if (options.teams.empty())
            refuseStart("--resume: no saved game of this pack (" + file + "); give --teams to start one");
        return false;
    }
    game::Game::State saved;
    if (!game::gameFromJson(text, session->model, session->key, saved, why)) {
        const std::string bad = game::badGameFile(directory, session->key);
        std::cerr << "rvl-reader: " << file << ": " << why << "; kept as " << bad << std::endl;
        moveAside(file, bad);
        if (options.teams.empty()) refuseStart("--resume: the saved game is refused; give --teams to start a new one");
        return false;
    }
    if (!options.teams.empty()) {
        if (options.teams.size() != saved.teams.size())
            refuseStart("--teams: the saved game has " + std::to_string(saved.teams.size()) + " teams, not " +
                        std::to_string(options.teams.size()));
        for (size_t i = 0; i < saved.teams.size(); ++i) saved.teams[i].name = options.teams[i];
    }
    session->model.restore(saved);
    return true;
}

} // namespace

void startGameMode(const LaunchOptions& options) {
    if (!options.gameMode()) return;
    session = std::make_unique<Session>(game::packShape(topics));
    session->pack = topics;
    session->key = game::packKey(topics, Ravlin::RM_Reader::packName, Ravlin::RM_Reader::author);
    const std::string directory = game::gamesDirectory();
    if (directory.empty()) refuseStart("no folder for saved games: neither XDG_STATE_HOME nor HOME is set");
    const std::string file = game::gameFile(directory, session->key);
    bool resumed = options.resume && resumeSaved(directory, options);
    if (!resumed) {
        // One mistaken start loses nothing: the game before stays beside it.
        moveAside(file, game::previousGameFile(directory, session->key));
        session->model.newGame(options.teams);
    }
    session->writer = std::make_unique<game::GameWriter>(file);
    session->writer->save(game::gameToJson(session->model, session->key), session->model.sequence());
    syncBoard();
    // Buzzers count whichever window has the focus, the host's own included.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    openAttachedJoysticks();
    questionWatch.starting = questionStarting;
    questionWatch.ended = questionEnded;
    setEventFilter(takeGameEvent);
    setFrameOverlay(drawGameOverlay);
}

void endGameMode() {
    if (!session) return;
    setEventFilter(nullptr);
    setFrameOverlay(nullptr);
    questionWatch = QuestionWatch{};
    for (auto& [id, js] : session->joysticks) SDL_JoystickClose(js);
    session.reset();  // the writer's last save reaches the disk first
}

const game::Game* runningGame() { return session ? &session->model : nullptr; }
