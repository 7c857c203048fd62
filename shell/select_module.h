// SPDX-License-Identifier: GPL-3.0-or-later
// The module selection screen and the external file chooser it runs.
#pragma once

#include <string>

// Waits for a click, runs the chooser and returns the chosen path. Ends the
// process on a quit request or F10.
std::wstring selectModuleFile();

// The console line of the chosen path: "Фаил: " and the path.
void printChosenFile(const std::wstring& path);
