// SPDX-License-Identifier: GPL-3.0-or-later
// UTF-16 code units (one per wchar_t) to UTF-8 bytes. Surrogate pairs are
// joined; a unit that cannot be paired becomes U+FFFD.
#pragma once

#include <string>

// Appends the UTF-8 form of one code point to out.
void appendUtf8(std::string& out, char32_t codePoint);
std::string utf16ToUtf8(const std::wstring& units);
// UTF-8 to UTF-16 code units; malformed bytes become U+FFFD.
std::wstring utf8ToUtf16(const std::string& bytes);
// A file name from the command line or the chooser as UTF-16, keeping every
// byte: each byte that is not part of UTF-8 becomes a lone surrogate
// U+DC80..U+DCFF (the usual convention for file names on Linux), which
// openWidePath turns back into the same byte.
std::wstring pathToUtf16(const std::string& bytes);
