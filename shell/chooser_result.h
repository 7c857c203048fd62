// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the file chooser's result file (platform/chooser_record.h) with the
// module-string reader.
#pragma once

#include <cstdio>
#include <string>

// Reads the chosen path from the start of file. False when nothing usable was
// chosen: the first byte is 0, or the file ends before its first byte or
// before the N units it announces; path is then empty. Bytes after the N
// units are not read.
bool readChooserResult(FILE* file, std::wstring& path);
