// SPDX-License-Identifier: GPL-3.0-or-later
// The game's rules: what each command does, what it refuses and why, and
// the undo log of whole states before each command.
#include "game/game.h"

#include <algorithm>
#include <set>

namespace game {

namespace {

Outcome refused(std::string why) { return Outcome{false, std::move(why)}; }

// Code points of a UTF-8 text: every byte but the continuation bytes.
size_t characters(const std::string& text) {
    return size_t(std::count_if(text.begin(), text.end(), [](char c) { return (uint8_t(c) & 0xC0) != 0x80; }));
}

bool contains(const std::vector<uint32_t>& v, uint32_t x) { return std::find(v.begin(), v.end(), x) != v.end(); }

// A question that ends, by an award or without one, takes its buzzer state along.
void endQuestion(Game::State& s) {
    s.inPlay.reset();
    s.armed = false;
    s.holder.reset();
    s.lockedOut.clear();
}

// The log keeps this many steps; older ones can no longer be taken back.
constexpr size_t logLimit = 1000;

} // namespace

std::string teamListProblem(const std::vector<std::string>& names) {
    if (names.size() < minTeams || names.size() > maxTeams)
        return "a game needs " + std::to_string(minTeams) + " to " + std::to_string(maxTeams) + " teams, not " +
               std::to_string(names.size());
    std::set<std::string> seen;
    for (const std::string& name : names) {
        size_t length = characters(name);
        if (length == 0 || length > maxTeamNameLength)
            return "team name \"" + name + "\" must have 1 to " + std::to_string(maxTeamNameLength) + " characters";
        if (!seen.insert(name).second) return "team name \"" + name + "\" is given twice";
    }
    return "";
}

Game::Game(PackShape pack) : pack_(std::move(pack)) {}

Outcome Game::newGame(const std::vector<std::string>& teams) {
    std::string problem = teamListProblem(teams);
    if (!problem.empty()) return refused(problem);
    state_ = State{};
    for (const std::string& name : teams) state_.teams.push_back(Team{name, 0});
    log_.clear();
    sequence_ = 0;
    return Outcome{};
}

std::string Game::stateProblem(const State& s) const {
    std::vector<std::string> names;
    for (const Team& t : s.teams) names.push_back(t.name);
    std::string problem = teamListProblem(names);
    if (!problem.empty()) return problem;
    std::set<QuestionRef> seen;
    for (const QuestionRef& q : s.played) {
        if (q.topic >= pack_.size() || q.question >= pack_[q.topic].size())
            return "question " + std::to_string(q.question + 1) + " of topic " + std::to_string(q.topic + 1) +
                   " is not in this pack";
        if (!seen.insert(q).second)
            return "question " + std::to_string(q.question + 1) + " of topic " + std::to_string(q.topic + 1) +
                   " is played twice";
    }
    for (const Binding& b : s.bindings)
        if (b.team >= s.teams.size() || b.device.empty()) return "a buzzer is bound to a team that does not exist";
    return "";
}

void Game::restore(const State& saved) {
    state_ = State{};
    state_.teams = saved.teams;
    state_.played = saved.played;
    state_.bindings = saved.bindings;
    log_.clear();
    sequence_ = 0;
}

Outcome Game::commit(State next, std::string what) {
    if (log_.size() == logLimit) log_.erase(log_.begin());
    log_.push_back(Step{std::move(state_), std::move(what)});
    state_ = std::move(next);
    ++sequence_;
    return Outcome{};
}

Outcome Game::noTeam(uint32_t team) const {
    return refused("there is no team " + std::to_string(team + 1) + " (the game has " +
                   std::to_string(state_.teams.size()) + ")");
}

uint16_t Game::pointsInPlay() const { return pack_[state_.inPlay->topic][state_.inPlay->question]; }

bool Game::isPlayed(QuestionRef q) const {
    return std::find(state_.played.begin(), state_.played.end(), q) != state_.played.end();
}

bool Game::finished() const {
    size_t total = 0;
    for (const auto& topic : pack_) total += topic.size();
    return state_.played.size() == total;
}

Outcome Game::play(uint32_t topic, uint32_t question) {
    if (!started()) return refused("no game has been started");
    if (topic >= pack_.size() || question >= pack_[topic].size())
        return refused("question " + std::to_string(question + 1) + " of topic " + std::to_string(topic + 1) +
                       " is not in this pack");
    if (isPlayed(QuestionRef{topic, question})) return refused("that question has been played already");
    // A question left open ends without an award when the next one starts.
    State next = state_;
    endQuestion(next);
    next.played.push_back(QuestionRef{topic, question});
    next.inPlay = QuestionRef{topic, question};
    next.armed = true;
    return commit(std::move(next), "play " + std::to_string(topic + 1) + "/" + std::to_string(question + 1));
}

Outcome Game::arm() {
    if (!state_.inPlay) return refused("no question is in play");
    if (state_.armed) return refused("the buzzers are armed already");
    if (state_.lockedOut.size() == state_.teams.size()) return refused("every team is locked out of this question");
    State next = state_;
    next.armed = true;
    next.holder.reset();
    return commit(std::move(next), "re-arm");
}

Outcome Game::buzz(uint32_t team, uint32_t time) {
    if (team >= state_.teams.size()) return noTeam(team);
    if (state_.holder) return refused(state_.teams[*state_.holder].name + " holds the buzzer already");
    if (!state_.armed) return refused("the buzzers are not armed");
    if (contains(state_.lockedOut, team))
        return refused(state_.teams[team].name + " is locked out of this question");
    State next = state_;
    next.armed = false;
    next.holder = team;
    next.pressTime = time;
    return commit(std::move(next), "buzz " + state_.teams[team].name);
}

Outcome Game::right() {
    if (!state_.holder) return refused("no team holds the buzzer");
    State next = state_;
    Team& team = next.teams[*state_.holder];
    team.score += pointsInPlay();
    std::string what = "right " + team.name + " +" + std::to_string(pointsInPlay());
    endQuestion(next);
    return commit(std::move(next), what);
}

Outcome Game::wrong() {
    if (!state_.holder) return refused("no team holds the buzzer");
    State next = state_;
    Team& team = next.teams[*state_.holder];
    team.score -= pointsInPlay();
    std::string what = "wrong " + team.name + " -" + std::to_string(pointsInPlay());
    next.lockedOut.push_back(*state_.holder);
    next.holder.reset();
    next.armed = next.lockedOut.size() < next.teams.size();
    return commit(std::move(next), what);
}

Outcome Game::close() {
    if (!state_.inPlay) return refused("no question is in play");
    State next = state_;
    endQuestion(next);
    return commit(std::move(next), "no award");
}

Outcome Game::adjust(uint32_t team, int64_t points) {
    if (team >= state_.teams.size()) return noTeam(team);
    if (points == 0) return refused("an adjustment of 0 points changes nothing");
    State next = state_;
    next.teams[team].score += points;
    return commit(std::move(next), "adjust " + state_.teams[team].name + (points > 0 ? " +" : " ") +
                                       std::to_string(points));
}

Outcome Game::assign(const std::string& device, int32_t button, uint32_t team) {
    if (team >= state_.teams.size()) return noTeam(team);
    if (device.empty()) return refused("a buzzer needs a device");
    std::optional<uint32_t> bound = teamFor(device, button);
    if (bound == team) return refused("that buzzer is bound to " + state_.teams[team].name + " already");
    State next = state_;
    auto& b = next.bindings;
    b.erase(std::remove_if(b.begin(), b.end(),
                           [&](const Binding& x) { return x.device == device && x.button == button; }),
            b.end());
    b.push_back(Binding{device, button, team});
    return commit(std::move(next), "assign " + state_.teams[team].name);
}

Outcome Game::undo() {
    if (log_.empty()) return refused("there is nothing to undo");
    state_ = std::move(log_.back().before);
    log_.pop_back();
    ++sequence_;
    return Outcome{};
}

std::vector<std::string> Game::history() const {
    std::vector<std::string> out;
    for (const Step& step : log_) out.push_back(step.what);
    return out;
}

std::optional<uint32_t> Game::teamFor(const std::string& device, int32_t button) const {
    for (const Binding& b : state_.bindings)
        if (b.device == device && b.button == button) return b.team;
    return std::nullopt;
}

} // namespace game
