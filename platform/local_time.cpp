// SPDX-License-Identifier: GPL-3.0-or-later
// 64-bit time_t on Linux covers every u32 stamp (1970 to 2106).
#include "platform/local_time.h"

bool localTime64(int64_t seconds, std::tm& out) {
    static_assert(sizeof(time_t) >= 8, "time_t must be 64-bit");
    time_t t = static_cast<time_t>(seconds);
    return localtime_r(&t, &out) != nullptr;
}
