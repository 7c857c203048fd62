// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing of the host's screen. Everything is laid out from the window's
// size and rendered afresh on each drawing: it happens only when the game
// has changed, and the projector never waits for it.
#include "shell/host_screen.h"

#include <SFML/Audio/InputSoundFile.hpp>

#include <algorithm>
#include <string>

#include "board/board_text.h"
#include "module/format.h"
#include "platform/resource_files.h"
#include "platform/sdl_handles.h"
#include "platform/text_texture.h"
#include "platform/utf16.h"
#include "presentation/picture_decode.h"
#include "shell/game_session.h"
#include "shell/host_fonts.h"

using Ravlin::RM_Reader::RM_Ask;
using gamemode::session;

namespace hostscreen {

namespace {

const SDL_Color white{255, 255, 255, 255};
const SDL_Color grey{120, 120, 120, 255};
const SDL_Color &yellow = boardtext::yellow;
constexpr int margin = 16;
constexpr size_t historyShown = 5;

struct Painter {
    SDL_Renderer* r;
    int w, h;
    std::vector<Hit>& hits;
};

std::wstring wide(const std::string& utf8) { return utf8ToUtf16(utf8); }

// A text wrapped to width; returns its height (0 for nothing drawn).
int drawWrapped(SDL_Renderer* r, TTF_Font* font, const std::wstring& text, SDL_Color colour, int x, int y, int width,
                int maxHeight) {
    if (!font || text.empty() || width <= 0) return 0;
    std::vector<Uint16> units = ttfUnits(text);
    SurfaceHandle surface(TTF_RenderUNICODE_Blended_Wrapped(font, units.data(), colour, Uint32(width)));
    if (!surface) return 0;
    TextureHandle texture(SDL_CreateTextureFromSurface(r, surface.get()));
    const int shownHeight = std::min(surface->h, maxHeight);
    SDL_Rect src{0, 0, surface->w, shownHeight};
    SDL_Rect dst{x, y, surface->w, shownHeight};
    if (texture) SDL_RenderCopy(r, texture.get(), &src, &dst);
    return shownHeight;
}

int drawLine(SDL_Renderer* r, TTF_Font* font, const std::wstring& text, SDL_Color colour, int x, int y) {
    TextTexture line = renderText(r, font, text, colour);
    copyText(r, line, x, y);
    return line.texture ? line.h : TTF_FontHeight(font);
}

// A button: its label centred in a yellow frame, grey when it can do nothing.
void button(Painter& p, const std::wstring& label, SDL_Rect at, bool enabled, Hit hit) {
    const SDL_Color colour = enabled ? yellow : grey;
    SDL_SetRenderDrawColor(p.r, colour.r, colour.g, colour.b, 255);
    SDL_RenderDrawRect(p.r, &at);
    TextTexture text = renderText(p.r, hostFonts().small, label, colour);
    copyText(p.r, text, at.x + at.w / 2 - text.w / 2, at.y + at.h / 2 - text.h / 2);
    hit.rect = at;
    hit.enabled = enabled;
    p.hits.push_back(hit);
}

const wchar_t* kindName(char type) {
    switch (rvlformat::askType(type)) {
    case rvlformat::AskType::Text: return L"текст";
    case rvlformat::AskType::Picture: return L"картинка";
    case rvlformat::AskType::Audio: return L"звук";
    case rvlformat::AskType::Video: return L"видео";
    default: return L"?";
    }
}

// The sound's length as its container's header states it; nothing decoded.
std::wstring soundLength(const RM_Ask& q) {
    sf::InputSoundFile file;
    if (!q.media || q.mediaSize == 0 || !file.openFromMemory(q.media, q.mediaSize)) return L"";
    const long seconds = long(file.getDuration().asSeconds() + 0.5f);
    wchar_t text[32];
    swprintf(text, 32, L" · %ld:%02ld", seconds / 60, seconds % 60);
    return text;
}

// The question shown: the one in play, or the one whose media or card is
// still on the projector after its award.
std::optional<game::QuestionRef> questionShown() {
    const auto& s = session->model.state();
    if (s.inPlay) return s.inPlay;
    if (session->inQuestion && !s.played.empty()) return s.played.back();
    return std::nullopt;
}

void drawPicture(Painter& p, const RM_Ask& q, SDL_Rect box) {
    SurfaceHandle picture(decodeQuestionPicture(q.media, q.mediaSize));
    if (!picture || box.w <= 0 || box.h <= 0) return;
    TextureHandle texture(SDL_CreateTextureFromSurface(p.r, picture.get()));
    const double scale = std::min({1.0, double(box.w) / picture->w, double(box.h) / picture->h});
    SDL_Rect at{box.x, box.y, std::max(1, int(picture->w * scale)), std::max(1, int(picture->h * scale))};
    if (texture) SDL_RenderCopy(p.r, texture.get(), nullptr, &at);
}

// Left column: the question, its answer, the buzzer, the controls, the log.
void drawQuestion(Painter& p, SDL_Rect col, SDL_Rect& answer) {
    const HostFonts& f = hostFonts();
    const auto& s = session->model.state();
    int y = col.y;
    std::optional<game::QuestionRef> shown = questionShown();
    const RM_Ask* q = nullptr;
    if (shown && shown->topic < session->pack.size() && shown->question < session->pack[shown->topic].asks.size())
        q = &session->pack[shown->topic].asks[shown->question];
    if (!q) {
        y += drawLine(p.r, f.normal, L"Вопрос не выбран", grey, col.x, y);
    } else {
        std::wstring head = session->pack[shown->topic].name + L" · " + std::to_wstring(q->points) + L" · " +
                            kindName(q->type);
        if (rvlformat::askType(q->type) == rvlformat::AskType::Audio ||
            rvlformat::askType(q->type) == rvlformat::AskType::Video)
            head += soundLength(*q);
        y += drawWrapped(p.r, f.normal, head, yellow, col.x, y, col.w, TTF_FontLineSkip(f.normal) * 2) + 8;
        y += drawWrapped(p.r, f.normal, q->question, white, col.x, y, col.w, TTF_FontLineSkip(f.normal) * 4) + 8;
        const int answerHeight =
            drawWrapped(p.r, f.answer, resource::answerPrefix + q->answer, yellow, col.x, y, col.w, TTF_FontLineSkip(f.answer) * 3);
        answer = SDL_Rect{col.x, y, col.w, answerHeight};
        y += answerHeight + 8;
        if (rvlformat::askType(q->type) == rvlformat::AskType::Picture) {
            const int boxHeight = std::min(240, col.y + col.h - y - 4 * TTF_FontLineSkip(f.small) - 80);
            drawPicture(p, *q, SDL_Rect{col.x, y, std::min(320, col.w), boxHeight});
            y += std::max(0, boxHeight) + 8;
        }
    }

    std::wstring buzzer = L"Кнопки выключены";
    if (s.holder) {
        buzzer = L"Кнопка: " + wide(s.teams[*s.holder].name);
        if (session->nextPress && session->nextPressAfter == s.pressTime)
            buzzer += L", на " + std::to_wstring(*session->nextPress - s.pressTime) + L" мс раньше следующей";
    } else if (s.armed) {
        buzzer = L"Кнопки готовы";
    }
    y += drawLine(p.r, f.normal, buzzer, s.holder ? yellow : white, col.x, y) + 12;

    const int bh = TTF_FontLineSkip(f.small) + 16;
    const int bw = std::max(1, (col.w - 2 * margin) / 3);
    const std::vector<std::string> log = session->model.history();
    button(p, L"Re-arm", SDL_Rect{col.x, y, bw, bh}, s.inPlay && !s.armed, Hit{{}, Control::Rearm});
    button(p, L"No award", SDL_Rect{col.x + bw + margin, y, bw, bh}, bool(s.inPlay), Hit{{}, Control::NoAward});
    button(p, L"Undo", SDL_Rect{col.x + 2 * (bw + margin), y, bw, bh}, !log.empty(), Hit{{}, Control::Undo});
    y += bh + 8;
    for (size_t i = log.size(); i > 0 && i + historyShown > log.size(); --i)
        y += drawLine(p.r, f.small, wide(log[i - 1]), i == log.size() ? white : grey, col.x, y);
}

// Right column, top: every team with its score and buttons.
int drawTeams(Painter& p, SDL_Rect col) {
    const HostFonts& f = hostFonts();
    const auto& s = session->model.state();
    const uint16_t points = s.inPlay ? session->model.pack()[s.inPlay->topic][s.inPlay->question] : 0;
    const int rowH = TTF_FontLineSkip(f.normal) + 12;
    const int bw = std::max(1, col.w / 9);
    int y = col.y;
    for (uint32_t t = 0; t < s.teams.size(); ++t) {
        const bool holds = s.holder == t;
        drawLine(p.r, f.normal, wide(s.teams[t].name), holds ? yellow : white, col.x, y + 6);
        TextTexture score = renderText(p.r, f.normal, std::to_wstring(s.teams[t].score), white);
        const int buttonsX = col.x + col.w - 4 * bw - 3 * 6;
        copyText(p.r, score, buttonsX - 12 - score.w, y + 6);
        const std::wstring n = std::to_wstring(points);
        int x = buttonsX;
        const int bh = rowH - 8;
        button(p, L"+" + n, SDL_Rect{x, y + 4, bw, bh}, holds, Hit{{}, Control::Right, t});
        button(p, L"\u2212" + n, SDL_Rect{x += bw + 6, y + 4, bw, bh}, holds, Hit{{}, Control::Wrong, t});
        button(p, L"\u2212100", SDL_Rect{x += bw + 6, y + 4, bw, bh}, true, Hit{{}, Control::Minus100, t});
        button(p, L"+100", SDL_Rect{x += bw + 6, y + 4, bw, bh}, true, Hit{{}, Control::Plus100, t});
        y += rowH;
    }
    return y - col.y;
}

// Right column, below the teams: a row per topic, a cell per question of the
// pack, the played ones dimmed and the one in play framed.
void drawMiniBoard(Painter& p, SDL_Rect area) {
    const HostFonts& f = hostFonts();
    const auto& pack = session->pack;
    const auto& s = session->model.state();
    if (pack.empty() || area.h <= 0) return;
    size_t columns = 1;
    for (const auto& topic : pack) columns = std::max(columns, topic.asks.size());
    const int nameW = area.w / 4;
    const int rowH = std::max(6, std::min(TTF_FontLineSkip(f.small) + 8, area.h / int(pack.size())));
    const int cellW = std::max(4, (area.w - nameW) / int(columns));
    for (uint32_t t = 0; t < pack.size(); ++t) {
        const int y = area.y + int(t) * rowH;
        if (y + rowH > area.y + area.h) break;
        TextTexture name = renderTextLeftPart(p.r, f.small, pack[t].name, white, nameW - 6);
        if (name.texture && name.h <= rowH) copyText(p.r, name, area.x, y + rowH / 2 - name.h / 2);
        for (uint32_t q = 0; q < pack[t].asks.size(); ++q) {
            SDL_Rect cell{area.x + nameW + int(q) * cellW, y, cellW - 2, rowH - 2};
            const bool played = session->model.isPlayed(game::QuestionRef{t, q});
            const bool inPlay = s.inPlay && *s.inPlay == game::QuestionRef{t, q};
            SDL_Color c = played ? grey : yellow;
            if (inPlay) {
                boardtext::setDrawColour(p.r, yellow, 255);
                SDL_RenderFillRect(p.r, &cell);
                c = SDL_Color{0, 0, 0, 255};
            } else {
                boardtext::setDrawColour(p.r, c, 255);
                SDL_RenderDrawRect(p.r, &cell);
            }
            TextTexture pts = renderText(p.r, f.small, boardtext::pointsText(pack[t].asks[q].points), c);
            if (pts.texture && pts.w <= cell.w && pts.h <= cell.h)
                copyText(p.r, pts, cell.x + cell.w / 2 - pts.w / 2, cell.y + cell.h / 2 - pts.h / 2);
            // Played cells are gone from the board; a cell plays only while
            // no question is on the projector.
            p.hits.push_back(Hit{cell, Control::Cell, 0, t, q, !played && !session->inQuestion});
        }
    }
}

} // namespace

void drawHostScreen(SDL_Renderer* r, int w, int h, std::vector<Hit>& hits, SDL_Rect& answer) {
    hits.clear();
    answer = SDL_Rect{0, 0, 0, 0};
    SDL_SetRenderTarget(r, nullptr);
    SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(r, 16, 16, 40, 255);
    SDL_RenderClear(r);
    if (!session) return;
    const HostFonts& f = hostFonts();
    Painter p{r, w, h, hits};
    const int keysH = TTF_FontLineSkip(f.small) + 8;
    const int split = w * 55 / 100;
    const int bodyH = h - 2 * margin - keysH;
    drawQuestion(p, SDL_Rect{margin, margin, split - 2 * margin, bodyH}, answer);
    const SDL_Rect right{split, margin, w - split - margin, bodyH};
    const int teamsH = drawTeams(p, right);
    drawMiniBoard(p, SDL_Rect{right.x, right.y + teamsH + margin, right.w, right.h - teamsH - margin});
    drawWrapped(r, f.small,
                L"1–8 кнопки команд · + или Enter верно · − или Backspace неверно · 0 без награды · U отменить · "
                L"Tab счёт · A назначить кнопки · F10 выход",
                grey, margin, h - keysH, w - 2 * margin, keysH);
}

} // namespace hostscreen
