// SPDX-License-Identifier: GPL-3.0-or-later
// A pack's creation time as people write it, in ISO 8601, read into the
// module's 32-bit seconds and written back.
#pragma once

#include <cstdint>
#include <string>

namespace rvlpack {

// ISO 8601 date and time: "2024-05-01T18:30:00Z", "...+03:00", without a
// zone as local time, or a date alone. False unless it names a second
// between 1970-01-01T00:00:00Z and 2106-02-07T06:28:15Z.
bool parseIsoTime(const std::string& text, uint32_t& seconds);
std::string formatIsoTime(uint32_t seconds);  // UTC, "YYYY-MM-DDTHH:MM:SSZ"

} // namespace rvlpack
