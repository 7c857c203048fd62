// SPDX-License-Identifier: GPL-3.0-or-later
// The board's view state, its one-time preparation and its static background.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <vector>

#include "module/records.h"

struct BoardState {
    int32_t scroll;
    uint32_t selectedTopic;  // 1-based; 0 while no topic is chosen
    int32_t gridTopic;       // topic the grid texture shows; -10 marks it stale
    SDL_Texture* listTexture;  // the first piece of the topic list (null without topics)
    SDL_Texture* gridTexture;
    uint16_t cellWidth;
    uint16_t cellHeight;
    // A long module's list is taller than many renderers' largest texture, so
    // the names live in pieces of listPieceHeight pixels stacked top to
    // bottom (the last one may be shorter); listPieces[0] is listTexture.
    std::vector<SDL_Texture*> listPieces;
    int32_t listPieceHeight;

    void prepare(std::vector<Ravlin::RM_Reader::RM_Topic>* topics, SDL_Renderer* renderer);
    void draw(std::vector<Ravlin::RM_Reader::RM_Topic>* topics, SDL_Renderer* renderer);
    void handleEvent(std::vector<Ravlin::RM_Reader::RM_Topic>* topics, SDL_Event e);
    // Plays the question in cell index of topic (both from 0), as a click on
    // that cell does: media, card, then the question leaves its topic.
    void playCell(std::vector<Ravlin::RM_Reader::RM_Topic>* topics, uint32_t topic, uint32_t index);
};

extern TTF_Font* pointsFont;

// Opt-in watchers of a played question, null in the default run: starting
// gets the topic (from 0) and the question's index among those the topic
// still has, before its media; ended comes once it has left the board.
struct QuestionWatch {
    void (*starting)(uint32_t topic, uint32_t index) = nullptr;
    void (*ended)() = nullptr;
};
extern QuestionWatch questionWatch;

// Last pointer position seen in a mouse-motion event; the board's hit tests
// use it, never a click's own position.
extern int32_t mouseX;
extern int32_t mouseY;

// Tallest list piece to make, in pixels; 0 leaves it to the renderer's own
// largest texture. Lets tests stand in for a renderer with a low limit.
extern int32_t boardTextureHeightLimit;

SDL_Texture* buildBoardBackground(SDL_Renderer* renderer);
