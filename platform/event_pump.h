// SPDX-License-Identifier: GPL-3.0-or-later
// The one place every event loop of the reader takes its input from, in
// place of SDL_PollEvent, and the one way it shows a frame: the selection
// screen, the board, the card and the picture, sound and video players (the
// video module through VideoHost).
// It carries the quit signals: SIGINT or SIGTERM only set a flag here, and
// every loop that polls looks at it and ends as the reader's way out.
// By default events and frames pass straight through to SDL. An opt-in
// layer (the game) may install a filter that takes the events it answers
// before any loop sees them, and an overlay drawn over every frame.
// It may also open a second window of its own: that window's mouse and
// window events go to it alone, never to a loop.
#pragma once

#include <SDL.h>

// Catches SIGINT and SIGTERM from now on, unless they are ignored. The
// handler only sets the flag; a second signal of the same kind ends the
// process the hard way, for the moments no loop polls (a message box, a
// chooser that hangs).
void catchQuitSignals();

// True once SIGINT or SIGTERM has arrived.
bool quitSignalled();

// The next pending event into *e, as SDL_PollEvent, less the events the
// filter takes and those of a second window; false when none is pending
// (after running the idle task), and always false once a quit
// signal has arrived, so that no input after it starts anything.
bool pollEvent(SDL_Event* e);

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

// The overlay, if any, then SDL_RenderPresent.
void presentFrame(SDL_Renderer* renderer);

// True when what the overlay draws has changed since the last frame was
// presented: a loop whose picture stands still presents it again.
bool redrawWanted();
void requestRedraw();

// The window an event belongs to, 0 for those of no window (keys carry the
// focused window's, and are not routed by it).
Uint32 mouseOrWindowEventWindow(const SDL_Event& e);
