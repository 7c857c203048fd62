// SPDX-License-Identifier: GPL-3.0-or-later
// A progress line for long conversions: "name: 42% 3.1 s", redrawn in place
// on stderr once a conversion has run for a second, and only when stderr is
// a terminal, so that logs and pipes get no scrolling lines.
#pragma once

#include <chrono>
#include <string>

namespace rvlpack {

class ProgressLine {
public:
    explicit ProgressLine(std::string name);
    ~ProgressLine();  // clears the line it drew
    void update(double fraction);

private:
    std::string name_;
    std::chrono::steady_clock::time_point start_;
    bool terminal_;
    bool drawn_ = false;
    int lastPercent_ = -1;
};

} // namespace rvlpack
