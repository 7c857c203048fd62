// SPDX-License-Identifier: GPL-3.0-or-later
// Progress line drawing.
#include "packing/convert/progress_line.h"

#include <unistd.h>

#include <cstdio>

#include "platform/texts.h"

namespace rvlpack {

ProgressLine::ProgressLine(std::string name)
    : name_(std::move(name)), start_(std::chrono::steady_clock::now()), terminal_(isatty(2) == 1) {}

ProgressLine::~ProgressLine() {
    if (drawn_) fputs("\r\033[K", stderr);
}

void ProgressLine::update(double fraction) {
    if (!terminal_) return;
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    int percent = static_cast<int>(fraction * 100);
    if (elapsed < 1.0 || percent == lastPercent_) return;
    lastPercent_ = percent;
    drawn_ = true;
    fprintf(stderr, "\r\033[K%s", format(tr("%s: %d%% %.1f s"), name_.c_str(), percent, elapsed).c_str());
    fflush(stderr);
}

} // namespace rvlpack
