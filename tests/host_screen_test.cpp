// SPDX-License-Identifier: GPL-3.0-or-later
// The host's screen in-process on the dummy driver: its own window beside
// the projector's, its events routed by window, its clicks driving the game
// while the projector's loops run, its pixels read back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "board/board_state.h"
#include "module/records.h"
#include "platform/event_pump.h"
#include "shell/game_mode.h"
#include "shell/game_session.h"
#include "shell/globals.h"
#include "shell/host_screen.h"
#include "tests/support/test_support.h"

using namespace testing_support;
using hostscreen::Control;
using Ravlin::RM_Reader::topics;

namespace {

void pump() {
    SDL_Event e;
    while (pollEvent(&e)) board.handleEvent(&topics, e);
}

Uint32 hostId() { return SDL_GetWindowID(hostscreen::window()); }

// A control as last drawn; a blank one when it was not.
hostscreen::Hit hit(Control c, uint32_t team = 0, uint32_t topic = 0, uint32_t question = 0) {
    for (const auto& h : hostscreen::hits())
        if (h.control == c && h.team == team && h.topic == topic && h.question == question) return h;
    return hostscreen::Hit{{0, 0, 0, 0}, c, team, topic, question, false};
}

// Motion and press share the place of their window field.
void hostClick(int x, int y) {
    for (SDL_Event e : {motionEvent(x, y), buttonEvent(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONDOWN, x, y)}) {
        e.button.windowID = hostId();
        push(e);
    }
}
void hostClick(const SDL_Rect& r) { hostClick(r.x + r.w / 2, r.y + r.h / 2); }

void pushWindowClose(Uint32 windowId) {
    SDL_Event e{SDL_WINDOWEVENT};
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    e.window.windowID = windowId;
    push(e);
}

// Yellow text pixels of the host's window inside r.
int yellowInk(const SDL_Rect& r) {
    Bytes px(size_t(r.w) * size_t(r.h) * 4);
    SDL_RenderReadPixels(hostscreen::renderer(), &r, SDL_PIXELFORMAT_RGBA32, px.data(), r.w * 4);
    int ink = 0;
    for (size_t i = 0; i < px.size(); i += 4) ink += px[i] > 200 && px[i + 1] > 200 && px[i + 2] < 80;
    return ink;
}

// Steps run from the pump's idle call, each once its condition holds: the
// projector's loops are running then, as when a host clicks.
struct Step {
    const char* name;
    std::function<bool()> ready;
    std::function<void()> act;
};
std::vector<Step> script;
size_t done = 0;
int idlesSinceStep = 0;

void scriptedIdle() {
    // A step that never comes: the loops are clicked out, and the test fails.
    if (++idlesSinceStep == 20000) {
        ADD_FAILURE() << "waited in vain for: " << (done < script.size() ? script[done].name : "the end");
        for (int i = 0; i < 3; ++i) pushLeftClick();
    }
    hostscreen::serviceHostScreen();
    if (done < script.size() && script[done].ready()) {
        SCOPED_TRACE(script[done].name);
        script[done++].act();
        idlesSinceStep = 0;
    }
}

const game::Game::State& state() { return runningGame()->state(); }

} // namespace

