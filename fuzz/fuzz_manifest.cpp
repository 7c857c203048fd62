// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the manifest reader with whole JSON files: whatever the bytes, it
// returns; it succeeds exactly when it reports no error, and a module it
// gives back is one the format can hold.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "packing/manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    rvlpack::Module module;
    std::vector<rvlpack::Finding> issues;
    bool loaded = rvlpack::loadManifest(fuzzInputFile(data, size), module, issues);
    fuzzCheck(loaded == (rvlpack::countFindings(issues, rvlpack::Severity::Error) == 0),
              "a manifest loads exactly when it has no error");
    if (loaded) fuzzCheck(rvlpack::checkLimits(module), "a loaded manifest fits the format");
    return 0;
}
