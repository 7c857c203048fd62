// SPDX-License-Identifier: GPL-3.0-or-later
// The chooser's answer as the reader reads it from "openfilename.rlt": one
// count byte N, then N UTF-16 code units, high byte first; N = 0 means that
// nothing was chosen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The most UTF-16 units the count byte can announce.
const size_t kMaxPathUnits = 255;

// Encodes a UTF-8 path as the result record. False, with the reason, when the
// path is not valid UTF-8 or needs more than kMaxPathUnits units; the path
// is never cut short.
bool encodeResult(const std::string& utf8Path, std::vector<uint8_t>& record, std::string& reason);

// The record for "nothing chosen".
std::vector<uint8_t> nothingChosen();

// Replaces the file with the record in one step (a new file renamed over
// it). False, with the reason, on any failure; the file is then unchanged.
bool writeResultFile(const std::string& name, const std::vector<uint8_t>& record, std::string& reason);
