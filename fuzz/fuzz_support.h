// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: the set-up libFuzzer runs once (a quiet
// console, and an in-memory file the code under test opens and reads as it
// would a module on disk), the input handed over as that file, and checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A target with set-up of its own defines this; it runs once, after the
// shared set-up (stdout on /dev/null, where the loader's trace goes).
void fuzzTargetSetUp() __attribute__((weak));
// Replaces the in-memory file's content with the input and gives a path that
// opens it: /proc/self/fd/N.
const std::string& fuzzInputFile(const uint8_t* data, size_t size);
// Stops the run with a message when an expectation about the result fails.
void fuzzCheck(bool ok, const char* what);
