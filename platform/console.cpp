// SPDX-License-Identifier: GPL-3.0-or-later
// A wide stream buffer that turns UTF-16 units into UTF-8 bytes on stdout.
// It writes with byte-oriented stdio, so stdout never turns wide-oriented and
// narrow std::cout lines keep working; an unpaired surrogate prints as U+FFFD
// instead of putting the stream into a failed state. Module texts reach the
// console through it, so control characters print as U+FFFD: a topic name
// must not retitle or clear the host's terminal.
#include "platform/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>

#include "platform/utf16.h"

namespace {

// Units collect in a put area and are converted a buffer at a time: without
// one, the stream would make a virtual call per character, which showed as a
// good part of the loader's trace cost.
class Utf8ConsoleBuf : public std::wstreambuf {
public:
    Utf8ConsoleBuf() { setp(units_, units_ + kUnits); }

protected:
    int_type overflow(int_type ch) override {
        convertPending();
        if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
        *pptr() = traits_type::to_char_type(ch);
        pbump(1);
        return ch;
    }

    // A console that cannot take the bytes (a closed pipe, a full disk)
    // loses them; the stream stays good, so the program goes on.
    int sync() override {
        convertPending();
        writeOut();
        if (fflush(stdout) != 0) clearerr(stdout);
        return 0;
    }

private:
    void convertPending() {
        for (const wchar_t* p = pbase(); p < pptr(); ++p) convertUnit(static_cast<char32_t>(*p) & 0xFFFF);
        setp(units_, units_ + kUnits);
        if (bytes_.size() >= 4096) writeOut();
    }

    void convertUnit(char32_t unit) {
        if (pendingHigh_) {
            char32_t high = pendingHigh_;
            pendingHigh_ = 0;
            if (isLowSurrogate(unit)) {
                appendUtf8(bytes_, joinedPair(high, unit));
                return;
            }
            appendUtf8(bytes_, 0xFFFD);
        }
        if (isHighSurrogate(unit)) {
            pendingHigh_ = unit;
        } else if (isControl(unit)) {
            appendUtf8(bytes_, 0xFFFD);
        } else {
            appendUtf8(bytes_, unit);
        }
    }

    // C0 except the tab and line end our own lines use, DEL and C1.
    static bool isControl(char32_t unit) {
        return (unit < 0x20 && unit != '\t' && unit != '\n') || (unit >= 0x7F && unit <= 0x9F);
    }

    void writeOut() {
        if (!bytes_.empty()) fwrite(bytes_.data(), 1, bytes_.size(), stdout);
        bytes_.clear();
    }

    static const int kUnits = 1024;
    wchar_t units_[kUnits];
    std::string bytes_;
    char32_t pendingHigh_ = 0;
};

// Never destroyed: std::wcout may still flush into it while the process exits.
Utf8ConsoleBuf* consoleBuf = nullptr;

} // namespace

void installUtf8Console() {
    // A closed standard descriptor would be handed to the next file or
    // connection opened, and console lines would be written into it.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (opened >= 0 && opened != fd) close(opened);
        }
    }
    // Output piped into a program that has ended is dropped, not fatal.
    signal(SIGPIPE, SIG_IGN);
    if (!consoleBuf) consoleBuf = new Utf8ConsoleBuf;
    std::wcout.rdbuf(consoleBuf);
    std::wcout.clear();
}
