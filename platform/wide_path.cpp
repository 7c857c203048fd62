// SPDX-License-Identifier: GPL-3.0-or-later
// Linux file names are bytes; the program's paths are UTF-16, so encode them
// as UTF-8 before opening.
#include "platform/wide_path.h"

#include "platform/utf16.h"

namespace {

bool escapedByte(wchar_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }

} // namespace

FILE* openWidePath(const std::wstring& path, const char* mode) {
    // Runs of ordinary units go through UTF-8; an escaped byte is itself.
    std::string bytes;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        bool lone = i < path.size() && escapedByte(path[i]) && (i == 0 || (path[i - 1] & 0xFC00) != 0xD800);
        if (i < path.size() && !lone) continue;
        bytes += utf16ToUtf8(path.substr(start, i - start));
        if (lone) bytes.push_back(static_cast<char>(path[i] - 0xDC00));
        start = i + 1;
    }
    if (bytes.find('\0') != std::string::npos) return nullptr;
    return fopen(bytes.c_str(), mode);
}
