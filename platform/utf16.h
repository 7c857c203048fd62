// UTF-16 code units (one per wchar_t) to UTF-8 bytes. Surrogate pairs are
// joined; a unit that cannot be paired becomes U+FFFD.
#pragma once

#include <string>

// Appends the UTF-8 form of one code point to out.
void appendUtf8(std::string& out, char32_t codePoint);
std::string utf16ToUtf8(const std::wstring& units);
// UTF-8 to UTF-16 code units; malformed bytes become U+FFFD.
std::wstring utf8ToUtf16(const std::string& bytes);
