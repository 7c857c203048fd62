// SPDX-License-Identifier: GPL-3.0-or-later
// Where an installed reader runs. The reader reads res/ and writes temp/
// relative to its working directory, so an installed one works from a
// per-user directory that links to what the package installed.
#pragma once

#include <string>

// The per-user run directory: $XDG_DATA_HOME/rvl-reader, by default
// ~/.local/share/rvl-reader. Empty when neither variable gives a place.
std::string userRunDirectory();

// Where the package put the reader's files.
struct InstalledFiles {
    std::string shared;     // PREFIX/share/rvl-reader, holding res/
    std::string libraries;  // PREFIX/libexec/rvl-reader: the chooser, the video module
};

// True when the reader runs installed: PREFIX/bin/rvl-reader with
// PREFIX/share/rvl-reader/res. False for a reader in a build's run directory.
bool findInstalledFiles(InstalledFiles& installed);

// Prepares the per-user run directory (links res and fileopen.exe to the
// installed ones, makes temp/) and makes it the working directory. When it
// cannot be had (no HOME, XDG_DATA_HOME naming a file, a read-only home), a
// private one under XDG_RUNTIME_DIR or the temporary directory, removed at
// exit. False, with the reasons, when neither could be prepared.
bool enterUserRunDirectory(const InstalledFiles& installed, std::string& error);
// Those reasons, for the box of a resource then missing; empty otherwise.
const std::string& runDirectoryFailure();
