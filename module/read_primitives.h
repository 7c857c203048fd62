// SPDX-License-Identifier: GPL-3.0-or-later
// The module-string reader over a stdio file, for the chooser's result file,
// which stores its path the way a module stores a text.
#pragma once

#include <cstdio>
#include <string>

// Reads count UTF-16 big-endian units; stops early at the end of the file.
std::wstring readString(int count, FILE* file);
