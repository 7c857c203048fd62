// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the questions table reader with whole CSV files: whatever the bytes
// (any encoding, quoting, separators, row lengths), it returns, and it
// succeeds exactly when it reports no error.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "packing/csv_questions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nlohmann::ordered_json topics;
    rvlpack::TablePlaces places;
    std::vector<rvlpack::Finding> issues;
    bool read = rvlpack::readCsvQuestions(std::vector<uint8_t>(data, data + size), "questions.csv", topics, places, issues);
    fuzzCheck(read == (rvlpack::countFindings(issues, rvlpack::Severity::Error) == 0),
              "a table reads exactly when it has no error");
    if (read) fuzzCheck(topics.is_array() && places.rows.size() == topics.size(), "every topic read has its rows");
    return 0;
}