TEST(HostScreen, DrivesTheGameBesideTheProjector) {
    ScratchDir dir;
    setenv("XDG_STATE_HOME", dir.file("state").c_str(), 1);
    SdlWindow sdl;
    ASSERT_TRUE(sdl.ok());
    rvlpack::Module m;
    m.topics.push_back({L"Тема", {ask('I', 100, makePng(64, 48)), ask('T', 200), ask('T', 300)}});
    m.topics.push_back({L"Вторая", {ask('T', 400)}});
    ASSERT_TRUE(loadBytes(moduleBytes(m)));

    // Without a second window, a close event is the loops' own, unchanged.
    SDL_Event e;
    pushWindowClose(SDL_GetWindowID(window));
    ASSERT_TRUE(pollEvent(&e));
    EXPECT_EQ(e.type, SDL_WINDOWEVENT);
    while (pollEvent(&e)) {
    }

    LaunchOptions options;
    options.teams = {"Красные", "Синие"};
    options.hostDisplay = 1;  // the dummy driver has display 0 alone
    startGameMode(options);
    board.prepare(&topics, renderer);
    openHostScreen(options);
    ASSERT_TRUE(hostscreen::window());
    SDL_Rect display, host;
    SDL_GetDisplayBounds(0, &display);
    SDL_GetWindowPosition(hostscreen::window(), &host.x, &host.y);
    SDL_GetWindowSize(hostscreen::window(), &host.w, &host.h);
    EXPECT_LE(host.w, display.w / 2) << describe(host);

    // Drawn once, then only when the game changes.
    pump();
    pump();
    EXPECT_EQ(hostscreen::redraws(), 1u);
    setIdleTask(scriptedIdle);

    auto pictureShows = [] { return describe(capture().at(512, 384)) == describe(patternColour(32, 24)); };
    Frame cardFrame;
    uint64_t drawn = 0;
    script = {
        {"the answer shows while the picture does",
         [&] { return state().inPlay && pictureShows() && hostscreen::answerRect().h > 0; },
         [&] {
             EXPECT_GE(hostscreen::answerRect().h, 40);
             EXPECT_GT(yellowInk(hostscreen::answerRect()), 200);
             EXPECT_FALSE(hit(Control::Cell, 0, 1, 0).enabled) << "cells are deaf while a question plays";
             hostClick(hostscreen::answerRect());  // not a control, and not the picture's click
             SDL_Event key = keyEvent(SDL_SCANCODE_2);
             key.key.windowID = hostId();  // the host's window has the focus
             push(key);
         }},
        {"the buzzer held, +N takes it", [] { return state().holder == 1u && hit(Control::Right, 1).enabled; },
         [] { hostClick(hit(Control::Right, 1).rect); }},
        {"the award made, the picture still up", [&] { return state().teams[1].score == 100 && pictureShows(); },
         [&] {
             drawn = hostscreen::redraws();
             EXPECT_FALSE(hit(Control::Right, 1).enabled) << "no buzzer held after the award";
             push(buttonEvent(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONDOWN, 10, 10));  // the projector's click ends the picture
         }},
    };
    script.push_back({"the card waits", [&] { return !pictureShows() && idlesSinceStep > 3; },
                      [&] {
                          cardFrame = capture();
                          hostClick(2, 2);
                          hostClick(hit(Control::Plus100, 0).rect);
                      }});
    script.push_back({"host clicks leave the card alone", [&] { return idlesSinceStep > 3; },
                      [&] {
                          EXPECT_EQ(inkBetween(cardFrame, capture()).count, 0) << "the card moved on";
                          EXPECT_EQ(state().teams[0].score, 100);
                          pushLeftClick();
                          pushLeftClick();
                      }});
    hostClick(hit(Control::Cell, 0, 0).rect);
    pump();
    EXPECT_EQ(done, script.size()) << idlesSinceStep << " stopped before: " << (done < script.size() ? script[done].name : "");
    EXPECT_GT(hostscreen::redraws(), drawn);
    EXPECT_EQ(topics[0].asks.size(), 2u) << "the question left the board";
    EXPECT_EQ(board.selectedTopic, 1u);

    // Undo from the host takes back the last command.
    pump();
    hostClick(hit(Control::Undo).rect);
    pump();
    EXPECT_EQ(state().teams[0].score, 0);

    // Closing the host's window hides it; the projector's becomes the quit request.
    pushWindowClose(hostId());
    pushWindowClose(SDL_GetWindowID(window));
    ASSERT_TRUE(pollEvent(&e));
    EXPECT_EQ(e.type, SDL_QUIT);
    EXPECT_FALSE(hostscreen::shown());
    EXPECT_TRUE(SDL_GetWindowFlags(hostscreen::window()) & SDL_WINDOW_HIDDEN);
    closeHostScreen();
    endGameMode();
}
