// SPDX-License-Identifier: GPL-3.0-or-later
// The held paths live in fixed buffers, so that the signal handler only
// reads memory and calls unlink and rmdir, both safe in a handler.
#include "packing/temporary_files.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

namespace rvlpack {

namespace {

const int heldMost = 8;
char held[heldMost][4096];
volatile sig_atomic_t inUse[heldMost];

void removeHeld(int signalNumber) {
    // Files first, then the folders they emptied.
    for (int i = 0; i < heldMost; ++i)
        if (inUse[i]) unlink(held[i]);
    for (int i = 0; i < heldMost; ++i)
        if (inUse[i]) rmdir(held[i]);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

} // namespace

void removeTemporariesOnSignal() {
    struct sigaction action {};
    action.sa_handler = removeHeld;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void holdTemporary(const std::string& path) {
    if (path.size() >= sizeof held[0]) return;
    for (int i = 0; i < heldMost; ++i) {
        if (inUse[i]) continue;
        memcpy(held[i], path.c_str(), path.size() + 1);
        inUse[i] = 1;
        return;
    }
}

void releaseTemporary(const std::string& path) {
    for (int i = 0; i < heldMost; ++i)
        if (inUse[i] && path == held[i]) inUse[i] = 0;
}

} // namespace rvlpack
