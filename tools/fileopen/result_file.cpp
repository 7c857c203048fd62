// Encoding and writing of the chooser's result record.
#include "tools/fileopen/result_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

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
    if (units.size() > kMaxPathUnits) {
        reason = format(tr("the path takes %zu UTF-16 units, and the answer file holds at most %zu; a path cut "
                           "short would name another file"),
                        units.size(), kMaxPathUnits);
        return false;
    }
    record.clear();
    record.push_back(static_cast<uint8_t>(units.size()));
    for (wchar_t unit : units) {
        record.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
        record.push_back(static_cast<uint8_t>(unit & 0xFF));
    }
    return true;
}

std::vector<uint8_t> nothingChosen() { return std::vector<uint8_t>{0}; }

bool writeResultFile(const std::string& name, const std::vector<uint8_t>& record, std::string& reason) {
    FILE* file = fopen(name.c_str(), "wb");
    if (!file) {
        reason = format("fopen(\"%s\"): %s", name.c_str(), strerror(errno));
        return false;
    }
    bool written = fwrite(record.data(), 1, record.size(), file) == record.size();
    int writeError = errno;
    bool closed = fclose(file) == 0;
    if (!written || !closed) {
        reason = format(tr("writing \"%s\": %s"), name.c_str(), strerror(written ? errno : writeError));
        return false;
    }
    return true;
}
