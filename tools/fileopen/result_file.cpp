// Encoding and writing of the chooser's result record.
#include "tools/fileopen/result_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/utf16.h"

bool encodeResult(const std::string& utf8Path, std::vector<uint8_t>& record, std::string& reason) {
    std::wstring units = utf8ToUtf16(utf8Path);
    // A name that is not UTF-8 would come back as a different, unopenable path.
    if (utf8Path.find('\0') != std::string::npos || utf16ToUtf8(units) != utf8Path) {
        reason = "имя файла не в кодировке UTF-8, читалка не сможет его открыть";
        return false;
    }
    if (units.empty()) {
        reason = "путь пуст";
        return false;
    }
    if (units.size() > kMaxPathUnits) {
        reason = "путь занимает " + std::to_string(units.size()) + " знаков UTF-16, а в файл ответа помещается не больше " +
                 std::to_string(kMaxPathUnits) + "; обрезанный путь указал бы на другой файл";
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
        reason = "fopen(\"" + name + "\"): " + strerror(errno);
        return false;
    }
    bool written = fwrite(record.data(), 1, record.size(), file) == record.size();
    int writeError = errno;
    bool closed = fclose(file) == 0;
    if (!written || !closed) {
        reason = "запись \"" + name + "\": " + strerror(written ? errno : writeError);
        return false;
    }
    return true;
}
