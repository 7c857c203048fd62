// SPDX-License-Identifier: GPL-3.0-or-later
// The game played over a pack: teams, scores, the played questions, the
// question in play with its buzzer, the buzzer bindings, and an undo log.
// It changes only through its commands; every front end (keys, controllers,
// the host's screen) drives it through them, so the rules live here alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace game {

constexpr size_t minTeams = 2;
constexpr size_t maxTeams = 8;
constexpr size_t maxTeamNameLength = 24;  // in characters (code points)

// The pack as the game sees it: the points of every question, by topic, in
// the order of the loaded module.
using PackShape = std::vector<std::vector<uint16_t>>;

// A question by its topic and its index in the pack as loaded; these stay
// put while played questions leave the board.
struct QuestionRef {
    uint32_t topic = 0;
    uint32_t question = 0;
    bool operator==(const QuestionRef& o) const { return topic == o.topic && question == o.question; }
    bool operator<(const QuestionRef& o) const {
        return topic != o.topic ? topic < o.topic : question < o.question;
    }
};

struct Team {
    std::string name;  // UTF-8
    int64_t score = 0;
};

// A key or a controller button bound to a team. device is the joystick's
// GUID as text, or "keyboard" with button a scancode.
struct Binding {
    std::string device;
    int32_t button = 0;
    uint32_t team = 0;
};

// The result of a command: done, or refused with the reason (and nothing changed).
struct Outcome {
    bool done = true;
    std::string why;
    explicit operator bool() const { return done; }
};

// Checks a team list for newGame and the command line: 2 to 8 names of 1 to
// 24 characters. Empty when they are fine, otherwise the reason.
std::string teamListProblem(const std::vector<std::string>& names);

class Game {
public:
    // All that is kept between runs, and the state the undo log goes back to.
    struct State {
        std::vector<Team> teams;
        std::vector<QuestionRef> played;  // in the order they were played
        std::vector<Binding> bindings;
        std::optional<QuestionRef> inPlay;
        bool armed = false;
        std::optional<uint32_t> holder;  // the team whose press won
        uint32_t pressTime = 0;         // the winning press's event stamp, ms
        std::vector<uint32_t> lockedOut;
    };

    explicit Game(PackShape pack);

    Outcome newGame(const std::vector<std::string>& teams);
    // Takes over a saved state: teams, scores, bindings, played questions.
    // The caller has checked it with stateProblem().
    void restore(const State& saved);
    // Empty when a state fits this pack (teams, bindings and played questions
    // that exist, none played twice), otherwise the reason.
    std::string stateProblem(const State& s) const;

    Outcome play(uint32_t topic, uint32_t question);
    Outcome arm();
    Outcome buzz(uint32_t team, uint32_t time);
    Outcome right();
    Outcome wrong();
    Outcome close();
    Outcome adjust(uint32_t team, int64_t points);
    Outcome assign(const std::string& device, int32_t button, uint32_t team);
    Outcome undo();

    const State& state() const { return state_; }
    const PackShape& pack() const { return pack_; }
    bool started() const { return !state_.teams.empty(); }
    bool isPlayed(QuestionRef q) const;
    // True when every question of the pack has been played.
    bool finished() const;
    // Counts every command that changed the game since newGame or restore;
    // the saved file carries it, so a reader of the file can tell how far it got.
    uint64_t sequence() const { return sequence_; }
    // The commands that undo() would take back, oldest first, as short texts.
    std::vector<std::string> history() const;
    // The team bound to a device's button, if any.
    std::optional<uint32_t> teamFor(const std::string& device, int32_t button) const;

private:
    Outcome commit(State next, std::string what);
    Outcome noTeam(uint32_t team) const;
    uint16_t pointsInPlay() const;

    PackShape pack_;
    State state_;
    uint64_t sequence_ = 0;
    struct Step {
        State before;
        std::string what;
    };
    std::vector<Step> log_;
};

} // namespace game
