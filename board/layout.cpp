// SPDX-License-Identifier: GPL-3.0-or-later
// One-time board preparation (cell size, points font, topic list) and the
// static background: picture, header labels, divider and header line.
#include "board/board_state.h"
#include "board/board_text.h"
#include "board/geometry.h"
#include "board/topic_list.h"
#include "platform/resource_files.h"
#include "platform/sdl_handles.h"
#include "platform/text_texture.h"

using Ravlin::RM_Reader::RM_Topic;

TTF_Font* pointsFont = nullptr;

void BoardState::prepare(std::vector<RM_Topic>* topics, SDL_Renderer* renderer) {
    // Opened once and kept until shutdown; a second preparation reuses it.
    if (!pointsFont) pointsFont = TTF_OpenFont(resource::boardFont, resource::pointsSize);
    cellWidth = uint16_t(boardgeo::cellWidth());
    cellHeight = uint16_t(boardgeo::cellHeight());
    scroll = 0;
    selectedTopic = 0;
    gridTopic = 0;
    static const std::vector<RM_Topic> none;
    buildTopicList(*this, topics ? *topics : none, renderer);
}

SDL_Texture* buildBoardBackground(SDL_Renderer* renderer) {
    const int32_t w = screenWidth, h = screenHeight;
    SDL_Texture* background = SDL_CreateTexture(renderer, 0, SDL_TEXTUREACCESS_TARGET, w, h);
    if (!background) return nullptr;
    SDL_SetRenderTarget(renderer, background);
    // Opaque black under the picture, so a missing picture leaves no garbage.
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    if (bgTexture) SDL_RenderCopy(renderer, bgTexture, nullptr, nullptr);

    FontHandle labelFont(TTF_OpenFont(resource::boardFont, resource::headerLabelSize));
    const int32_t header = boardgeo::headerHeight();
    const int32_t panel = boardgeo::panelWidth();
    // Both labels stand on the header line.
    TextTexture topicLabel = renderText(renderer, labelFont.get(), L"Тема", boardtext::yellow);
    copyText(renderer, topicLabel, headerTextIndent, header - topicLabel.h);
    TextTexture askLabel = renderText(renderer, labelFont.get(), L"Вопрос", boardtext::yellow);
    copyText(renderer, askLabel, panel + headerTextIndent, header - askLabel.h);

    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    boardtext::setDrawColour(renderer, boardtext::yellow, 255);
    const SDL_Point divider[2] = {{panel, 0}, {panel, h}};
    SDL_RenderDrawLines(renderer, divider, 2);
    const SDL_Point headerLine[2] = {{0, header}, {w, header}};
    SDL_RenderDrawLines(renderer, headerLine, 2);

    SDL_SetRenderTarget(renderer, nullptr);
    return background;
}
