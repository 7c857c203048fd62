// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a module file into the process-wide records, with a console trace.
#pragma once

#include <string>

// True when the whole module was read; false with loaderError set, and then
// the module objects are empty.
bool loadModule(std::wstring path);

// Empties the module objects and frees every media block the loader made.
void unloadModule();

// Refuses a module without reading it, with the message a foreign file gets.
void rejectModule();
