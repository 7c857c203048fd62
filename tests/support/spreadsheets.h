// SPDX-License-Identifier: GPL-3.0-or-later
// Spreadsheet files written by the tests themselves: the XML of an .xlsx
// workbook or an .ods spreadsheet zipped with libzip, from a grid of cells.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

namespace testing_support {

// A zip archive of the named parts, in memory.
Bytes zipped(const std::vector<std::pair<std::string, std::string>>& parts);

// The parts of a one-sheet workbook (ods false) or spreadsheet (ods true).
// A cell "#2.5" is a number, "=50*2|100" a formula with its last result,
// "@45413|2024-05-01" a date (its .xlsx serial | its .ods date), "" empty
// (covered by a merge in the first column), anything else a text (lines of
// an .ods cell as paragraphs). The .xlsx merges A2:A5; the .ods gathers
// equal cells and rows by their repeat counts, and ends every row and the
// sheet with a million empty cells and rows, as spreadsheets save them.
std::vector<std::pair<std::string, std::string>> sheetParts(bool ods, const std::vector<std::vector<std::string>>& grid);
inline Bytes spreadsheet(bool ods, const std::vector<std::vector<std::string>>& grid) {
    return zipped(sheetParts(ods, grid));
}

} // namespace testing_support
