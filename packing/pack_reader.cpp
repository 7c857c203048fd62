// SPDX-License-Identifier: GPL-3.0-or-later
// The pack tool's module reader: the format core reads the fields into a
// Module, and a foreign or cut file fails with a message naming the offset
// of the field that does not fit.
#include "packing/pack_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "module/format.h"
#include "packing/findings.h"
#include "platform/texts.h"

namespace rvlpack {

namespace {

using rvlformat::Field;

// Fills a Module; media blocks are copied into its vectors.
class ModuleFiller : public rvlformat::ModuleSink {
public:
    explicit ModuleFiller(Module& module) : module_(module) {}

private:
    Module& module_;

    void header(uint32_t created, std::wstring& packName, std::wstring& author) override {
        module_.created = created;
        module_.packName = std::move(packName);
        module_.author = std::move(author);
    }
    void topicCount(size_t count) override { module_.topics.reserve(count); }
    void topic(std::wstring& name, size_t askCount) override {
        module_.topics.push_back(Topic{std::move(name), {}});
        module_.topics.back().questions.reserve(askCount);
    }
    void ask(rvlformat::AskHead& head, uint64_t) override {
        module_.topics.back().questions.push_back(questionFrom(head));
    }
    bool block(Field block, uint32_t length, uint8_t*& to) override {
        Question& q = module_.topics.back().questions.back();
        std::vector<uint8_t>& bytes = (block == Field::Video ? q.video : q.media).edit();
        bytes.resize(length);
        to = bytes.data();
        return true;
    }
};

// The field as the messages name it, in the order of Field; those of a topic
// or a question get its place appended.
const char* const kFieldNames[] = {
    N_("the magic"), N_("the creation time"), N_("the pack name"), N_("the author"), N_("the topic count"),
    N_("the name"), N_("the question count"),
    N_("the type"), N_("the question text"), N_("the answer"), N_("the points"),
    N_("the length of the picture"), N_("the picture"), N_("the length of the sound"), N_("the sound"),
    N_("the length of the sound track"), N_("the sound track"), N_("the length of the video"), N_("the video"),
};
static_assert(sizeof kFieldNames / sizeof *kFieldNames == size_t(Field::Video) + 1, "a name for every field");

std::string fieldName(const rvlformat::Failure& f) {
    const char* name = tr(kFieldNames[static_cast<size_t>(f.field)]);
    if (f.field >= Field::Type) return format(tr("%s of %s"), name, questionPlace(f.topic, f.ask).c_str());
    if (f.field >= Field::TopicName) return format(tr("%s of %s"), name, topicPlace(f.topic).c_str());
    return name;
}

std::string printableStart(const uint8_t* data, size_t size) {
    std::string shown;
    for (size_t i = 0; i < size && i < 4; ++i) {
        char hex[8];
        snprintf(hex, sizeof hex, "%s%02X", i ? " " : "", data[i]);
        shown += hex;
    }
    return shown;
}

std::string failureMessage(const rvlformat::Failure& f, const uint8_t* data, size_t size) {
    if (f.fault == rvlformat::Fault::NotAModule) {
        return size == 0 ? tr("not a module: the file is empty, a module starts with \"RVL1\" at byte 0; give a .rvl "
                              "pack made by rvl-pack build")
                         : format(tr("not a module: it starts with the bytes %s at byte 0, a module starts with "
                                     "\"RVL1\"; give a .rvl pack made by rvl-pack build"),
                                  printableStart(data, size).c_str());
    }
    return format(tr("truncated at byte %llu: the file ends inside %s (needs %llu bytes, %llu left); the pack "
                     "is cut short or damaged, build it again"),
                  static_cast<unsigned long long>(f.offset), fieldName(f).c_str(),
                  static_cast<unsigned long long>(f.needed), static_cast<unsigned long long>(f.left));
}

} // namespace

bool readModule(const uint8_t* data, size_t size, Module& module, ReadFailure* failure) {
    module = Module{};
    ModuleFiller filler(module);
    rvlformat::Failure found;
    uint64_t end = 0;
    if (!rvlformat::readModule(data, size, filler, found, &end)) {
        if (failure) {
            failure->atOffset = true;
            failure->offset = found.offset;
            failure->message = failureMessage(found, data, size);
        }
        return false;
    }
    module.trailing.assign(data + end, data + size);
    return true;
}

namespace {

// Opens path for reading if it is a regular file; fd and size, or false with
// error set. Non-blocking, so that a FIFO with no writer is refused instead
// of waited for. With checked, the file opened must be the one stat gave
// (and with noFollow, not a link), so that what is read is what was checked.
bool openRegularFile(const std::string& path, int& fd, uint64_t& size, std::string* error,
                     const struct stat* checked = nullptr, bool noFollow = false) {
    fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0));
    struct stat st {};
    bool swapped = fd >= 0 && checked && fstat(fd, &st) == 0 &&
                   (st.st_dev != checked->st_dev || st.st_ino != checked->st_ino);
    if (swapped || (fd < 0 && noFollow && errno == ELOOP)) {
        if (fd >= 0) close(fd);
        fd = -1;
        if (error)
            *error = format(tr("cannot open %s: it was replaced while the build ran; run it again"), shownPath(path).c_str());
        return false;
    }
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        std::string why = fd < 0 || !st.st_mode ? strerror(errno)
                          : S_ISDIR(st.st_mode) ? strerror(EISDIR)
                                                : tr("not a regular file (a device, FIFO or socket)");
        if (fd >= 0) close(fd);
        fd = -1;
        if (error) *error = format(tr("cannot open %s: %s"), shownPath(path).c_str(), why.c_str());
        return false;
    }
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

} // namespace

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error,
                   const struct stat* checked, bool noFollow) {
    bytes.clear();
    int fd = -1;
    uint64_t fileSize = 0;
    if (!openRegularFile(path, fd, fileSize, error, checked, noFollow)) return false;
    // Read no further than the size: a file growing meanwhile is not followed.
    size_t size = static_cast<size_t>(fileSize);
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
            if (n == 0) errno = 0;  // the file shrank while it was read
            ok = false;
        } else {
            done += static_cast<size_t>(n);
        }
    }
    int code = errno;
    close(fd);
    if (!ok) {
        bytes.clear();
        if (error)
            *error = code ? format(tr("cannot read %s: %s"), shownPath(path).c_str(), strerror(code))
                          : format(tr("cannot read %s: it shrank to %zu of its %zu bytes while it was read; run "
                                      "it again"),
                                   shownPath(path).c_str(), done, size);
    }
    return ok;
}

