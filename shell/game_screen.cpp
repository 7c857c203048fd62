// SPDX-License-Identifier: GPL-3.0-or-later
// What game mode draws over the projector's frames: the band with the name
// of the team holding the buzzer, across the top; on the board, the
// scoreboard (Tab, the end of the game, buzzer assignment). Also the short
// tone of a won buzzer, generated. Texts are rendered only when the game
// changes; a frame only copies them.
#include <SDL.h>
#include <SFML/Audio/Sound.hpp>
#include <SFML/Audio/SoundBuffer.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

#include "board/board_text.h"
#include "platform/resource_files.h"
#include "platform/text_texture.h"
#include "platform/utf16.h"
#include "shell/app_state.h"
#include "shell/game_session.h"

namespace gamemode {

namespace {

constexpr int bandHeight = 110;
constexpr int rowHeight = 70;
constexpr int panelWidth = 760;

struct Line {
    TextTexture text;
    TextTexture points;
};

struct Cache {
    uint64_t version = ~uint64_t(0);
    TTF_Font* font = nullptr;
    TextTexture band;
    TextTexture title;
    std::vector<Line> rows;
};
Cache cache;

std::wstring wide(const std::string& utf8) { return utf8ToUtf16(utf8); }

std::wstring scoreboardTitle() {
    const game::Game& g = session->model;
    const auto& teams = g.state().teams;
    if (session->assigning) return L"Кнопка команды «" + wide(teams[*session->assigning].name) + L"»";
    if (!g.finished()) return L"Счёт";
    int64_t best = teams.front().score;
    for (const auto& t : teams) best = std::max(best, t.score);
    std::wstring names;
    int leaders = 0;
    for (const auto& t : teams)
        if (t.score == best) names += (leaders++ ? L", " : L"") + wide(t.name);
    return (leaders > 1 ? L"Ничья: " : L"Победитель: ") + names;
}

void rebuild(SDL_Renderer* renderer) {
    if (!cache.font) cache.font = TTF_OpenFont(resource::boardFont, resource::topicNameSize);
    const auto& s = session->model.state();
    cache.band = TextTexture{};
    if (s.holder) cache.band = renderText(renderer, cache.font, wide(s.teams[*s.holder].name), boardtext::yellow);
    cache.title = renderText(renderer, cache.font, scoreboardTitle(), boardtext::yellow);
    std::vector<game::Team> order = s.teams;
    std::stable_sort(order.begin(), order.end(), [](const game::Team& a, const game::Team& b) { return a.score > b.score; });
    cache.rows.clear();
    for (const auto& t : order) {
        Line line;
        line.text = renderText(renderer, cache.font, wide(t.name), boardtext::yellow);
        line.points = renderText(renderer, cache.font, std::to_wstring(t.score), boardtext::yellow);
        cache.rows.push_back(std::move(line));
    }
    cache.version = session->version;
}

void fill(SDL_Renderer* renderer, const SDL_Rect& r) {
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 215);
    SDL_RenderFillRect(renderer, &r);
    boardtext::setDrawColour(renderer, boardtext::yellow, 255);
    SDL_RenderDrawRect(renderer, &r);
}

void drawScoreboard(SDL_Renderer* renderer) {
    const int height = rowHeight * int(cache.rows.size() + 1) + 40;
    const SDL_Rect panel{(screenWidth - panelWidth) / 2, (screenHeight - height) / 2, panelWidth, height};
    fill(renderer, panel);
    copyText(renderer, cache.title, panel.x + panel.w / 2 - cache.title.w / 2, panel.y + 20);
    int y = panel.y + 20 + rowHeight;
    for (const Line& line : cache.rows) {
        copyText(renderer, line.text, panel.x + 30, y);
        copyText(renderer, line.points, panel.x + panel.w - 30 - line.points.w, y);
        y += rowHeight;
    }
}

} // namespace

void drawGameOverlay(SDL_Renderer* renderer) {
    if (!session) return;
    if (cache.version != session->version) rebuild(renderer);
    SDL_SetRenderTarget(renderer, nullptr);
    if (session->model.state().holder) {
        fill(renderer, SDL_Rect{-1, -1, screenWidth + 2, bandHeight + 1});
        copyText(renderer, cache.band, screenWidth / 2 - cache.band.w / 2, bandHeight / 2 - cache.band.h / 2);
    }
    if (!session->inQuestion && (session->scoreboard || session->assigning)) drawScoreboard(renderer);
}

void playBuzzTone() {
    // 880 Hz for 180 ms, faded at both ends so that it does not click.
    static sf::SoundBuffer buffer;
    static sf::Sound sound;
    if (buffer.getSampleCount() == 0) {
        const unsigned rate = 44100;
        std::vector<sf::Int16> samples(rate * 18 / 100);
        for (size_t i = 0; i < samples.size(); ++i) {
            double fade = std::min(1.0, std::min(double(i), double(samples.size() - i)) / 400.0);
            samples[i] = sf::Int16(12000 * fade * std::sin(2 * M_PI * 880.0 * double(i) / rate));
        }
        buffer.loadFromSamples(samples.data(), samples.size(), 1, rate);
        sound.setBuffer(buffer);
    }
    sound.play();
}

} // namespace gamemode
