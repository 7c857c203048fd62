// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the benchmark programs: a monotonic clock, medians, peak
// memory, child processes with a chosen stdout, and the one row format that
// scripts/bench.sh gathers into a single table.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace bench {

inline double nowSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline std::string format(const char* fmt, double value) {
    char buf[64];
    snprintf(buf, sizeof buf, fmt, value);
    return buf;
}

inline std::string ratio(double measured, double floor) {
    return floor > 0 ? format("%.2fx", measured / floor) : "-";
}

// One table row: area, figure, measured value, floor, ratio. Rows are what
// scripts/bench.sh collects; anything else a program prints is commentary.
inline void printRow(const std::string& area, const std::string& figure, const std::string& measured,
                     const std::string& floor = "-", const std::string& ratioText = "-") {
    printf("row\t%s\t%s\t%s\t%s\t%s\n", area.c_str(), figure.c_str(), measured.c_str(), floor.c_str(),
           ratioText.c_str());
    fflush(stdout);
}

// Peak resident set of this process so far, in KiB (VmHWM).
inline long peakResidentKiB() {
    FILE* f = fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kib = -1;
    while (fgets(line, sizeof line, f)) {
        if (strncmp(line, "VmHWM:", 6) == 0) kib = strtol(line + 6, nullptr, 10);
    }
    fclose(f);
    return kib;
}

// Where a child's stdout goes.
enum class Sink { DevNull, Pipe, File };

struct ChildResult {
    bool ok = false;
    std::string report;  // what the child wrote to stderr
    size_t drained = 0;  // bytes read from its stdout pipe
};

// Runs this very program again (/proc/self/exe) with args, its stdout sent to
// sink (a pipe is drained by this process while the child runs), and returns
// what the child wrote on stderr. Each measurement runs in a fresh process so
// its peak memory and its stdout are its own.
inline ChildResult runSelf(const std::vector<std::string>& args, Sink sink, const std::string& sinkPath = "") {
    ChildResult result;
    int err[2], out[2] = {-1, -1};
    if (pipe(err) != 0) return result;
    if (sink == Sink::Pipe && pipe(out) != 0) return result;
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) return result;
    if (pid == 0) {
        int target = -1;
        if (sink == Sink::DevNull) target = open("/dev/null", O_WRONLY);
        if (sink == Sink::File) target = open(sinkPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (sink == Sink::Pipe) target = out[1];
        if (target < 0) _exit(126);
        dup2(target, 1);
        dup2(err[1], 2);
        close(err[0]);
        if (out[0] >= 0) close(out[0]);
        std::vector<char*> argv{const_cast<char*>("/proc/self/exe")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    close(err[1]);
    if (out[1] >= 0) close(out[1]);
    int outFd = out[0], errFd = err[0];
    static char buf[1 << 16];
    while (outFd >= 0 || errFd >= 0) {
        pollfd fds[2];
        int n = 0;
        if (outFd >= 0) fds[n++] = {outFd, POLLIN, 0};
        if (errFd >= 0) fds[n++] = {errFd, POLLIN, 0};
        if (poll(fds, n, -1) < 0) break;
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents) continue;
            ssize_t r = read(fds[i].fd, buf, sizeof buf);
            if (r <= 0) {
                close(fds[i].fd);
                (fds[i].fd == outFd ? outFd : errFd) = -1;
            } else if (fds[i].fd == outFd) {
                result.drained += size_t(r);
            } else {
                result.report.append(buf, size_t(r));
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

} // namespace bench
