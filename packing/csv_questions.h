// SPDX-License-Identifier: GPL-3.0-or-later
// The questions of a pack as a spreadsheet exports them (CSV, UTF-8 with or
// without a BOM, comma, semicolon or tab): read into the manifest's "topics",
// with the row and column of every cell for messages, and written back out.
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "packing/findings.h"

namespace rvlpack {

// Where each question of a table stands, for messages such as
// questions.csv row 7, column "баллы". Empty for a JSON manifest.
struct TablePlaces {
    std::string file;                            // the table's file name
    std::vector<std::vector<int>> rows;          // [topic][question]: its row, the header being row 1
    std::vector<int> topicRows;                  // [topic]: the row that names it first
    std::map<std::string, std::string> columns;  // a manifest key ("points", "video", ...) -> its column's header
    bool overLimit = false;                      // more topics or questions than a pack holds: rows were dropped

    bool empty() const { return file.empty(); }
    std::string row(size_t topic, size_t question) const;  // "questions.csv row 7"
    std::string topicRow(size_t topic) const;              // "questions.csv row 2, column \"тема\""
    std::string column(const std::string& key) const;      // ", column \"баллы\"" or ""
};

// Reads the table bytes of the file at path. Fills topics with manifest topic objects: topics in order of first
// appearance, questions in row order. The cells are handed over as they
// stand (points that are not a whole number as text) for the manifest's
// reader to judge; what only a table can get wrong (its quoting, encoding,
// header, a type that cannot be told) goes to issues here. False when there
// is at least one error.
bool readCsvQuestions(const std::vector<uint8_t>& bytes, const std::string& path, nlohmann::ordered_json& topics,
                      TablePlaces& places, std::vector<Finding>& issues);

// A spreadsheet's first sheet as its reader gathers it, bounded while it
// grows: a cell longer than any text is cut, its whole length kept.
const size_t maxSheetRows = 65536, maxSheetColumns = 64;
const uint64_t maxSheetBytes = uint64_t(64) << 20;  // cells and their bookkeeping
struct SheetCells {
    std::vector<std::vector<std::string>> rows;
    std::map<std::pair<size_t, size_t>, uint64_t> longCells;  // (row, column) -> its whole length in bytes
    uint64_t bytes = 0;
    // Puts text at (row, column), both from 0; false, with why set, past
    // the limits above.
    bool put(size_t row, size_t column, const std::string& text, std::string& why);
};

// The sheet's rows read as readCsvQuestions reads a table's, with the same
// columns, rules and messages.
bool readSheetQuestions(SheetCells& sheet, const std::string& path, nlohmann::ordered_json& topics,
                        TablePlaces& places, std::vector<Finding>& issues);

// Lower case for ASCII and Cyrillic, so that "Тема" and "TOPIC" name
// columns and "КОТ.JPG" names кот.jpg.
std::string foldedCase(const std::string& utf8);

// Rewrites the places "topic 2" and "topic 2 question 3" at the start of
// the issues' places as rows of the table.
void placeByRows(std::vector<Finding>& issues, const TablePlaces& places);

// The table (UTF-8 with a BOM, comma separated, CRLF) of a manifest's topics
// as saveManifest makes them; a topic without questions is a row naming it
// alone. False, with whyNot set, when they hold what a table cannot: a topic
// without a name, two topics of one name, texts given as code units, unknown
// type bytes.
// Cells that start like a formula (=, +, -, @), which a spreadsheet would
// run, are written as they stand and named in formulas, when given.
bool csvFromTopics(const nlohmann::ordered_json& topics, std::string& csv, std::string& whyNot,
                   std::vector<Finding>* formulas = nullptr);

} // namespace rvlpack
