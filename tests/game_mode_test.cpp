// SPDX-License-Identifier: GPL-3.0-or-later
// Game mode in-process, through the reader's own event pump and board: SDL's
// virtual joysticks exist only in the process that makes them, so the
// controller path (arrival, default binding, assignment, removal) is tested here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <filesystem>

#include "board/board_state.h"
#include "game/saved_game.h"
#include "module/records.h"
#include "platform/event_pump.h"
#include "shell/game_mode.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"

using namespace testing_support;
using Ravlin::RM_Reader::topics;

namespace {

// The board's pump, as the frame loop runs it.
void pump() {
    SDL_JoystickUpdate();
    SDL_Event e;
    while (pollEvent(&e)) board.handleEvent(&topics, e);
}

void pressButton(SDL_Joystick* pad, int button) {
    SDL_JoystickSetVirtualButton(pad, button, SDL_PRESSED);
    SDL_JoystickUpdate();
    SDL_JoystickSetVirtualButton(pad, button, SDL_RELEASED);
    SDL_JoystickUpdate();
}

// A click on the first cell of the first topic, with the press of a
// joystick button and the card's two presses already queued behind it: the
// card's loop meets the button first.
void playFirstCellPressing(SDL_Joystick* pad, int button) {
    push(motionEvent(175, 200));
    pushLeftClick();
    push(motionEvent(400, 200));
    pump();
    pressButton(pad, button);
    pushLeftClick();
    pushLeftClick();
    SDL_Event click = buttonEvent(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONDOWN, 10, 10);
    board.handleEvent(&topics, click);
}

std::string describeHolder() {
    const auto& s = runningGame()->state();
    std::string out = std::to_string(s.played.size()) + " played, held by ";
    return out + (s.holder ? s.teams[*s.holder].name : "nobody");
}

} // namespace

TEST(GameMode, ControllersBuzzAreAssignedAndGo) {
    ScratchDir dir;
    setenv("XDG_STATE_HOME", dir.file("state").c_str(), 1);
    SdlWindow sdl;
    ASSERT_TRUE(sdl.ok());
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    rvlpack::Module m;
    m.topics.push_back({L"Тема", {ask('T', 100), ask('T', 200), ask('T', 300)}});
    ASSERT_TRUE(loadBytes(moduleBytes(m)));
    int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 0, 4, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* pad = SDL_JoystickOpen(index);
    ASSERT_TRUE(pad) << SDL_GetError();

    LaunchOptions options;
    options.teams = {"Красные", "Синие", "Зелёные"};
    startGameMode(options);
    ASSERT_TRUE(runningGame());
    board.prepare(&topics, renderer);

    // Unassigned, button 1 of the first joystick is the second team.
    playFirstCellPressing(pad, 1);
    EXPECT_EQ(describeHolder(), "1 played, held by Синие");
    EXPECT_EQ(topics[0].asks.size(), 2u) << "the played question left the board";

    // A on the board asks each team in turn: button 3, button 2, then a key.
    pushKey(SDL_SCANCODE_A);
    pump();
    pressButton(pad, 3);
    pressButton(pad, 2);
    pushKey(SDL_SCANCODE_Q);
    pump();
    char guid[33];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(pad), guid, sizeof guid);
    std::string bound;
    for (const auto& b : runningGame()->state().bindings)
        bound += b.device + ":" + std::to_string(b.button) + "=" + std::to_string(b.team) + " ";
    EXPECT_EQ(bound, std::string(guid) + ":3=0 " + guid + ":2=1 keyboard:" + std::to_string(SDL_SCANCODE_Q) + "=2 ");

    // Bound now, button 3 is the first team's, whatever its place.
    playFirstCellPressing(pad, 3);
    EXPECT_EQ(describeHolder(), "2 played, held by Красные");

    // Pulled out, the pad is closed; its buttons buzz nobody.
    SDL_JoystickClose(pad);
    SDL_JoystickDetachVirtual(index);
    pump();
    playFirstCellPressing(pad, 3);
    EXPECT_EQ(describeHolder(), "3 played, held by nobody");
    endGameMode();
}

