// A wide stream buffer that turns UTF-16 units into UTF-8 bytes on stdout.
// It writes with byte-oriented stdio, so stdout never turns wide-oriented and
// narrow std::cout lines keep working; an unpaired surrogate prints as U+FFFD
// instead of putting the stream into a failed state.
#include "platform/console.h"

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

    int sync() override {
        convertPending();
        writeOut();
        return fflush(stdout) == 0 ? 0 : -1;
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
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                appendUtf8(bytes_, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
                return;
            }
            appendUtf8(bytes_, 0xFFFD);
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            pendingHigh_ = unit;
        } else {
            appendUtf8(bytes_, unit);
        }
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
    if (!consoleBuf) consoleBuf = new Utf8ConsoleBuf;
    std::wcout.rdbuf(consoleBuf);
    std::wcout.clear();
}
