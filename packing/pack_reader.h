// SPDX-License-Identifier: GPL-3.0-or-later
// Parses a whole .rvl file into a Module for the pack tool and the tests,
// through the same format core as the reader's loader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "module/format.h"
#include "packing/module_writer.h"

struct stat;

namespace rvlpack {

struct ReadFailure {
    bool atOffset = false;  // false for a file that cannot be opened or read
    uint64_t offset = 0;    // where the field that does not fit starts
    std::string message;    // the whole message, offset included
};

// False, with failure set, for bytes that are not a module ("RVL1" missing)
// or that end inside a field. Bytes after the last question go to
// module.trailing.
bool readModule(const uint8_t* data, size_t size, Module& module, ReadFailure* failure = nullptr);
bool readModuleFile(const std::string& path, Module& module, ReadFailure* failure = nullptr);

// Reads the pack at path once, front to back, handing its fields to sink as
// they come (blocks straight from the file into the sink's room). False, with
// failure set, for anything but a regular file holding a whole module. *end is
// where the last question ends, *size the file's size; trailing, when given,
// gets the bytes after the last question.
bool readPackFile(const std::string& path, rvlformat::ModuleSink& sink, ReadFailure* failure, uint64_t* end = nullptr,
                  uint64_t* size = nullptr, std::vector<uint8_t>* trailing = nullptr);

// Reads a whole regular file, no further than its size; false with error set
// when it cannot. With checked, only the very file stat gave is read, and
// with noFollow, not through a link at the end of path.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error,
                   const struct stat* checked = nullptr, bool noFollow = false);

} // namespace rvlpack
