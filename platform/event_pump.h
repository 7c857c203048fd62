// The one way every loop of the reader takes its input and shows a frame.
// By default both pass straight through to SDL. An opt-in layer (the game)
// may install a filter that takes the events it answers before any loop
// sees them, and an overlay drawn over every frame before it is presented.
// It may also open a second window of its own: that window's mouse and
// window events go to it alone, never to a loop.
#pragma once

#include <SDL.h>

// Returns true when it took the event: the loop then never sees it.
using EventFilter = bool (*)(const SDL_Event& e);
// Draws over the frame about to be presented.
using FrameOverlay = void (*)(SDL_Renderer* renderer);
// Gets the mouse and window events of a second window.
using WindowEventSink = void (*)(const SDL_Event& e);
// Runs whenever a loop has drained the queue.
using IdleTask = void (*)();

void setEventFilter(EventFilter filter);
void setFrameOverlay(FrameOverlay overlay);
// Routes the events of window windowId to sink; 0 routes nothing. While a
// second window is open, SDL sends no quit request when the first one is
// closed, so its close event becomes the quit request the loops answer.
void routeWindowEvents(Uint32 windowId, WindowEventSink sink);
void setIdleTask(IdleTask task);

// SDL_PollEvent, less the events the filter takes and the second window's.
int pollEvent(SDL_Event* e);
// The overlay, if any, then SDL_RenderPresent.
void presentFrame(SDL_Renderer* renderer);

// True when what the overlay draws has changed since the last frame was
// presented: a loop whose picture stands still presents it again.
bool redrawWanted();
void requestRedraw();

// The window an event belongs to, 0 for those of no window (keys carry the
// focused window's, and are not routed by it).
Uint32 mouseOrWindowEventWindow(const SDL_Event& e);