bool readPackFile(const std::string& path, rvlformat::ModuleSink& sink, ReadFailure* failure, uint64_t* end,
                  uint64_t* size, std::vector<uint8_t>* trailing) {
    int fd = -1;
    uint64_t fileSize = 0;
    std::string error;
    if (!openRegularFile(path, fd, fileSize, &error)) {
        if (failure) {
            failure->atOffset = false;
            failure->message = error;
        }
        return false;
    }
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        close(fd);
        if (failure) failure->message = format(tr("cannot open %s: %s"), shownPath(path).c_str(), strerror(errno));
        return false;
    }
    rvlformat::Failure found;
    uint64_t last = 0;
    bool read = rvlformat::readModule(file, fileSize, sink, found, &last);
    if (!read && failure) {
        uint8_t start[4] = {};  // shown when the file is not a module
        ssize_t got = pread(fd, start, sizeof start, 0);
        failure->atOffset = true;
        failure->offset = found.offset;
        failure->message = failureMessage(found, start, got > 0 ? static_cast<size_t>(got) : 0);
    }
    if (read && trailing) {
        trailing->resize(static_cast<size_t>(fileSize - last));
        read = fread(trailing->data(), 1, trailing->size(), file) == trailing->size();
        if (!read && failure) {
            failure->atOffset = false;
            failure->message = format(tr("cannot read %s: %s"), shownPath(path).c_str(), strerror(errno ? errno : EIO));
        }
    }
    fclose(file);
    if (end) *end = last;
    if (size) *size = fileSize;
    return read;
}

bool readModuleFile(const std::string& path, Module& module, ReadFailure* failure) {
    module = Module{};
    ModuleFiller filler(module);
    return readPackFile(path, filler, failure, nullptr, nullptr, &module.trailing);
}

} // namespace rvlpack
