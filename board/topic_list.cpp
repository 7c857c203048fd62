// SPDX-License-Identifier: GPL-3.0-or-later
// The topic list. All names are rendered once, at preparation, into target
// textures of at most the renderer's largest height; a frame copies from
// each piece the part that the scrolled window shows.
#include "board/topic_list.h"

#include <algorithm>

#include "board/board_text.h"
#include "board/geometry.h"
#include "platform/resource_files.h"
#include "platform/sdl_handles.h"
#include "platform/text_texture.h"

using Ravlin::RM_Reader::RM_Topic;

int32_t boardTextureHeightLimit = 0;

namespace {

int32_t pieceHeightLimit(SDL_Renderer* renderer) {
    int32_t limit = 0;
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) == 0) limit = info.max_texture_height;
    if (boardTextureHeightLimit > 0 && (limit <= 0 || boardTextureHeightLimit < limit))
        limit = boardTextureHeightLimit;
    return limit;
}

void releasePieces(BoardState& board) {
    for (SDL_Texture* piece : board.listPieces) SDL_DestroyTexture(piece);
    board.listPieces.clear();
    board.listTexture = nullptr;
    board.listPieceHeight = 0;
}

// Makes transparent pieces covering totalHeight. A renderer that refuses a
// piece (its reported limit may be wrong, or it reports none) gets another
// try with pieces half as tall, down to one row.
bool makePieces(BoardState& board, int32_t totalHeight, int32_t pieceHeight, SDL_Renderer* renderer) {
    while (true) {
        bool made = true;
        for (int32_t top = 0; top < totalHeight && made; top += pieceHeight) {
            int32_t h = std::min(pieceHeight, totalHeight - top);
            SDL_Texture* piece = SDL_CreateTexture(renderer, 0, SDL_TEXTUREACCESS_TARGET, boardgeo::panelWidth(), h);
            if (piece) {
                board.listPieces.push_back(piece);
            } else {
                made = false;
            }
        }
        if (made) {
            board.listPieceHeight = pieceHeight;
            board.listTexture = board.listPieces.front();
            return true;
        }
        releasePieces(board);
        if (pieceHeight <= boardgeo::rowHeight()) return false;
        pieceHeight = std::max(pieceHeight / 2, boardgeo::rowHeight());
    }
}

} // namespace

void buildTopicList(BoardState& board, const std::vector<RM_Topic>& topics, SDL_Renderer* renderer) {
    releasePieces(board);
    const int64_t total = boardgeo::listHeight(topics.size());
    // Without topics there is nothing to make: a texture of height 0 is refused.
    if (total <= 0 || total > INT32_MAX || !renderer) return;
    const int32_t totalHeight = int32_t(total);
    const int32_t limit = pieceHeightLimit(renderer);
    const int32_t pieceHeight = limit > 0 ? std::min(limit, totalHeight) : totalHeight;
    if (!makePieces(board, totalHeight, pieceHeight, renderer)) return;

    for (SDL_Texture* piece : board.listPieces) {
        SDL_SetTextureBlendMode(piece, SDL_BLENDMODE_BLEND);
        SDL_SetRenderTarget(renderer, piece);
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 0);
        SDL_RenderClear(renderer);
    }

    FontHandle nameFont(TTF_OpenFont(resource::boardFont, resource::topicNameSize));
    const int32_t pieceCount = int32_t(board.listPieces.size());
    for (size_t i = 0; i < topics.size(); ++i) {
        // The panel cuts a name at its right edge.
        TextTexture name = renderTextLeftPart(renderer, nameFont.get(), topics[i].name, boardtext::yellow,
                                              boardgeo::panelWidth() - topicTextIndent);
        if (!name.texture) continue;
        // A name taller than its row reaches into the next one, which may
        // lie in the next piece: draw it into every piece it touches.
        const int32_t top = boardgeo::rowHeight() * int32_t(i);
        const int32_t bottom = top + name.h;
        for (int32_t k = top / board.listPieceHeight; k < pieceCount; ++k) {
            const int32_t pieceTop = k * board.listPieceHeight;
            if (pieceTop >= bottom) break;
            SDL_SetRenderTarget(renderer, board.listPieces[size_t(k)]);
            copyText(renderer, name, topicTextIndent, top - pieceTop);
        }
    }

    SDL_SetRenderTarget(renderer, nullptr);
}

void drawTopicList(const BoardState& board, int32_t visibleHeight, SDL_Renderer* renderer) {
    if (board.listPieces.empty() || board.listPieceHeight <= 0 || visibleHeight <= 0) return;
    const int32_t windowTop = board.scroll;
    const int32_t windowBottom = board.scroll + visibleHeight;
    for (size_t k = 0; k < board.listPieces.size(); ++k) {
        const int32_t pieceTop = int32_t(k) * board.listPieceHeight;
        int32_t pieceHeight = 0;
        if (SDL_QueryTexture(board.listPieces[k], nullptr, nullptr, nullptr, &pieceHeight) != 0) continue;
        const int32_t from = std::max(windowTop, pieceTop);
        const int32_t to = std::min(windowBottom, pieceTop + pieceHeight);
        if (from >= to) continue;
        SDL_Rect src{0, from - pieceTop, boardgeo::panelWidth(), to - from};
        SDL_Rect dst{0, boardgeo::headerHeight() + from - windowTop, boardgeo::panelWidth(), to - from};
        SDL_RenderCopy(renderer, board.listPieces[k], &src, &dst);
    }
}
