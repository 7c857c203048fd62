// SPDX-License-Identifier: GPL-3.0-or-later
// Linux file names are bytes; the program's paths are UTF-16, so encode them
// as UTF-8 before opening.
#include "platform/wide_path.h"

#include "platform/utf16.h"

FILE* openWidePath(const std::wstring& path, const char* mode) {
    std::string bytes = pathFromUtf16(path);
    if (bytes.find('\0') != std::string::npos) return nullptr;
    return fopen(bytes.c_str(), mode);
}
