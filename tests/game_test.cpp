// SPDX-License-Identifier: GPL-3.0-or-later
// The game model driven by scripted commands, its saved file read back, and
// the saved file under a writer killed at random moments.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <sstream>

#include "game/game.h"
#include "game/game_store.h"
#include "game/saved_game.h"
#include "support/test_support.h"

using namespace game;
using testing_support::ScratchDir;

namespace {

const PackShape pack = {{100, 200, 300}, {500}};

// Runs one command written as "name args..."; a leading '!' means the
// command must be refused and leave the game as it was.
void run(Game& g, const std::string& step) {
    bool refuse = step[0] == '!';
    std::istringstream in(refuse ? step.substr(1) : step);
    std::string name, device;
    int64_t a = 0, b = 0, c = 0;
    in >> name;
    const std::string before = gameToJson(g, "k");
    Outcome o;
    if (name == "play") in >> a >> b, o = g.play(uint32_t(a), uint32_t(b));
    else if (name == "arm") o = g.arm();
    else if (name == "buzz") in >> a >> b, o = g.buzz(uint32_t(a), uint32_t(b));
    else if (name == "right") o = g.right();
    else if (name == "wrong") o = g.wrong();
    else if (name == "close") o = g.close();
    else if (name == "adjust") in >> a >> b, o = g.adjust(uint32_t(a), b);
    else if (name == "assign") in >> device >> b >> c, o = g.assign(device, int32_t(b), uint32_t(c));
    else if (name == "undo") o = g.undo();
    else FAIL() << "unknown step " << step;
    EXPECT_EQ(o.done, !refuse) << step << ": " << o.why;
    if (refuse) {
        EXPECT_FALSE(o.why.empty()) << step;
        EXPECT_EQ(gameToJson(g, "k"), before) << step;
    }
}

// The game in one line: scores, played, question in play and buzzer state.
std::string describe(const Game& g) {
    const Game::State& s = g.state();
    std::ostringstream out;
    for (const Team& t : s.teams) out << t.score << " ";
    out << "| played";
    for (const QuestionRef& q : s.played) out << " " << q.topic << "/" << q.question;
    if (s.inPlay) out << " | in " << s.inPlay->topic << "/" << s.inPlay->question;
    if (s.armed) out << " armed";
    if (s.holder) out << " held " << *s.holder << "@" << s.pressTime;
    for (uint32_t t : s.lockedOut) out << " out " << t;
    for (const Binding& b : s.bindings) out << " | " << b.device << ":" << b.button << "=" << b.team;
    return out.str();
}

Game started() {
    Game g(pack);
    EXPECT_TRUE(g.newGame({"Красные", "Синие", "Зелёные"}));
    return g;
}

} // namespace

TEST(Game, CommandSequences) {
    struct Row {
        const char* what;
        std::vector<std::string> steps;
        std::string expected;
    };
    const Row rows[] = {
        {"the first press wins, a tie goes by queue order, later presses are locked out",
         {"play 0 1", "buzz 1 50", "!buzz 0 50", "!buzz 2 40", "right", "!buzz 0 60"},
         "0 200 0 | played 0/1"},
        {"wrong costs the points, locks the team out and re-arms the others",
         {"play 0 0", "buzz 0 10", "wrong", "!buzz 0 20", "buzz 2 30", "right"},
         "-100 0 100 | played 0/0"},
        {"every team wrong: nobody is armed, only close ends it",
         {"play 1 0", "buzz 0 1", "wrong", "buzz 1 2", "wrong", "buzz 2 3", "wrong", "!arm", "!buzz 0 4", "close"},
         "-500 -500 -500 | played 1/0"},
        {"re-arm takes the buzzer back without a penalty",
         {"play 0 0", "buzz 0 1", "arm", "!arm", "buzz 1 2", "right"}, "0 100 0 | played 0/0"},
        {"a question left open ends without an award when the next starts",
         {"play 0 0", "buzz 0 1", "play 0 2", "!right"}, "0 0 0 | played 0/0 0/2 | in 0/2 armed"},
        {"commands that make no sense",
         {"!right", "!wrong", "!close", "!arm", "!undo", "!buzz 0 1", "!buzz 3 1", "!play 2 0", "!play 0 3",
          "!adjust 3 5", "!adjust 0 0", "!assign pad 0 3", "play 0 0", "!play 0 0", "!right"},
         "0 0 0 | played 0/0 | in 0/0 armed"},
        {"undo goes back award, buzz and play: the question is playable again",
         {"play 0 2", "buzz 1 5", "right", "undo", "undo", "undo", "!undo", "play 0 2"},
         "0 0 0 | played 0/2 | in 0/2 armed"},
        {"undo of a play after the question left the board reverts its award with it",
         {"play 0 0", "buzz 2 7", "right", "adjust 0 50", "undo", "undo", "undo", "undo"},
         "0 0 0 | played"},
        {"undo after wrong gives the points and the buzzer back",
         {"play 0 1", "buzz 0 3", "wrong", "undo"}, "0 0 0 | played 0/1 | in 0/1 held 0@3"},
        {"a buzzer rebound moves to the new team, once",
         {"assign pad 0 1", "!assign pad 0 1", "assign pad 0 2", "assign keyboard 30 0"},
         "0 0 0 | played | pad:0=2 | keyboard:30=0"},
    };
    for (const Row& row : rows) {
        Game g = started();
        for (const std::string& step : row.steps) run(g, step);
        EXPECT_EQ(describe(g), row.expected) << row.what;
    }
}

