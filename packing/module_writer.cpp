// SPDX-License-Identifier: GPL-3.0-or-later
// The .rvl writer: big-endian numbers, count-prefixed UTF-16BE strings, and
// media blocks behind their u32 lengths, in file order.
#include "packing/module_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "packing/temporary_files.h"
#include "platform/files.h"
#include "platform/utf16.h"

namespace rvlpack {

namespace {

bool setError(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

std::string atMost(uint64_t limit) { return ", the format holds at most " + std::to_string(limit); }

// Where the bytes go: a vector, or a file written in large pieces so that
// media blocks are not copied a second time, or nowhere (CountingOut).
struct VectorOut {
    std::vector<uint8_t>& out;
    void bytes(const uint8_t* data, size_t size) { out.insert(out.end(), data, data + size); }
};

struct FileOut {
    FILE* file;
    bool ok = true;
    std::vector<uint8_t> pending;

    void flush() {
        if (ok && !pending.empty() && fwrite(pending.data(), 1, pending.size(), file) != pending.size()) ok = false;
        pending.clear();
    }
    void bytes(const uint8_t* data, size_t size) {
        if (size >= 65536) {
            flush();
            if (ok && fwrite(data, 1, size, file) != size) ok = false;
            return;
        }
        pending.insert(pending.end(), data, data + size);
        if (pending.size() >= (1u << 20)) flush();
    }
};

// Counts what would be written, for the size of a module before it is.
struct CountingOut {
    uint64_t size = 0;
    void bytes(const uint8_t*, size_t count) { size += count; }
};

template <class Out> void putByte(Out& out, uint8_t v) { out.bytes(&v, 1); }

template <class Out> void putU16(Out& out, uint16_t v) {
    uint8_t b[2] = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    out.bytes(b, 2);
}

template <class Out> void putU32(Out& out, uint32_t v) {
    uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                    static_cast<uint8_t>(v)};
    out.bytes(b, 4);
}

template <class Out> void putString(Out& out, const std::wstring& text) {
    putByte(out, static_cast<uint8_t>(text.size()));
    for (wchar_t unit : text) putU16(out, static_cast<uint16_t>(unit));
}

template <class Out> void putBlock(Out& out, const std::vector<uint8_t>& block) {
    putU32(out, static_cast<uint32_t>(block.size()));
    out.bytes(block.data(), block.size());
}

// The whole file layout, in file order. Limits are checked by the caller.
template <class Out> void emitModule(const Module& module, Out& out) {
    out.bytes(reinterpret_cast<const uint8_t*>(rvlformat::kMagic), rvlformat::kMagicSize);
    putU32(out, module.created);
    putString(out, module.packName);
    putString(out, module.author);
    putByte(out, static_cast<uint8_t>(module.topics.size()));
    for (const Topic& topic : module.topics) {
        putString(out, topic.name);
        putByte(out, static_cast<uint8_t>(topic.questions.size()));
        for (const Question& ask : topic.questions) {
            putByte(out, static_cast<uint8_t>(ask.type));
            putString(out, ask.question);
            putString(out, ask.answer);
            putU16(out, ask.points);
            if (rvlformat::carriesMedia(ask.type)) putBlock(out, ask.media);
            if (rvlformat::carriesVideo(ask.type)) putBlock(out, ask.video);
        }
    }
    out.bytes(module.trailing.data(), module.trailing.size());
}

bool checkText(const std::wstring& text, const std::string& where, std::string* error) {
    if (text.size() > rvlformat::kMaxTextUnits)
        return setError(error, where + ": " + std::to_string(text.size()) + " UTF-16 units" + atMost(rvlformat::kMaxTextUnits));
    for (wchar_t unit : text) {
        if (static_cast<uint32_t>(unit) > 0xFFFF)
            return setError(error, where + ": holds a value that is not a UTF-16 code unit");
    }
    return true;
}

bool checkBlock(const std::vector<uint8_t>& block, const std::string& where, std::string* error) {
    if (block.size() > rvlformat::kMaxBlock)
        return setError(error, where + ": " + std::to_string(block.size()) + " bytes" + atMost(rvlformat::kMaxBlock));
    return true;
}

} // namespace

bool checkLimits(const Module& module, std::string* error) {
    if (!checkText(module.packName, "pack name", error) || !checkText(module.author, "author", error)) return false;
    if (module.topics.size() > rvlformat::kMaxTopics)
        return setError(error, std::to_string(module.topics.size()) + " topics" + atMost(rvlformat::kMaxTopics));
    for (size_t t = 0; t < module.topics.size(); ++t) {
        const Topic& topic = module.topics[t];
        std::string at = "topic " + std::to_string(t + 1);
        if (!checkText(topic.name, at + " name", error)) return false;
        if (topic.questions.size() > rvlformat::kMaxAsks)
            return setError(error, at + ": " + std::to_string(topic.questions.size()) + " questions" +
                                       atMost(rvlformat::kMaxAsks));
        for (size_t q = 0; q < topic.questions.size(); ++q) {
            const Question& ask = topic.questions[q];
            std::string qat = at + " question " + std::to_string(q + 1);
            if (!checkText(ask.question, qat + " text", error) || !checkText(ask.answer, qat + " answer", error) ||
                !checkBlock(ask.media, qat + " media", error) || !checkBlock(ask.video, qat + " video", error))
                return false;
        }
    }
    return true;
}

bool writeModule(const Module& module, std::vector<uint8_t>& out, std::string* error) {
    if (!checkLimits(module, error)) return false;
    out.reserve(out.size() + static_cast<size_t>(moduleSize(module)));
    VectorOut sink{out};
    emitModule(module, sink);
    return true;
}

uint64_t moduleSize(const Module& module) {
    CountingOut sink;
    emitModule(module, sink);
    return sink.size;
}

bool writeModuleFile(const Module& module, const std::string& path, std::string* error) {
    if (!checkLimits(module, error)) return false;
    std::string temp = path + ".tmp-XXXXXX";
    int fd = mkstemp(&temp[0]);
    if (fd < 0) return setError(error, "cannot create " + path + ": " + strerror(errno));
    holdTemporary(temp);
    struct Release {
        const std::string& temp;
        ~Release() { releaseTemporary(temp); }
    } release{temp};
    giveCreationMode(fd);
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        remove(temp.c_str());
        return setError(error, "cannot write " + path + ": " + strerror(errno));
    }
    FileOut sink{file, true, {}};
    emitModule(module, sink);
    sink.flush();
    int writeErrno = sink.ok ? 0 : errno;
    bool written = sink.ok && fflush(file) == 0;
    if (written && fsync(fileno(file)) != 0) written = false;
    if (!written && !writeErrno) writeErrno = errno;
    written = fclose(file) == 0 && written;
    if (written && rename(temp.c_str(), path.c_str()) != 0) {
        writeErrno = errno;
        written = false;
    }
    if (!written) {
        remove(temp.c_str());
        return setError(error, "cannot write " + path + ": " + strerror(writeErrno ? writeErrno : EIO));
    }
    return true;
}

std::wstring u16(const std::string& utf8) { return utf8ToUtf16(utf8); }

} // namespace rvlpack
