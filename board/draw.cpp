// SPDX-License-Identifier: GPL-3.0-or-later
// Per-frame drawing of the board: the visible part of the topic list, the
// band over the chosen topic, and the question grid, rebuilt when stale.
#include "board/board_state.h"
#include "board/board_text.h"
#include "board/geometry.h"
#include "board/topic_list.h"
#include "platform/text_texture.h"

using Ravlin::RM_Reader::RM_Ask;
using Ravlin::RM_Reader::RM_Topic;

namespace {

// Renders the points of the topic's questions into the cleared grid texture,
// a row of gridColumns at a time, each stretched over its whole cell.
void drawCells(const BoardState& board, const std::vector<RM_Ask>& asks, SDL_Renderer* renderer) {
    if (board.cellWidth == 0 || board.cellHeight == 0) return;
    const int32_t gridHeight = boardgeo::listAreaHeight();
    uint16_t column = 0;
    for (size_t i = 0; i < asks.size(); ++i) {
        const int32_t row = int32_t(i / boardgeo::gridColumns);
        // Rows below the grid texture would be cut away whole; skip their
        // TrueType work.
        if (row * board.cellHeight >= gridHeight) break;
        TextTexture points = renderText(renderer, pointsFont, boardtext::pointsText(asks[i].points), boardtext::yellow);
        SDL_Rect cell{column * board.cellWidth, row * board.cellHeight, board.cellWidth, board.cellHeight};
        if (points.texture) SDL_RenderCopy(renderer, points.texture.get(), nullptr, &cell);
        column = uint16_t(column + 1 == boardgeo::gridColumns ? 0 : column + 1);
    }
}

void rebuildGrid(BoardState& board, const std::vector<RM_Topic>& topics, SDL_Renderer* renderer) {
    if (!board.gridTexture) {
        board.gridTexture = SDL_CreateTexture(renderer, 0, SDL_TEXTUREACCESS_TARGET, boardgeo::gridAreaWidth(),
                                              boardgeo::listAreaHeight());
        // Without a grid texture the rebuild is tried again next frame.
        if (!board.gridTexture) return;
        SDL_SetTextureBlendMode(board.gridTexture, SDL_BLENDMODE_BLEND);
    }
    SDL_SetRenderTarget(renderer, board.gridTexture);
    SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
    SDL_RenderClear(renderer);
    if (board.selectedTopic >= 1 && board.selectedTopic <= topics.size())
        drawCells(board, topics[board.selectedTopic - 1].asks, renderer);
    board.gridTopic = int32_t(board.selectedTopic);
    SDL_SetRenderTarget(renderer, nullptr);
}

} // namespace

void BoardState::draw(std::vector<RM_Topic>* topics, SDL_Renderer* renderer) {
    if (!topics || !renderer) return;
    const int32_t header = boardgeo::headerHeight();
    const int32_t panel = boardgeo::panelWidth();
    const int64_t listHeight = boardgeo::listHeight(topics->size());
    const int32_t visible = listHeight < boardgeo::listAreaHeight() ? int32_t(listHeight) : boardgeo::listAreaHeight();
    drawTopicList(*this, visible, renderer);

    if (selectedTopic != 0) {
        // Not clipped to the list area: with the list scrolled, the band of a
        // topic near the top reaches over the header.
        SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_ADD);
        boardtext::setDrawColour(renderer, boardtext::yellow, 100);
        const int64_t bandTop = header + int64_t(boardgeo::rowHeight()) * (selectedTopic - 1) - scroll;
        if (bandTop < screenHeight) {
            SDL_Rect band{0, int32_t(bandTop), panel, boardgeo::rowHeight()};
            SDL_RenderFillRect(renderer, &band);
        }
        SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_NONE);
    }

    if (int64_t(gridTopic) != int64_t(selectedTopic)) rebuildGrid(*this, *topics, renderer);

    if (gridTexture) {
        SDL_Rect src{0, 0, boardgeo::gridAreaWidth(), boardgeo::listAreaHeight()};
        SDL_Rect dst{panel, header, boardgeo::gridAreaWidth(), boardgeo::listAreaHeight()};
        SDL_RenderCopy(renderer, gridTexture, &src, &dst);
    }
}
