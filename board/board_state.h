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
    SDL_Texture* listTexture;
    SDL_Texture* gridTexture;
    uint16_t cellWidth;
    uint16_t cellHeight;

    void prepare(std::vector<Ravlin::RM_Reader::RM_Topic>* topics, SDL_Renderer* renderer);
    void draw(std::vector<Ravlin::RM_Reader::RM_Topic>* topics, SDL_Renderer* renderer);
    void handleEvent(std::vector<Ravlin::RM_Reader::RM_Topic>* topics, SDL_Event e);
};

extern TTF_Font* pointsFont;

SDL_Texture* buildBoardBackground(SDL_Renderer* renderer);
