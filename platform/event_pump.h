// The one place every event loop of the reader takes its input from, in
// place of SDL_PollEvent: the selection screen, the board, the card and the
// picture, sound and video players (the video module through VideoHost).
// It also carries the quit signals: SIGINT or SIGTERM only set a flag here,
// and every loop that polls looks at it and ends as the reader's way out.
#pragma once

#include <SDL.h>

// Catches SIGINT and SIGTERM from now on, unless they are ignored. The
// handler only sets the flag; a second signal of the same kind ends the
// process the hard way, for the moments no loop polls (a message box, a
// chooser that hangs).
void catchQuitSignals();

// True once SIGINT or SIGTERM has arrived.
bool quitSignalled();

// The next pending event into *e, as SDL_PollEvent; false when none is
// pending, and always false once a quit signal has arrived, so that no input
// after it starts anything.
bool pollEvent(SDL_Event* e);
