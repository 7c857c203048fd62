// What the fuzz targets share: the input handed over as a real file (an
// in-memory one, so the code under test opens and reads it as it would a
// module on disk), and a quiet console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Points stdout at /dev/null (the loader's trace) and, once, makes the
// in-memory file.
void fuzzSetUp();
// Replaces the in-memory file's content with the input.
void fuzzSetInput(const uint8_t* data, size_t size);
// A path that opens the in-memory file: /proc/self/fd/N.
const std::string& fuzzInputPath();
// Stops the run with a message when an expectation about the result fails.
void fuzzCheck(bool ok, const char* what);
