// SPDX-License-Identifier: GPL-3.0-or-later
// Questions tables as a host saves them: an .xlsx workbook or an .ods
// spreadsheet (their first sheet) as well as CSV, all read with the same
// columns, rules and messages.
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "packing/csv_questions.h"
#include "packing/findings.h"

namespace rvlpack {

// The first sheet of a workbook in bytes, its cells as texts: numbers as a
// host reads them, dates as YYYY-MM-DD, formulas by their last result.
// False, with why set, when the file cannot be read as one.
bool readXlsxSheet(const std::vector<uint8_t>& bytes, SheetCells& sheet, std::string& why);
bool readOdsSheet(const std::vector<uint8_t>& bytes, SheetCells& sheet, std::string& why);

// The table in bytes, by its content and the name in path: .xlsx, .ods or
// CSV; an old binary .xls is refused with what to save instead. As
// readCsvQuestions otherwise.
bool readQuestionsTable(const std::vector<uint8_t>& bytes, const std::string& path, nlohmann::ordered_json& topics,
                        TablePlaces& places, std::vector<Finding>& issues);

// Whether a file name names a spreadsheet or CSV table (by its extension).
bool namesQuestionsTable(const std::string& path);

} // namespace rvlpack
