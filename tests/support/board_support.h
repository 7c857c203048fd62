// Helpers for the board tests: topics built in memory, frames read back from
// the software renderer, and questions played through the board's handler.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "module/records.h"
#include "tests/support/test_support.h"

namespace board_support {

using Topics = std::vector<Ravlin::RM_Reader::RM_Topic>;

// count topics named "Тема 1" ... with asksEach text questions worth 1, 2, ...
Topics makeTopics(int count, int asksEach = 0);
std::vector<uint16_t> pointsOf(const Ravlin::RM_Reader::RM_Topic& topic);

// A window with the board prepared for the topics (pointer at 0,0, no
// texture limit) and, when asked, the board background built.
struct PreparedBoard {
    testing_support::SdlWindow sdl;
    Topics topics;
    explicit PreparedBoard(Topics t, bool withBackground);
};

// A window read back whole, RGBA.
struct Frame {
    std::vector<uint8_t> px;
    SDL_Color at(int x, int y) const;
};
Frame capture();
// Background copy plus the board, as the frame loop draws it.
Frame boardFrame(Topics& topics);
// Black, then the board only: the list's pixels do not depend on the picture.
Frame boardOnBlack(Topics& topics);

// Pixels of rect that differ between two frames by more than tolerance.
struct Ink {
    int count = 0;
    SDL_Rect box{0, 0, 0, 0};  // empty when count is 0
};
Ink inkBetween(const Frame& before, const Frame& after, const SDL_Rect& rect, int tolerance = 8);

// The alpha of every pixel of a text rendered as the board renders it.
struct TextAlpha {
    int w = 0, h = 0;
    std::vector<uint8_t> alpha;
    // Bounding box of the pixels with alpha >= minAlpha.
    SDL_Rect box(int minAlpha) const;
};
TextAlpha renderedText(int pointSize, const std::wstring& text);

std::string colorText(SDL_Color c);
std::string rectText(const SDL_Rect& r);

// A motion event to (x, y), then a left press carrying other coordinates.
// Two further left presses wait in the queue for the question card, and the
// queue is flushed afterwards.
void clickAt(Topics& topics, int x, int y);
// A button event without motion before it, with the same queued presses.
void press(Topics& topics, Uint8 button = SDL_BUTTON_LEFT, Uint32 type = SDL_MOUSEBUTTONDOWN);
void moveTo(Topics& topics, int x, int y);
void wheel(Topics& topics, int y);

} // namespace board_support