// What a start makes of the saved game already there: a new game keeps it as
// .prev, --resume continues it, a refused one is kept as .bad; --resume with
// nothing to continue ends the reader with status 2 and one line.
TEST(GameMode, StartNewResumeOrRefuse) {
    const std::string played = R"("played":[[0,1]],"sequence":4,"teams":[{"name":"A","score":5},{"name":"B","score":-5}]})";
    struct Row {
        std::string saved;  // the file there before; "" for none
        std::vector<std::string> teams;
        bool resume;
        std::string after;  // in the file afterwards, or stderr's line with status 2
        std::string aside;  // the file set aside: "prev" or "bad"
    } rows[] = {
        {"", {"A", "B"}, false, R"("played":[],"sequence":0,"teams":[{"name":"A","score":0})", ""},
        {"", {"A", "B"}, true, R"("played":[],"sequence":0)", ""},
        {played, {"C", "D"}, false, R"("played":[],"sequence":0,"teams":[{"name":"C")", "prev"},
        {played, {}, true, R"("played":[[0,1]],"sequence":0,"teams":[{"name":"A","score":5})", ""},
        {played, {"C", "D"}, true, R"("teams":[{"name":"C","score":5},{"name":"D","score":-5}])", ""},
        {"{\"played\":", {"C", "D"}, true, R"("played":[],"sequence":0,"teams":[{"name":"C")", "bad"},
        {"", {}, true, "rvl-reader: --resume: no saved game of this pack", ""},
        {played, {"C", "D", "E"}, true, "rvl-reader: --teams: the saved game has 2 teams, not 3", ""},
        {"[]", {}, true, "--resume: the saved game is refused", "bad"},
    };
    rvlpack::Module m;
    m.topics.push_back({L"Тема", {ask('T', 100), ask('T', 200)}});
    for (const Row& row : rows) {
        ScratchDir dir;
        setenv("XDG_STATE_HOME", dir.path().c_str(), 1);
        ASSERT_TRUE(loadBytes(moduleBytes(m)));
        const std::string games = dir.file("rvl-reader/games/");
        const std::string key = game::packKey(topics, Ravlin::RM_Reader::packName, Ravlin::RM_Reader::author);
        std::string saved = row.saved;
        if (saved.find("\"played\":[[") != std::string::npos) saved = R"({"bindings":[],"format":1,"pack":")" + key + "\"," + saved;
        if (!saved.empty()) std::filesystem::create_directories(games), writeText(games + key + ".json", saved);
        LaunchOptions options;
        options.teams = row.teams;
        options.resume = row.resume;
        ProcessResult r = runInChild([&] {
            startGameMode(options);
            endGameMode();
            std::cout << topics[0].asks.size() << std::flush;
        });
        SCOPED_TRACE(row.saved + " -> " + row.after + "\n" + r.err);
        const bool refused = row.after.rfind("rvl-reader:", 0) == 0 || row.after[0] == '-';
        if (refused) {
            EXPECT_EQ(r.exitCode, 2);
            EXPECT_NE(r.err.find(row.after), std::string::npos);
        } else {
            EXPECT_EQ(r.exitCode, 0);
            std::string now = readText(games + key + ".json");
            now.erase(std::remove_if(now.begin(), now.end(), [](char c) { return c == ' ' || c == '\n'; }), now.end());
            EXPECT_NE(now.find(row.after), std::string::npos) << now;
            EXPECT_EQ(r.out, row.resume && row.saved == played ? "1" : "2") << "questions left on the board";
        }
        EXPECT_EQ(fileExists(games + key + ".prev.json"), row.aside == "prev");
        EXPECT_EQ(fileExists(games + key + ".bad.json"), row.aside == "bad");
        if (!row.aside.empty()) {
            EXPECT_EQ(readText(games + key + "." + row.aside + ".json"), saved);
        }
    }
}
