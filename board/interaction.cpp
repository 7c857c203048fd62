// SPDX-License-Identifier: GPL-3.0-or-later
// Mouse input on the board: follows the pointer, scrolls and chooses topics
// in the panel, and plays a clicked question of the grid (media, then card),
// after which the question leaves its topic.
#include "board/board_state.h"
#include "board/geometry.h"
#include "module/format.h"
#include "platform/input_events.h"
#include "presentation/presentations.h"

using Ravlin::RM_Reader::RM_Ask;
using Ravlin::RM_Reader::RM_Topic;

int32_t mouseX = 0;
int32_t mouseY = 0;
QuestionWatch questionWatch;

namespace {

void scrollList(BoardState& board, size_t topicCount, const SDL_Event& e) {
    const int64_t listHeight = boardgeo::listHeight(topicCount);
    if (listHeight <= boardgeo::listAreaHeight() || e.type != SDL_MOUSEWHEEL) return;
    // One step per event, whatever the size of the turn.
    if (e.wheel.y > 0) {
        board.scroll -= wheelStep;
    } else if (e.wheel.y < 0) {
        board.scroll += wheelStep;
    }
    const int64_t largest = listHeight - boardgeo::listAreaHeight();
    if (board.scroll < 0) board.scroll = 0;
    if (board.scroll > largest) board.scroll = int32_t(largest);
}

void chooseTopic(BoardState& board, size_t topicCount, const SDL_Event& e) {
    if (!isLeftPress(e)) return;
    const int32_t row = (mouseY - boardgeo::headerHeight() + board.scroll) / boardgeo::rowHeight();
    uint32_t chosen = uint32_t(row) + 1;
    // Below the last topic the last one is chosen; without topics, none.
    if (chosen > topicCount) chosen = uint32_t(topicCount);
    board.selectedTopic = chosen;
}

// Media first, by type; then the card, for every type.
void playQuestion(RM_Ask& q) {
    switch (rvlformat::askType(q.type)) {
    case rvlformat::AskType::Picture: showImageAsk(q.media, q.mediaSize); break;
    case rvlformat::AskType::Audio: playAudioAsk(q.media, q.mediaSize); break;
    case rvlformat::AskType::Video: playVideoAsk(q.media, q.mediaSize, q.video, q.videoSize); break;
    default: break;
    }
    showAskCard(q.question, q.answer);
}

void clickGrid(BoardState& board, std::vector<RM_Topic>& topics, const SDL_Event& e) {
    if (board.selectedTopic == 0 || !isLeftPress(e)) return;
    if (board.selectedTopic > topics.size() || board.cellWidth == 0 || board.cellHeight == 0) return;
    // Cells below the window are never shown (the pointer gets there only
    // while the mouse is captured), so they cannot be clicked either.
    if (mouseY >= screenHeight) return;
    const int32_t column = (mouseX - boardgeo::panelWidth()) / board.cellWidth;
    const int32_t row = (mouseY - boardgeo::headerHeight()) / board.cellHeight;
    if (column >= boardgeo::gridColumns) return;
    const uint32_t index = uint32_t(column + boardgeo::gridColumns * row);
    board.playCell(&topics, board.selectedTopic - 1, index);
}

} // namespace

void BoardState::playCell(std::vector<RM_Topic>* topics, uint32_t topic, uint32_t index) {
    if (!topics || topic >= topics->size()) return;
    std::vector<RM_Ask>& asks = (*topics)[topic].asks;
    if (index >= asks.size()) return;
    if (questionWatch.starting) questionWatch.starting(topic, index);
    playQuestion(asks[index]);
    // Erase keeps the order of the rest: later questions move up one cell.
    asks.erase(asks.begin() + index);
    gridTopic = -10;
    if (questionWatch.ended) questionWatch.ended();
}

void BoardState::handleEvent(std::vector<RM_Topic>* topics, SDL_Event e) {
    // Every hit test uses the last motion's position, never the click's own.
    if (e.type == SDL_MOUSEMOTION) {
        mouseX = e.motion.x;
        mouseY = e.motion.y;
    }
    if (!topics) return;
    if (mouseY <= boardgeo::headerHeight()) return;
    if (mouseX < boardgeo::panelWidth()) {
        scrollList(*this, topics->size(), e);
        chooseTopic(*this, topics->size(), e);
        return;
    }
    clickGrid(*this, *topics, e);
}