// The refusals of a bad list are the command line's (startup_test).
TEST(Game, TeamLists) {
    const std::string name24 = "Оооооооооооооооооооооооо";  // 24 letters, 48 bytes
    EXPECT_EQ(teamListProblem({"A", "B", "C", "D", "E", "F", "G", "H"}), "");
    EXPECT_EQ(teamListProblem({name24, "B"}), "");
    EXPECT_NE(teamListProblem({"A", "A"}).find("given twice"), std::string::npos);
    Game g(pack);
    EXPECT_FALSE(g.newGame({"A"}));
    EXPECT_FALSE(g.started());
}

TEST(Game, SavedFileRoundTripAndRefusals) {
    Game g = started();
    for (const char* step : {"play 0 2", "buzz 1 5", "right", "play 1 0", "adjust 2 -40", "assign 0300aa 4 0"})
        run(g, step);
    const std::string text = gameToJson(g, "key1");
    Game back(pack);
    Game::State s;
    std::string why;
    ASSERT_TRUE(gameFromJson(text, back, "key1", s, why)) << why;
    back.restore(s);
    // The question in play is not kept: a resumed game starts on the board.
    EXPECT_EQ(describe(back), "0 300 -40 | played 0/2 1/0 | 0300aa:4=0");
    EXPECT_FALSE(back.undo());

    auto edited = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? t : t.replace(at, from.size(), to);
    };
    const std::pair<std::string, std::string> refused[] = {
        {"", "does not parse"},
        {text.substr(0, text.size() / 2), "does not parse"},
        {"[1,2]", "does not parse"},
        {"{}", "missing"},
        {edited("\"key1\"", "\"key2\""), "another pack"},
        {edited("[\n   1,\n   0\n  ]", "[\n   1,\n   1\n  ]"), "not in this pack"},
        {edited("[\n   1,\n   0\n  ]", "[\n   0,\n   2\n  ]"), "played twice"},
        {edited("\"team\": 0", "\"team\": 3"), "does not exist"},
        {edited("\"score\": 0", "\"score\": \"0\""), "wrong kind"},
        {edited("\"format\": 1", "\"format\": 2"), "another format"},
    };
    for (const auto& [bad, reason] : refused) {
        EXPECT_FALSE(gameFromJson(bad, back, "key1", s, why)) << bad;
        EXPECT_NE(why.find(reason), std::string::npos) << why << " for " << bad;
    }
}

TEST(Game, PackKeyFollowsContentNotMediaBytes) {
    std::vector<Ravlin::RM_Reader::RM_Topic> a(1);
    a[0].asks.resize(1);
    a[0].asks[0].mediaSize = 10;
    const std::string key = packKey(a, L"P", L"A");
    auto changed = [&](auto change) { auto b = a; change(b[0].asks[0]); return packKey(b, L"P", L"A"); };
    unsigned char bytes[10] = {1};
    EXPECT_EQ(changed([&](auto& q) { q.media = bytes; }), key) << "same length, other bytes: the same pack";
    EXPECT_NE(changed([](auto& q) { q.mediaSize = 11; }), key);
    EXPECT_NE(changed([](auto& q) { q.points = 1; }), key);
    EXPECT_NE(packKey(a, L"PA", L""), key) << "texts are framed by their length";
}

namespace {

// A scripted evening: command i of it, taken whatever the state (refused
// ones change nothing).
void scriptStep(Game& g, int i) {
    const uint32_t q = uint32_t(i / 4);
    switch (i % 4) {
    case 0: g.play(q % 2, q % 3); break;
    case 1: g.buzz(uint32_t(i % 3), uint32_t(i)); break;
    case 2: (i % 8 == 2) ? (void)g.right() : (void)g.wrong(); break;
    default: (i % 12 == 3) ? (void)g.undo() : (void)g.adjust(uint32_t(i % 3), i); break;
    }
}

} // namespace

TEST(GameStore, KilledWriterLeavesTheOldGameOrTheNew) {
    ScratchDir dir;
    std::mt19937 random(27);
    for (int round = 0; round < 100; ++round) {
        const std::string path = dir.file("games/" + std::to_string(round) + ".json");
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            Game g = started();
            GameWriter writer(path);
            for (int i = 0;; ++i) {
                uint64_t before = g.sequence();
                if (i > 0) scriptStep(g, i);
                if (i > 0 && g.sequence() == before) continue;
                writer.save(gameToJson(g, "k"), g.sequence());
                // A host's pace: the next command comes after this one is saved.
                writer.drain();
                uint64_t saved = writer.savedSequence();
                if (write(fds[1], &saved, sizeof saved) != sizeof saved) _exit(1);
            }
        }
        close(fds[1]);
        usleep(std::uniform_int_distribution<useconds_t>(0, 30000)(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        int64_t reported = -1;
        for (uint64_t n; read(fds[0], &n, sizeof n) == sizeof n;) reported = int64_t(n);
        close(fds[0]);

        std::string text;
        if (!readWholeFile(path, text)) {
            EXPECT_EQ(reported, -1) << "round " << round << ": the file is gone after a save";
            continue;
        }
        int64_t sequence = savedSequence(text);
        ASSERT_GE(sequence, 0) << "round " << round << ": " << text;
        EXPECT_TRUE(sequence == reported || sequence == reported + 1)
            << "round " << round << ": file at " << sequence << ", saves reported up to " << reported;
        // The file holds exactly the game as it stood after that command.
        Game replay = started();
        for (int i = 1; replay.sequence() < uint64_t(sequence); ++i) scriptStep(replay, i);
        EXPECT_EQ(text, gameToJson(replay, "k")) << "round " << round;
    }
}
