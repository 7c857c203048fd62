// SPDX-License-Identifier: GPL-3.0-or-later
// The chooser's answer (platform/chooser_record.h) made from the path the
// user chose, and written in one step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/chooser_record.h"

// Encodes a UTF-8 path as the result record. False, with the reason, when the
// path is not valid UTF-8 or needs more than chooser::kMaxPathUnits units; the path
// is never cut short.
bool encodeResult(const std::string& utf8Path, std::vector<uint8_t>& record, std::string& reason);

// The record for "nothing chosen".
std::vector<uint8_t> nothingChosen();

// Replaces the file with the record in one step (a new file renamed over
// it). False, with the reason, on any failure; the file is then unchanged.
bool writeResultFile(const std::string& name, const std::vector<uint8_t>& record, std::string& reason);
