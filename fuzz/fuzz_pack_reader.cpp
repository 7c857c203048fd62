// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the pack tool's module parser with whole files: whatever the bytes,
// it returns; a refusal names an offset inside the file, and a module it
// accepts is written back by the module writer to exactly the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "packing/module_writer.h"
#include "packing/pack_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    rvlpack::Module module;
    rvlpack::ReadFailure failure;
    if (!rvlpack::readModule(data, size, module, &failure)) {
        fuzzCheck(failure.atOffset && failure.offset <= size && !failure.message.empty(),
                  "a refusal names an offset inside the file");
        return 0;
    }
    std::vector<uint8_t> written;
    fuzzCheck(rvlpack::writeModule(module, written), "what was read can be written");
    fuzzCheck(written.size() == size && std::equal(written.begin(), written.end(), data),
              "writing gives back the bytes read");
    return 0;
}
