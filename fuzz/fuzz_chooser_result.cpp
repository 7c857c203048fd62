// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the reading of the chooser's result file: whatever the bytes, it
// returns, and a path it accepts is exactly the units the file spells.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_support.h"
#include "shell/chooser_result.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = fopen(fuzzInputFile(data, size).c_str(), "rb");
    fuzzCheck(file != nullptr, "the in-memory file opens");
    std::wstring path;
    bool chosen = readChooserResult(file, path);
    fclose(file);
    if (!chosen) fuzzCheck(path.empty(), "nothing chosen leaves the path empty");
    if (chosen) {
        fuzzCheck(size >= 1 && path.size() == data[0], "a chosen path has the length of the count byte");
        fuzzCheck(size >= 1 + 2 * path.size(), "a chosen path stands whole in the file");
        for (size_t i = 0; i < path.size(); ++i) {
            wchar_t unit = static_cast<wchar_t>(data[1 + 2 * i] * 256 + data[2 + 2 * i]);
            fuzzCheck(path[i] == unit, "each unit is the big-endian pair of bytes");
        }
    }
    return 0;
}
