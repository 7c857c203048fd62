// SPDX-License-Identifier: GPL-3.0-or-later
// The program's texts are UTF-16 code units, one per wchar_t in its low 16
// bits; files, the console and libraries speak UTF-8. Everything about
// surrogate pairs and UTF-8 sequences lives here. A unit that cannot be
// paired becomes U+FFFD on the way out.
#pragma once

#include <cstddef>
#include <string>

constexpr bool isHighSurrogate(char32_t unit) { return (unit & 0xFC00) == 0xD800; }
constexpr bool isLowSurrogate(char32_t unit) { return (unit & 0xFC00) == 0xDC00; }
// A code point in U+D800..U+DFFF, which no character has.
constexpr bool isSurrogateCode(char32_t codePoint) { return codePoint >= 0xD800 && codePoint <= 0xDFFF; }
constexpr char32_t joinedPair(char32_t high, char32_t low) { return 0x10000 + ((high & 0x3FF) << 10) + (low & 0x3FF); }

// The code point at text[i], a surrogate pair joined, with i moved past it;
// a unit without its other half comes back as it stands.
char32_t nextCodePoint(const std::wstring& text, size_t& i);
// True when text holds half of a surrogate pair without its other half.
bool hasLoneSurrogate(const std::wstring& text);

// The length of the well-formed UTF-8 sequence at bytes[i], its code point
// in *codePoint; 0 for a stray continuation byte, a sequence cut short, an
// overlong form, a surrogate or a code point past U+10FFFF.
size_t utf8Sequence(const std::string& bytes, size_t i, char32_t* codePoint = nullptr);
bool isValidUtf8(const std::string& bytes);
// The UTF-16 units well-formed UTF-8 takes, counted without converting it.
size_t utf16Length(const std::string& utf8);
// Where the UTF-8 character holding bytes[at] starts: a cut there splits none.
size_t utf8CharacterStart(const char* bytes, size_t at);

// Appends the UTF-8 form of one code point to out.
void appendUtf8(std::string& out, char32_t codePoint);
std::string utf16ToUtf8(const std::wstring& units);
// UTF-8 to UTF-16 code units; each byte not part of a well-formed sequence
// becomes U+FFFD.
std::wstring utf8ToUtf16(const std::string& bytes);
// A file name from the command line or the chooser as UTF-16, keeping every
// byte: each byte that is not part of UTF-8 becomes a lone surrogate
// U+DC80..U+DCFF (the usual convention for file names on Linux), which
// pathFromUtf16 turns back into the same byte.
std::wstring pathToUtf16(const std::string& bytes);
std::string pathFromUtf16(const std::wstring& path);
