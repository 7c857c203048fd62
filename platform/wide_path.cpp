// Linux file names are bytes; the program's paths are UTF-16, so encode them
// as UTF-8 before opening.
#include "platform/wide_path.h"

#include "platform/utf16.h"

namespace {

bool escapedByte(wchar_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }

// Length of the well-formed UTF-8 sequence at bytes[i], or 0.
size_t utf8Length(const std::string& bytes, size_t i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
    if (extra == 4 || extra > bytes.size() - i - 1) return 0;
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (size_t k = 1; k <= extra; ++k) {
        unsigned char next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (next & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return extra + 1;
}

} // namespace

std::wstring pathToUtf16(const std::string& bytes) {
    std::wstring path;
    for (size_t i = 0; i < bytes.size();) {
        size_t n = utf8Length(bytes, i);
        if (n == 0) {
            path.push_back(static_cast<wchar_t>(0xDC00 + static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        path += utf8ToUtf16(bytes.substr(i, n));
        i += n;
    }
    return path;
}

FILE* openWidePath(const std::wstring& path, const char* mode) {
    // Runs of ordinary units go through UTF-8; an escaped byte is itself.
    std::string bytes;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        bool lone = i < path.size() && escapedByte(path[i]) && (i == 0 || (path[i - 1] & 0xFC00) != 0xD800);
        if (i < path.size() && !lone) continue;
        bytes += utf16ToUtf8(path.substr(start, i - start));
        if (lone) bytes.push_back(static_cast<char>(path[i] - 0xDC00));
        start = i + 1;
    }
    if (bytes.find('\0') != std::string::npos) return nullptr;
    return fopen(bytes.c_str(), mode);
}
