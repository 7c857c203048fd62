// SPDX-License-Identifier: GPL-3.0-or-later
// The chooser's result file holds one module string; a cut file counts as
// "nothing chosen" rather than handing a partial path to the loader.
#include "shell/chooser_result.h"

#include "module/read_primitives.h"

bool readChooserResult(FILE* file, std::wstring& path) {
    path.clear();
    if (!file) return false;
    int first = fgetc(file);
    if (first == EOF) return false;
    int count = first & 0xFF;
    if (count == 0) return false;
    // readString stops at the end of the file, so a short result means a cut file.
    std::wstring units = readString(count, file);
    if (units.size() != static_cast<size_t>(count)) return false;
    path.swap(units);
    return true;
}
