// SPDX-License-Identifier: GPL-3.0-or-later
// Writes quiz modules in the .rvl format. Used by the pack tool, the demo
// module build and the tests; the reader itself never writes a module.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "module/format.h"

namespace rvlpack {

// A media block's bytes. Questions naming one file share one copy of it, so
// a block is changed by replacing it whole, or through edit() (which parts
// it from the others first).
class MediaBytes {
public:
    MediaBytes() = default;
    MediaBytes(std::vector<uint8_t> bytes) : bytes_(std::make_shared<std::vector<uint8_t>>(std::move(bytes))) {}
    const std::vector<uint8_t>& bytes() const { return bytes_ ? *bytes_ : none(); }
    operator const std::vector<uint8_t>&() const { return bytes(); }
    const uint8_t* data() const { return bytes().data(); }
    size_t size() const { return bytes().size(); }
    bool empty() const { return bytes().empty(); }
    std::vector<uint8_t>& edit() {
        if (!bytes_ || bytes_.use_count() > 1) bytes_ = std::make_shared<std::vector<uint8_t>>(bytes());
        return *bytes_;
    }
    // What stands for the stored copy: equal for blocks that share it.
    const void* copy() const { return bytes_.get(); }
    friend bool operator==(const MediaBytes& a, const std::vector<uint8_t>& b) { return a.bytes() == b; }
    friend bool operator==(const MediaBytes& a, const MediaBytes& b) { return a.bytes() == b.bytes(); }

private:
    static const std::vector<uint8_t>& none() {
        static const std::vector<uint8_t> empty;
        return empty;
    }
    std::shared_ptr<std::vector<uint8_t>> bytes_;
};

struct Question {
    char type = rvlformat::typeCode(rvlformat::AskType::Text);  // as stored: any byte
    std::wstring question;    // UTF-16 code units, at most 255
    std::wstring answer;
    uint16_t points = 0;
    MediaBytes media;  // picture, sound, or a video's sound track
    MediaBytes video;  // a video's only
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
