// SPDX-License-Identifier: GPL-3.0-or-later
// Game mode's input, taken from the event pump before any loop sees it:
// buzzers (keys 1-8, controller buttons, and whatever was assigned), the
// host's keys (+ - 0 U, Tab, A), controllers coming and going, the
// scoreboard's closing click and the guard against a double-click on the card.
// Keys are read by scancode, so the keyboard layout does not matter.
#include <SDL.h>

#include <algorithm>

#include "shell/game_session.h"

namespace gamemode {

namespace {

const char* const keyboardDevice = "keyboard";
// A left press this soon after a card returned is the second half of a
// double-click on the card, not a choice on the board.
constexpr Uint32 doubleClickGuardMs = 400;

// Team index of a digit key 1-8, top row or keypad; -1 for other keys.
int digitTeam(SDL_Scancode s) {
    if (s >= SDL_SCANCODE_1 && s <= SDL_SCANCODE_8) return s - SDL_SCANCODE_1;
    if (s >= SDL_SCANCODE_KP_1 && s <= SDL_SCANCODE_KP_8) return s - SDL_SCANCODE_KP_1;
    return -1;
}

bool isRightKey(SDL_Scancode s) {
    return s == SDL_SCANCODE_EQUALS || s == SDL_SCANCODE_KP_PLUS || s == SDL_SCANCODE_RETURN ||
           s == SDL_SCANCODE_KP_ENTER;
}
bool isWrongKey(SDL_Scancode s) {
    return s == SDL_SCANCODE_MINUS || s == SDL_SCANCODE_KP_MINUS || s == SDL_SCANCODE_BACKSPACE;
}
bool isCloseKey(SDL_Scancode s) { return s == SDL_SCANCODE_0 || s == SDL_SCANCODE_KP_0; }

std::string joystickGuid(SDL_JoystickID id) {
    auto found = session->joysticks.find(id);
    if (found == session->joysticks.end()) return "";
    char text[33];
    SDL_JoystickGetGUIDString(SDL_JoystickGetGUID(found->second), text, sizeof text);
    return text;
}

void openJoystick(int deviceIndex) {
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (id < 0 || session->joysticks.count(id)) return;
    SDL_Joystick* js = SDL_JoystickOpen(deviceIndex);
    if (!js) return;
    session->joysticks[id] = js;
    session->attached.push_back(id);
}

void closeJoystick(SDL_JoystickID id) {
    auto found = session->joysticks.find(id);
    if (found == session->joysticks.end()) return;
    SDL_JoystickClose(found->second);
    session->joysticks.erase(found);
    session->attached.erase(std::find(session->attached.begin(), session->attached.end(), id));
}

void buzz(uint32_t team, Uint32 stamp) {
    const game::Game::State& s = session->model.state();
    // The press after the winner's: how far ahead the winner was.
    if (s.holder && *s.holder != team && !(session->nextPress && session->nextPressAfter == s.pressTime)) {
        session->nextPressAfter = s.pressTime;
        session->nextPress = stamp;
        overlayChanged();
    }
    if (apply(session->model.buzz(team, stamp), "buzz")) playBuzzTone();
}

// During assignment the next key or button belongs to the team asked.
void assignNext(const std::string& device, int32_t button) {
    uint32_t team = *session->assigning;
    apply(session->model.assign(device, button, team), "assign");
    if (team + 1 < session->model.state().teams.size()) session->assigning = team + 1;
    else session->assigning.reset();
    overlayChanged();
}

bool onBoard() { return !session->inQuestion; }

bool takeKey(const SDL_Event& e) {
    const SDL_Scancode s = e.key.keysym.scancode;
    if (s == SDL_SCANCODE_F10) return false;  // keeps its meaning everywhere
    if (e.type != SDL_KEYDOWN) return s != SDL_SCANCODE_ESCAPE || session->assigning.has_value();
    if (e.key.repeat) return true;
    if (session->assigning) {
        if (s == SDL_SCANCODE_ESCAPE) session->assigning.reset(), overlayChanged();
        else assignNext(keyboardDevice, s);
        return true;
    }
    game::Game& g = session->model;
    if (std::optional<uint32_t> bound = g.teamFor(keyboardDevice, s)) return buzz(*bound, e.key.timestamp), true;
    int team = digitTeam(s);
    if (team >= 0) {
        if (size_t(team) < g.state().teams.size()) buzz(uint32_t(team), e.key.timestamp);
        return true;
    }
    if (isRightKey(s)) return apply(g.right(), "right"), true;
    if (isWrongKey(s)) return apply(g.wrong(), "wrong"), true;
    if (isCloseKey(s)) return apply(g.close(), "no award"), true;
    if (s == SDL_SCANCODE_U) return apply(g.undo(), "undo"), true;
    if (s == SDL_SCANCODE_TAB && onBoard()) {
        session->scoreboard = !session->scoreboard;
        overlayChanged();
        return true;
    }
    if (s == SDL_SCANCODE_A && onBoard()) {
        session->assigning = 0;
        overlayChanged();
        return true;
    }
    return false;
}

bool takeJoystickButton(const SDL_JoyButtonEvent& b) {
    const std::string guid = joystickGuid(b.which);
    if (guid.empty()) return true;
    if (session->assigning) {
        assignNext(guid, b.button);
        return true;
    }
    std::optional<uint32_t> team = session->model.teamFor(guid, b.button);
    // Unbound buttons of the first joystick are the teams in order: a
    // multi-button buzzer box works unassigned.
    if (!team && !session->attached.empty() && session->attached.front() == b.which &&
        b.button < session->model.state().teams.size())
        team = b.button;
    if (team) buzz(*team, b.timestamp);
    return true;
}

} // namespace

void openAttachedJoysticks() {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) openJoystick(i);
}

bool takeGameEvent(const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: return takeKey(e);
    case SDL_JOYDEVICEADDED: openJoystick(e.jdevice.which); return true;
    case SDL_JOYDEVICEREMOVED: closeJoystick(e.jdevice.which); return true;
    case SDL_JOYBUTTONDOWN: return takeJoystickButton(e.jbutton);
    case SDL_JOYBUTTONUP:
    case SDL_JOYAXISMOTION:
    case SDL_JOYHATMOTION:
    case SDL_JOYBALLMOTION: return true;
    case SDL_MOUSEBUTTONDOWN: {
        if (e.button.button != SDL_BUTTON_LEFT || !onBoard()) return false;
        if (session->scoreboard || session->assigning) {
            // The click that hides the scoreboard does not reach the board.
            session->scoreboard = false;
            session->assigning.reset();
            overlayChanged();
            return true;
        }
        return session->cardReturnedYet && int32_t(e.button.timestamp - session->cardReturned) < int32_t(doubleClickGuardMs);
    }
    default: return false;
    }
}

} // namespace gamemode
