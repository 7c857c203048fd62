// SPDX-License-Identifier: GPL-3.0-or-later
// ISO 8601 times to and from seconds since 1970, by the C library's calendar:
// timegm for a time with a zone, mktime for local time.
#include "packing/iso_time.h"

#include <cstdio>
#include <ctime>

#include "module/format.h"

namespace rvlpack {

bool parseIsoTime(const std::string& text, uint32_t& seconds) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
    if (sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3 || used != 10) return false;
    std::string rest = text.substr(10);
    if (!rest.empty() && (rest[0] == 'T' || rest[0] == ' ')) {
        int n = 0;
        if (sscanf(rest.c_str() + 1, "%2d:%2d%n", &hour, &minute, &n) != 2 || n != 5) return false;
        rest = rest.substr(6);
        if (!rest.empty() && rest[0] == ':') {
            if (sscanf(rest.c_str() + 1, "%2d%n", &second, &n) != 1 || n != 2) return false;
            rest = rest.substr(3);
        }
    }
    bool utc = false;
    long offset = 0;
    if (rest == "Z") {
        utc = true;
    } else if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
        int oh = 0, om = 0, n = 0;
        bool ok = (sscanf(rest.c_str() + 1, "%2d:%2d%n", &oh, &om, &n) == 2 && n == 5 && rest.size() == 6) ||
                  (sscanf(rest.c_str() + 1, "%2d%2d%n", &oh, &om, &n) == 2 && n == 4 && rest.size() == 5) ||
                  (sscanf(rest.c_str() + 1, "%2d%n", &oh, &n) == 1 && n == 2 && rest.size() == 3 && (om = 0) == 0);
        if (!ok || oh > 23 || om > 59) return false;
        utc = true;
        offset = (rest[0] == '+' ? 1 : -1) * (oh * 3600L + om * 60L);
    } else if (!rest.empty()) {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return false;
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    std::tm asGiven = fields;
    long long value = utc ? static_cast<long long>(timegm(&fields)) - offset : static_cast<long long>(mktime(&fields));
    if (fields.tm_mday != asGiven.tm_mday || fields.tm_mon != asGiven.tm_mon) return false;  // 31 April and the like
    if (value < 0 || static_cast<uint64_t>(value) > rvlformat::kMaxCreated) return false;
    seconds = static_cast<uint32_t>(value);
    return true;
}

std::string formatIsoTime(uint32_t seconds) {
    time_t value = static_cast<time_t>(seconds);
    std::tm fields{};
    gmtime_r(&value, &fields);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &fields);
    return text;
}

} // namespace rvlpack
