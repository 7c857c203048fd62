// The one way every loop of the reader takes its input and shows a frame.
// By default both pass straight through to SDL. An opt-in layer (the game)
// may install a filter that takes the events it answers before any loop
// sees them, and an overlay drawn over every frame before it is presented.
#pragma once

#include <SDL.h>

// Returns true when it took the event: the loop then never sees it.
using EventFilter = bool (*)(const SDL_Event& e);
// Draws over the frame about to be presented.
using FrameOverlay = void (*)(SDL_Renderer* renderer);

void setEventFilter(EventFilter filter);
void setFrameOverlay(FrameOverlay overlay);

// SDL_PollEvent, less the events the filter takes.
int pollEvent(SDL_Event* e);
// The overlay, if any, then SDL_RenderPresent.
void presentFrame(SDL_Renderer* renderer);

// True when what the overlay draws has changed since the last frame was
// presented: a loop whose picture stands still presents it again.
bool redrawWanted();
void requestRedraw();
