// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a module field by field. Every count and length is compared with the
// bytes left before anything is read or allocated (as `n <= size - at`, with
// at never past size, so the check cannot overflow); the first field that
// does not fit ends the read with a Failure naming it.
#include "module/format.h"

#include <cstring>

namespace rvlformat {

namespace {

class Reader {
public:
    Reader(const uint8_t* data, FILE* file, uint64_t size, Failure& failure)
        : data_(data), file_(file), size_(size), failure_(failure) {}

    uint64_t at = 0;
    size_t topic = 0;
    size_t ask = 0;

    // The one failure setter: records what went wrong where, returns false.
    bool fail(Fault fault, Field field, uint64_t start, uint64_t needed) {
        failure_ = Failure{fault, field, topic, ask, start, needed, size_ - start};
        return false;
    }

    bool magic() {
        uint8_t bytes[kMagicSize] = {};
        if (kMagicSize > left() || !take(bytes, kMagicSize) || memcmp(bytes, kMagic, kMagicSize) != 0)
            return fail(Fault::NotAModule, Field::Magic, 0, kMagicSize);
        return true;
    }
    bool byte(uint8_t& v, Field field) { return fixed(&v, 1, field); }
    bool u16(uint16_t& v, Field field) {
        uint8_t b[2];
        if (!fixed(b, 2, field)) return false;
        v = u16At(b);
        return true;
    }
    bool u32(uint32_t& v, Field field) {
        uint8_t b[4];
        if (!fixed(b, 4, field)) return false;
        v = u32At(b);
        return true;
    }
    // A module string: a count byte, then that many UTF-16BE units.
    bool text(std::wstring& out, Field field) {
        const uint64_t start = at;
        uint8_t count = 0;
        if (!byte(count, field)) return false;
        const uint64_t bytes = 2u * uint64_t(count);
        if (bytes > left()) return fail(Fault::Truncated, field, start, 1 + bytes);
        uint8_t units[2 * kMaxTextUnits];
        if (!take(units, bytes)) return fail(Fault::ReadFailed, field, start, 1 + bytes);
        out.resize(count);
        for (size_t i = 0; i < count; ++i) out[i] = static_cast<wchar_t>(u16At(units + 2 * i));
        return true;
    }
    // A u32 length, then that many bytes, handed to the sink.
    bool block(ModuleSink& sink, Field lengthField, Field blockField) {
        uint32_t length = 0;
        if (!u32(length, lengthField)) return false;
        sink.blockLength(blockField, length);
        if (length > left()) return fail(Fault::Truncated, blockField, at, length);
        uint8_t* to = nullptr;
        if (!sink.block(blockField, length, to)) return fail(Fault::NoMemory, blockField, at, length);
        const uint64_t start = at;
        return take(to, length) || fail(Fault::ReadFailed, blockField, start, length);
    }

private:
    const uint8_t* data_;
    FILE* file_;
    uint64_t size_;
    Failure& failure_;

    uint64_t left() const { return size_ - at; }

    bool fixed(uint8_t* to, size_t n, Field field) {
        if (n > left()) return fail(Fault::Truncated, field, at, n);
        const uint64_t start = at;
        return take(to, n) || fail(Fault::ReadFailed, field, start, n);
    }
    // Moves n bytes, already known to be within the size, into `to` (or past
    // them when `to` is null).
    bool take(uint8_t* to, uint64_t n) {
        if (n == 0) return true;
        bool ok = true;
        if (data_) {
            if (to) memcpy(to, data_ + at, static_cast<size_t>(n));
        } else if (to) {
            ok = fread(to, 1, static_cast<size_t>(n), file_) == n;
        } else {
            ok = fseeko(file_, static_cast<off_t>(n), SEEK_CUR) == 0;
        }
        at += n;
        return ok;
    }
};

bool readMedia(Reader& in, ModuleSink& sink, char type) {
    switch (askType(type)) {
    case AskType::Picture: return in.block(sink, Field::PictureLength, Field::Picture);
    case AskType::Audio: return in.block(sink, Field::SoundLength, Field::Sound);
    case AskType::Video:
        return in.block(sink, Field::TrackLength, Field::Track) && in.block(sink, Field::VideoLength, Field::Video);
    default: return true;
    }
}

bool readAll(Reader& in, ModuleSink& sink) {
    if (!in.magic()) return false;
    uint32_t created = 0;
    std::wstring packName, author;
    if (!in.u32(created, Field::Created) || !in.text(packName, Field::PackName) || !in.text(author, Field::Author))
        return false;
    sink.header(created, packName, author);
    uint8_t topicCount = 0;
    if (!in.byte(topicCount, Field::TopicCount)) return false;
    sink.topicCount(topicCount);
    for (in.topic = 0; in.topic < topicCount; ++in.topic) {
        std::wstring name;
        uint8_t askCount = 0;
        if (!in.text(name, Field::TopicName) || !in.byte(askCount, Field::AskCount)) return false;
        sink.topic(name, askCount);
        for (in.ask = 0; in.ask < askCount; ++in.ask) {
            AskHead head;
            uint8_t type = 0;
            if (!in.byte(type, Field::Type) || !in.text(head.question, Field::Question) ||
                !in.text(head.answer, Field::Answer) || !in.u16(head.points, Field::Points))
                return false;
            head.type = static_cast<char>(type);
            sink.ask(head, in.at);
            if (!readMedia(in, sink, head.type)) return false;
            sink.askDone();
        }
    }
    return true;
}

bool readWith(Reader& in, ModuleSink& sink, uint64_t* end) {
    bool read = readAll(in, sink);
    if (end) *end = in.at;
    return read;
}

} // namespace

bool readModule(const uint8_t* data, uint64_t size, ModuleSink& sink, Failure& failure, uint64_t* end) {
    Reader in(data, nullptr, data ? size : 0, failure);
    return readWith(in, sink, end);
}

bool readModule(FILE* file, uint64_t size, ModuleSink& sink, Failure& failure, uint64_t* end) {
    Reader in(nullptr, file, size, failure);
    return readWith(in, sink, end);
}

} // namespace rvlformat
