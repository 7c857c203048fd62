// SPDX-License-Identifier: GPL-3.0-or-later
// The module-string reader over a stdio file.
#include "module/read_primitives.h"

#include "module/format.h"

std::wstring readString(int count, FILE* file) {
    std::wstring text;
    text.reserve(count > 0 ? static_cast<size_t>(count) : 0);
    for (int i = 0; i < count; ++i) {
        uint8_t b[2];
        if (fread(b, 1, 2, file) != 2) break;
        text.push_back(static_cast<wchar_t>(rvlformat::u16At(b)));
    }
    return text;
}
