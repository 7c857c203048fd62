// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-in for the 64-bit local-time conversion: seconds since the Unix epoch
// to broken-down local time, with the machine's time zone rules.
#pragma once

#include <cstdint>
#include <ctime>

bool localTime64(int64_t seconds, std::tm& out);
