// Where an installed reader runs. The reader reads res/ and writes temp/
// relative to its working directory, so an installed one works from a
// per-user directory that links to what the package installed.
#pragma once

#include <string>

// The per-user run directory: $XDG_DATA_HOME/rvl-reader, by default
// ~/.local/share/rvl-reader. Empty when neither variable gives a place.
std::string userRunDirectory();

// When the reader runs installed (PREFIX/bin/rvl-reader with
// PREFIX/share/rvl-reader/res beside it), prepares the per-user run
// directory (links res and fileopen.exe to the installed ones, makes temp/)
// and makes it the working directory. Nothing happens for a reader run from
// a build's run directory. False, with the reason, when preparing failed.
bool enterUserRunDirectory(std::string& error);
