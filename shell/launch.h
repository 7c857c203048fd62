// SPDX-License-Identifier: GPL-3.0-or-later
// What the command-line options change in the start-up: the display the
// window opens on, the scaled picture of full-screen mode, and a pack given
// instead of the selection screen.
#pragma once

#include <SDL.h>

#include <string>

#include "shell/launch_options.h"

// The reader's window: 1024x768 centred on the chosen display, or, in
// full-screen mode, the whole display. Null when SDL_CreateWindow failed.
SDL_Window* createWindow(const LaunchOptions& options);

// Full-screen mode draws the 1024x768 picture scaled, aspect ratio kept, in
// the middle of the screen; SDL maps mouse positions back to 1024x768.
void scalePictureToWindow();

// Clears the bars beside a scaled picture to black; does nothing when the
// picture fills the window unscaled.
void clearBarsOfScaledPicture();

// Loads the pack named on the command line as if the chooser had returned
// it: the "Фаил: " line, then the loader. A path of more than 255 UTF-16
// units (more than the chooser can return) is refused like a foreign file;
// one that names nothing gets the loader's "cannot open" message. False with
// loaderError set when refused.
bool loadPackFromCommandLine(const std::string& pack);

// Started from the desktop there is no console to read loaderError on: a
// refused command-line pack is also shown in an error box.
void showRefusedPack();
