// PLACEHOLDER until the board lands: the board draws nothing and ignores input.
#include "board/board_state.h"

TTF_Font* pointsFont = nullptr;

void BoardState::prepare(std::vector<Ravlin::RM_Reader::RM_Topic>*, SDL_Renderer*) {}
void BoardState::draw(std::vector<Ravlin::RM_Reader::RM_Topic>*, SDL_Renderer*) {}
void BoardState::handleEvent(std::vector<Ravlin::RM_Reader::RM_Topic>*, SDL_Event) {}
SDL_Texture* buildBoardBackground(SDL_Renderer*) { return nullptr; }
