// Stand-in for opening a file by a wide (UTF-16) path.
#pragma once

#include <cstdio>
#include <string>

// Opens path (UTF-16 units, surrogate pairs joined) encoded as UTF-8.
FILE* openWidePath(const std::wstring& path, const char* mode);
