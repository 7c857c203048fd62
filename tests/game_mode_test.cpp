// Game mode in-process, through the reader's own event pump and board: SDL's
// virtual joysticks exist only in the process that makes them, so the
// controller path (arrival, default binding, assignment, removal) is tested here.
#include <gtest/gtest.h>

#include <cstdlib>
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

// A click on the first cell of the first topic, with the press of a
// joystick button and the card's two presses already queued behind it: the
// card's loop meets the button first.
void playFirstCellPressing(SDL_Joystick* pad, int button) {
    push(motionEvent(175, 200));
    pushLeftClick();
    push(motionEvent(400, 200));
    pump();
    SDL_JoystickSetVirtualButton(pad, button, SDL_PRESSED);
    SDL_JoystickUpdate();
    SDL_JoystickSetVirtualButton(pad, button, SDL_RELEASED);
    SDL_JoystickUpdate();
    pushLeftClick();
    pushLeftClick();
    SDL_Event click = buttonEvent(SDL_BUTTON_LEFT);
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
    for (int button : {3, 2}) {
        SDL_JoystickSetVirtualButton(pad, button, SDL_PRESSED);
        SDL_JoystickUpdate();
        SDL_JoystickSetVirtualButton(pad, button, SDL_RELEASED);
        pump();
    }
    pushKey(SDL_SCANCODE_Q);
    pump();
    const auto& bindings = runningGame()->state().bindings;
    ASSERT_EQ(bindings.size(), 3u);
    char guid[33];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(pad), guid, sizeof guid);
    EXPECT_EQ(bindings[0].device + ":" + std::to_string(bindings[0].button) + "=" + std::to_string(bindings[0].team),
              std::string(guid) + ":3=0");
    EXPECT_EQ(bindings[2].device + ":" + std::to_string(bindings[2].button), "keyboard:" + std::to_string(SDL_SCANCODE_Q));

    // Bound now, button 3 is the first team's, whatever its place.
    playFirstCellPressing(pad, 3);
    EXPECT_EQ(describeHolder(), "2 played, held by Красные");

    // Pulled out, the pad is closed; its buttons buzz nobody.
    SDL_JoystickClose(pad);
    SDL_JoystickDetachVirtual(index);
    pump();
    playFirstCellPressing(pad, 3);
    EXPECT_EQ(describeHolder(), "3 played, held by nobody");

    // Every command reached the saved file by the end.
    endGameMode();
    std::vector<std::string> files;
    for (const auto& f : std::filesystem::directory_iterator(dir.file("state/rvl-reader/games")))
        files.push_back(f.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(game::savedSequence(readText(files[0])), int64_t(runningGame()->sequence()));
}
