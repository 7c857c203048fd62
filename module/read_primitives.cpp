// Read primitives of the module format: u16, u32, module strings, time stamps.
#include "module/read_primitives.h"

#include "platform/local_time.h"

uint16_t readU16BE(FILE* file) {
    unsigned char b[2] = {0, 0};
    if (fread(b, 1, 2, file) != 2) return 0;
    return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

uint32_t readU32BE(FILE* file) {
    unsigned char b[4] = {0, 0, 0, 0};
    if (fread(b, 1, 4, file) != 4) return 0;
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
}

std::wstring readString(int count, FILE* file) {
    std::wstring text;
    text.reserve(count > 0 ? static_cast<size_t>(count) : 0);
    for (int i = 0; i < count; ++i) {
        unsigned char b[2];
        if (fread(b, 1, 2, file) != 2) break;
        text.push_back(static_cast<wchar_t>(b[0] * 256 + b[1]));
    }
    return text;
}

std::tm readTime(FILE* file) {
    uint32_t stamp = readU32BE(file);
    std::tm local{};
    localTime64(static_cast<int64_t>(stamp), local);
    return local;
}
