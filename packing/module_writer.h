// Writes quiz modules in the .rvl format. Used by the pack tool, the demo
// module build and the tests; the reader itself never writes a module.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "module/format.h"

namespace rvlpack {

struct Question {
    char type = rvlformat::typeCode(rvlformat::AskType::Text);  // as stored: any byte
    std::wstring question;    // UTF-16 code units, at most 255
    std::wstring answer;
    uint16_t points = 0;
    std::vector<uint8_t> media;  // picture, sound, or a video's sound track
    std::vector<uint8_t> video;  // a video's only
};

// A question as the format reader hands over its head (texts moved from),
// before its media are read.
inline Question questionFrom(rvlformat::AskHead& head) {
    Question q;
    q.type = head.type;
    q.question = std::move(head.question);
    q.answer = std::move(head.answer);
    q.points = head.points;
    return q;
}

struct Topic {
    std::wstring name;
    std::vector<Question> questions;
};

struct Module {
    uint32_t created = 0;  // seconds since 1970-01-01 UTC
    std::wstring packName;
    std::wstring author;
    std::vector<Topic> topics;
    // Bytes after the last question. The reader ignores them; they are kept
    // so that unpacking and rebuilding a pack gives back the same bytes.
    std::vector<uint8_t> trailing;
};

// Appends the module's bytes to out. False, with error set, when the module
// holds what the format cannot (too many topics or questions, a text over
// 255 units, media over 4 GiB); out is then left as it was.
bool writeModule(const Module& module, std::vector<uint8_t>& out, std::string* error = nullptr);

// Writes the module to a file through a temporary file beside it, renamed
// into place at the end: on failure nothing new is left at path and an
// older file there stays as it was.
bool writeModuleFile(const Module& module, const std::string& path, std::string* error = nullptr);

// Checks the limits of the format without writing anything.
bool checkLimits(const Module& module, std::string* error = nullptr);

// Size of the module in bytes, as writeModule would write it (limits unchecked).
uint64_t moduleSize(const Module& module);

// UTF-8 to the UTF-16 units the format stores (convenience for callers).
std::wstring u16(const std::string& utf8);

} // namespace rvlpack
