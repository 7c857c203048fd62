// The checked module parser: each field is read only after its length has
// been compared with the bytes left, so a foreign or cut file fails with the
// offset of the field that does not fit instead of reading past the end.
#include "packing/pack_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "packing/issues.h"

namespace rvlpack {

namespace {

struct Cursor {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    ReadFailure* failure;

    size_t left() const { return size - pos; }

    // False, with the failure set, when fewer than n bytes are left.
    bool need(uint64_t n, const std::string& what) {
        if (n <= left()) return true;
        if (failure) {
            failure->atOffset = true;
            failure->offset = pos;
            failure->message = "truncated at byte " + std::to_string(pos) + ": the file ends inside " + what +
                               " (needs " + std::to_string(n) + " bytes, " + std::to_string(left()) +
                               " left); the pack is cut short or damaged, build it again";
        }
        return false;
    }
    bool byte(uint8_t& v, const std::string& what) {
        if (!need(1, what)) return false;
        v = data[pos++];
        return true;
    }
    bool u16(uint16_t& v, const std::string& what) {
        if (!need(2, what)) return false;
        v = static_cast<uint16_t>(data[pos] << 8 | data[pos + 1]);
        pos += 2;
        return true;
    }
    bool u32(uint32_t& v, const std::string& what) {
        if (!need(4, what)) return false;
        v = uint32_t(data[pos]) << 24 | uint32_t(data[pos + 1]) << 16 | uint32_t(data[pos + 2]) << 8 | data[pos + 3];
        pos += 4;
        return true;
    }
    bool text(std::wstring& v, const std::string& what) {
        size_t start = pos;
        uint8_t count = 0;
        if (!byte(count, what)) return false;
        if (2u * count > left()) {
            pos = start;  // the offset of the count byte that promises too much
            return need(1u + 2u * count, what);
        }
        v.clear();
        for (unsigned i = 0; i < count; ++i, pos += 2) v.push_back(static_cast<wchar_t>(data[pos] << 8 | data[pos + 1]));
        return true;
    }
    bool block(std::vector<uint8_t>& v, const std::string& what) {
        uint32_t length = 0;
        if (!u32(length, "the length of " + what)) return false;
        if (!need(length, what)) return false;
        v.assign(data + pos, data + pos + length);
        pos += length;
        return true;
    }
};

std::string printableStart(const uint8_t* data, size_t size) {
    std::string shown;
    for (size_t i = 0; i < size && i < 4; ++i) {
        char hex[8];
        snprintf(hex, sizeof hex, "%s%02X", i ? " " : "", data[i]);
        shown += hex;
    }
    return shown;
}

} // namespace

bool readModule(const uint8_t* data, size_t size, Module& module, ReadFailure* failure) {
    module = Module{};
    if (size < 4 || memcmp(data, "RVL1", 4) != 0) {
        if (failure) {
            failure->atOffset = true;
            failure->offset = 0;
            failure->message = size == 0 ? std::string("not a module: the file is empty, a module starts with \"RVL1\" at byte 0")
                                         : "not a module: it starts with the bytes " + printableStart(data, size) +
                                               " at byte 0, a module starts with \"RVL1\"";
            failure->message += "; give a .rvl pack made by rvl-pack build";
        }
        return false;
    }
    Cursor in{data, size, 4, failure};
    uint8_t topicCount = 0;
    if (!in.u32(module.created, "the creation time") || !in.text(module.packName, "the pack name") ||
        !in.text(module.author, "the author") || !in.byte(topicCount, "the topic count"))
        return false;
    module.topics.resize(topicCount);
    for (size_t t = 0; t < topicCount; ++t) {
        Topic& topic = module.topics[t];
        std::string at = topicPlace(t);
        uint8_t questionCount = 0;
        if (!in.text(topic.name, "the name of " + at) || !in.byte(questionCount, "the question count of " + at))
            return false;
        topic.questions.resize(questionCount);
        for (size_t q = 0; q < questionCount; ++q) {
            Question& ask = topic.questions[q];
            std::string qat = " of " + questionPlace(t, q);
            uint8_t type = 0;
            if (!in.byte(type, "the type" + qat) || !in.text(ask.question, "the question text" + qat) ||
                !in.text(ask.answer, "the answer" + qat) || !in.u16(ask.points, "the points" + qat))
                return false;
            ask.type = static_cast<char>(type);
            if (ask.type == 'I' && !in.block(ask.media, "the picture" + qat)) return false;
            if (ask.type == 'A' && !in.block(ask.media, "the sound" + qat)) return false;
            if (ask.type == 'V' &&
                (!in.block(ask.media, "the sound track" + qat) || !in.block(ask.video, "the video" + qat)))
                return false;
        }
    }
    module.trailing.assign(data + in.pos, data + size);
    return true;
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) {
    bytes.clear();
    // Non-blocking, so that a FIFO with no writer is refused instead of
    // waiting; only regular files are read, and no further than their size.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        std::string why = fd < 0 || !st.st_mode ? strerror(errno)
                          : S_ISDIR(st.st_mode) ? strerror(EISDIR)
                                                : "not a regular file (a device, FIFO or socket)";
        if (fd >= 0) close(fd);
        if (error) *error = "cannot open " + shownPath(path) + ": " + why;
        return false;
    }
    size_t size = static_cast<size_t>(st.st_size);
    bool ok = true;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        ok = false;
        errno = ENOMEM;
    }
    size_t done = 0;
    while (ok && done < size) {
        ssize_t n = read(fd, bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;  // the file shrank while it was read
            ok = false;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    int code = errno;
    close(fd);
    if (!ok) {
        bytes.clear();
        if (error) *error = "cannot read " + shownPath(path) + ": " + strerror(code);
    }
    return ok;
}

bool readModuleFile(const std::string& path, Module& module, ReadFailure* failure) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(path, bytes, &error)) {
        if (failure) {
            failure->atOffset = false;
            failure->message = error;
        }
        return false;
    }
    return readModule(bytes.data(), bytes.size(), module, failure);
}

} // namespace rvlpack
