// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding and writing of the chooser's result record.
#include "tools/fileopen/result_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/utf16.h"
#include "tools/fileopen/texts.h"

bool encodeResult(const std::string& utf8Path, std::vector<uint8_t>& record, std::string& reason) {
    // Bytes that are not UTF-8 travel as lone surrogates, which the reader
    // turns back into the same bytes when it opens the file.
    std::wstring units = pathToUtf16(utf8Path);
    if (utf8Path.find('\0') != std::string::npos) {
        reason = tr("the file name holds a NUL byte, which no file name can");
        return false;
    }
    if (units.empty()) {
        reason = tr("the path is empty");
        return false;
    }
    if (units.size() > chooser::kMaxPathUnits) {
        reason = format(tr("the path takes %zu UTF-16 units, and the answer file holds at most %zu; a path cut "
                           "short would name another file"),
                        units.size(), chooser::kMaxPathUnits);
        return false;
    }
    record = chooser::encodeRecord(units);
    return true;
}

std::vector<uint8_t> nothingChosen() { return chooser::encodeRecord({}); }

bool writeResultFile(const std::string& name, const std::vector<uint8_t>& record, std::string& reason) {
    // Written beside it, then renamed over it: the reader finds the old
    // record or the new one, never a part, and whatever stood there before
    // (a FIFO, which a plain open for writing would wait on) is replaced.
    std::string temporary = name + ".XXXXXX";
    int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        reason = format("mkstemp(\"%s\"): %s", temporary.c_str(), strerror(errno));
        return false;
    }
    giveCreationMode(fd);
    size_t done = 0;
    while (done < record.size()) {
        ssize_t n = write(fd, record.data() + done, record.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    int writeError = errno;
    bool closed = close(fd) == 0;
    if (done != record.size() || !closed) {
        reason = format(tr("writing \"%s\": %s"), temporary.c_str(),
                        strerror(done != record.size() ? writeError : errno));
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), name.c_str()) != 0) {
        reason = format("rename(\"%s\", \"%s\"): %s", temporary.c_str(), name.c_str(), strerror(errno));
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
