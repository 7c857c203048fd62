// Board test helpers: in-memory topics, read-back frames, ink detection and
// clicks handed straight to the board's event handler.
#include "tests/support/board_support.h"

#include <SDL_ttf.h>

#include <algorithm>
#include <cstdlib>

#include "shell/globals.h"
#include "tests/support/test_support.h"

using Ravlin::RM_Reader::RM_Ask;
using Ravlin::RM_Reader::RM_Topic;

namespace board_support {

PreparedBoard::PreparedBoard(Topics t, bool withBackground) : topics(std::move(t)) {
    mouseX = mouseY = 0;
    boardTextureHeightLimit = 0;
    board.prepare(&topics, renderer);
    if (withBackground) boardBackground = buildBoardBackground(renderer);
}


Topics makeTopics(int count, int asksEach) {
    Topics topics;
    for (int t = 0; t < count; ++t) {
        RM_Topic topic;
        topic.name = L"Тема " + std::to_wstring(t + 1);
        for (int a = 0; a < asksEach; ++a) {
            RM_Ask ask;
            ask.type = 'T';
            ask.question = L"Вопрос " + std::to_wstring(a + 1);
            ask.answer = L"Ответ";
            ask.points = uint16_t(a + 1);
            topic.asks.push_back(ask);
        }
        topics.push_back(topic);
    }
    return topics;
}

std::vector<uint16_t> pointsOf(const RM_Topic& topic) {
    std::vector<uint16_t> points;
    for (const RM_Ask& ask : topic.asks) points.push_back(ask.points);
    return points;
}

SDL_Color Frame::at(int x, int y) const {
    size_t i = (size_t(y) * screenWidth + size_t(x)) * 4;
    return SDL_Color{px[i], px[i + 1], px[i + 2], px[i + 3]};
}

Frame capture() {
    Frame f;
    f.px.assign(size_t(screenWidth) * screenHeight * 4, 0);
    SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGBA32, f.px.data(), screenWidth * 4);
    return f;
}

Frame boardFrame(Topics& topics) {
    SDL_RenderCopy(renderer, boardBackground, nullptr, nullptr);
    board.draw(&topics, renderer);
    return capture();
}

Frame boardOnBlack(Topics& topics) {
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    board.draw(&topics, renderer);
    return capture();
}

Ink inkBetween(const Frame& before, const Frame& after, const SDL_Rect& rect, int tolerance) {
    Ink ink;
    int x0 = rect.x + rect.w, y0 = rect.y + rect.h, x1 = rect.x - 1, y1 = rect.y - 1;
    for (int y = rect.y; y < rect.y + rect.h; ++y) {
        for (int x = rect.x; x < rect.x + rect.w; ++x) {
            SDL_Color a = before.at(x, y), b = after.at(x, y);
            int d = std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
            if (d <= tolerance) continue;
            ++ink.count;
            x0 = std::min(x0, x); y0 = std::min(y0, y);
            x1 = std::max(x1, x); y1 = std::max(y1, y);
        }
    }
    if (ink.count) ink.box = SDL_Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
    return ink;
}

TextAlpha renderedText(int pointSize, const std::wstring& text) {
    TextAlpha t;
    TTF_Font* font = TTF_OpenFont((testing_support::runDir() + "/res/FuturaC.ttf").c_str(), pointSize);
    if (!font) return t;
    std::vector<Uint16> units(text.begin(), text.end());
    units.push_back(0);
    SDL_Surface* rendered = TTF_RenderUNICODE_Blended(font, units.data(), SDL_Color{255, 255, 0, 255});
    TTF_CloseFont(font);
    if (!rendered) return t;
    SDL_Surface* s = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_RGBA32, 0);
    SDL_FreeSurface(rendered);
    if (!s) return t;
    t.w = s->w;
    t.h = s->h;
    for (int y = 0; y < s->h; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(s->pixels) + y * s->pitch;
        for (int x = 0; x < s->w; ++x) t.alpha.push_back(row[x * 4 + 3]);
    }
    SDL_FreeSurface(s);
    return t;
}

SDL_Rect TextAlpha::box(int minAlpha) const {
    int x0 = w, y0 = h, x1 = -1, y1 = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (alpha[size_t(y) * size_t(w) + size_t(x)] < minAlpha) continue;
            x0 = std::min(x0, x); y0 = std::min(y0, y);
            x1 = std::max(x1, x); y1 = std::max(y1, y);
        }
    return x1 < 0 ? SDL_Rect{0, 0, 0, 0} : SDL_Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

std::string colorText(SDL_Color c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + "," +
           std::to_string(c.a) + ")";
}

std::string rectText(const SDL_Rect& r) {
    return "{" + std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.w) + "x" +
           std::to_string(r.h) + "}";
}

void moveTo(Topics& topics, int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    board.handleEvent(&topics, e);
}

void press(Topics& topics, Uint8 button, Uint32 type) {
    SDL_Event e{};
    e.type = type;
    e.button.button = button;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    // Far from the pointer: the board must use the last motion's position.
    e.button.x = 5;
    e.button.y = 5;
    testing_support::pushLeftClick(5, 5);
    testing_support::pushLeftClick(5, 5);
    board.handleEvent(&topics, e);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

void clickAt(Topics& topics, int x, int y) {
    moveTo(topics, x, y);
    press(topics);
}

void wheel(Topics& topics, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    board.handleEvent(&topics, e);
}

} // namespace board_support
