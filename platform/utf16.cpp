// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions between the program's UTF-16 texts and UTF-8, on one reader
// of each: nextCodePoint for units, utf8Sequence for bytes.
#include "platform/utf16.h"

namespace {

void appendUtf16(std::wstring& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

// A path's byte 0x80..0xFF that is not UTF-8 travels as the lone unit
// escapeBase + byte.
const char32_t escapeBase = 0xDC00;

// UTF-8 to UTF-16, each byte that is not part of a well-formed sequence
// becoming the unit stand(byte).
template <class StandIn> std::wstring decodeUtf8(const std::string& bytes, StandIn stand) {
    std::wstring out;
    for (size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        size_t n = utf8Sequence(bytes, i, &cp);
        appendUtf16(out, n ? cp : stand(static_cast<unsigned char>(bytes[i])));
        i += n ? n : 1;
    }
    return out;
}

} // namespace

char32_t nextCodePoint(const std::wstring& text, size_t& i) {
    char32_t unit = static_cast<char32_t>(text[i++]) & 0xFFFF;
    if (isHighSurrogate(unit) && i < text.size() && isLowSurrogate(static_cast<char32_t>(text[i])))
        return joinedPair(unit, static_cast<char32_t>(text[i++]));
    return unit;
}

bool hasLoneSurrogate(const std::wstring& text) {
    for (size_t i = 0; i < text.size();) {
        if (isSurrogateCode(nextCodePoint(text, i))) return true;
    }
    return false;
}

size_t utf8Sequence(const std::string& bytes, size_t i, char32_t* codePoint) {
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
    if (cp < least[extra] || cp > 0x10FFFF || isSurrogateCode(cp)) return 0;
    if (codePoint) *codePoint = cp;
    return extra + 1;
}

bool isValidUtf8(const std::string& bytes) {
    for (size_t i = 0, n = 0; i < bytes.size(); i += n) {
        if ((n = utf8Sequence(bytes, i)) == 0) return false;
    }
    return true;
}

size_t utf16Length(const std::string& utf8) {
    size_t units = 0;
    // A lead byte starts a character; one of four bytes, a pair.
    for (unsigned char c : utf8) units += (c & 0xC0) != 0x80 ? 1 + (c >= 0xF0) : 0;
    return units;
}

size_t utf8CharacterStart(const char* bytes, size_t at) {
    while (at > 0 && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80) --at;
    return at;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || isSurrogateCode(cp)) cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string utf16ToUtf8(const std::wstring& units) {
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size();) appendUtf8(out, nextCodePoint(units, i));
    return out;
}

std::wstring utf8ToUtf16(const std::string& bytes) {
    return decodeUtf8(bytes, [](unsigned char) -> char32_t { return 0xFFFD; });
}

std::wstring pathToUtf16(const std::string& bytes) {
    return decodeUtf8(bytes, [](unsigned char stray) { return escapeBase + stray; });
}

std::string pathFromUtf16(const std::wstring& path) {
    std::string bytes;
    for (size_t i = 0; i < path.size();) {
        char32_t cp = nextCodePoint(path, i);
        if (cp >= escapeBase + 0x80 && cp <= escapeBase + 0xFF)
            bytes.push_back(static_cast<char>(cp - escapeBase));
        else
            appendUtf8(bytes, cp);
    }
    return bytes;
}
