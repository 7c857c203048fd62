// SPDX-License-Identifier: GPL-3.0-or-later
// Where the chooser's dialog opens: the folder of the last pack chosen,
// remembered in $XDG_CONFIG_HOME/rvl-reader/last-folder.
#pragma once

#include <string>
#include <vector>

// The remembered folder when it still exists; else the current directory
// when packs lie in it (a build's run directory with its demo pack); else
// $HOME; else the current directory.
std::string startFolder(const std::string& currentDir);

// Remembers the folder of chosenPath (absolute, or relative to currentDir).
// Failing to remember only costs the next start its folder, so it is silent.
void rememberFolderOf(const std::string& chosenPath, const std::string& currentDir);

// The modules (*.rvl regular files) of dir, sorted.
std::vector<std::string> modulesIn(const std::string& dir);
