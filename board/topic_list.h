// SPDX-License-Identifier: GPL-3.0-or-later
// The topic list: names rendered once into stacked list pieces, and the
// visible window of it copied onto the frame.
#pragma once

#include <SDL.h>

#include <vector>

#include "board/board_state.h"

// Destroys the old pieces and renders every topic name into new ones.
void buildTopicList(BoardState& board, const std::vector<Ravlin::RM_Reader::RM_Topic>& topics,
                    SDL_Renderer* renderer);

// Copies list pixels scroll .. scroll + visibleHeight to the rows below the header.
void drawTopicList(const BoardState& board, int32_t visibleHeight, SDL_Renderer* renderer);
