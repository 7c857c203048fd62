// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-in for opening a file by a wide (UTF-16) path.
#pragma once

#include <cstdio>
#include <string>

// Opens path (UTF-16 units, surrogate pairs joined) encoded as UTF-8; a lone
// surrogate U+DC80..U+DCFF stands for the byte 0x80..0xFF that pathToUtf16
// (platform/utf16.h) could not read as UTF-8.
FILE* openWidePath(const std::wstring& path, const char* mode);
