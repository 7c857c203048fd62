// Stand-in for opening a file by a wide (UTF-16) path.
#pragma once

#include <cstdio>
#include <string>

// Opens path (UTF-16 units, surrogate pairs joined) encoded as UTF-8; a lone
// surrogate U+DC80..U+DCFF stands for the byte 0x80..0xFF that pathToUtf16
// could not read as UTF-8.
FILE* openWidePath(const std::wstring& path, const char* mode);

// A file name from the command line or the chooser as UTF-16, keeping every
// byte: each byte that is not part of UTF-8 becomes a lone surrogate
// U+DC80..U+DCFF, the usual convention for file names on Linux.
std::wstring pathToUtf16(const std::string& bytes);
