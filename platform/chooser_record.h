// SPDX-License-Identifier: GPL-3.0-or-later
// What the file chooser hands the reader: "openfilename.rlt" in the current
// directory, one count byte N, then N UTF-16 code units, high byte first;
// N = 0 means that nothing was chosen. The chooser writes it, the reader reads it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace chooser {

constexpr char kResultFile[] = "openfilename.rlt";
constexpr size_t kMaxPathUnits = 255;  // what the count byte can announce

// The record of a path of at most kMaxPathUnits units; no units make the
// record of "nothing chosen".
inline std::vector<uint8_t> encodeRecord(const std::wstring& units) {
    std::vector<uint8_t> record{static_cast<uint8_t>(units.size())};
    for (wchar_t unit : units) {
        record.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
        record.push_back(static_cast<uint8_t>(unit & 0xFF));
    }
    return record;
}

// Reads the record at the start of file, its units through readUnits (count
// units, fewer at the end of the file). False when nothing usable was chosen:
// N is 0, or the file ends before N or before the N units; path is then
// empty. Bytes after the N units are not read.
inline bool decodeRecord(FILE* file, std::wstring& path, std::wstring (*readUnits)(int count, FILE* file)) {
    path.clear();
    int first = file ? fgetc(file) : EOF;
    if (first == EOF || first == 0) return false;
    std::wstring units = readUnits(first & 0xFF, file);
    if (units.size() != static_cast<size_t>(first & 0xFF)) return false;  // a cut file
    path.swap(units);
    return true;
}

} // namespace chooser
