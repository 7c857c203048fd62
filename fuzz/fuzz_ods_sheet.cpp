// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the .ods questions table reader with whole files: whatever the
// archive and its XML hold (sizes that lie, repeat counts in the millions,
// missing parts), it returns within its bounds, and it succeeds exactly when
// it reports no error.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "packing/sheet_questions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nlohmann::ordered_json topics;
    rvlpack::TablePlaces places;
    std::vector<rvlpack::Finding> issues;
    bool read = rvlpack::readQuestionsTable(std::vector<uint8_t>(data, data + size), "q.ods", topics, places, issues);
    fuzzCheck(read == (rvlpack::countFindings(issues, rvlpack::Severity::Error) == 0),
              "a table reads exactly when it has no error");
    if (read) fuzzCheck(topics.is_array() && places.rows.size() == topics.size(), "every topic read has its rows");
    return 0;
}
