// SPDX-License-Identifier: GPL-3.0-or-later
// The UTF-16 and UTF-8 conversions on malformed input: where replacement
// characters go, which bytes a path keeps, and where a cut may fall.
#include <gtest/gtest.h>

#include "platform/utf16.h"

TEST(Utf16, MalformedTextsAndPathsConvertUnitForUnit) {
    const struct {
        std::string bytes;
        std::wstring text, path;  // as utf8ToUtf16 and pathToUtf16 read the bytes
        bool valid;
    } rows[] = {
        {"Ёж 😀", L"Ёж \xD83D\xDE00", L"Ёж \xD83D\xDE00", true},
        {"\xC0\xAF", L"\xFFFD\xFFFD", L"\xDCC0\xDCAF", false},              // an overlong "/"
        {"\xE0\x80\x80x", L"\xFFFD\xFFFD\xFFFDx", L"\xDCE0\xDC80\xDC80x", false},  // an overlong NUL
        {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD", L"\xDCED\xDCA0\xDC80", false},     // an encoded surrogate
        {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD", L"\xDCF4\xDC90\xDC80\xDC80", false},  // past U+10FFFF
        {"a\xD0", L"a\xFFFD", L"a\xDCD0", false},                                 // cut short
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
        EXPECT_EQ(utf8ToUtf16(row.bytes), row.text);
        EXPECT_EQ(pathToUtf16(row.bytes), row.path);
        EXPECT_EQ(pathFromUtf16(row.path), row.bytes) << "every byte of a path comes back";
        EXPECT_EQ(isValidUtf8(row.bytes), row.valid);
        EXPECT_EQ(hasLoneSurrogate(row.path), !row.valid);
    }
    // Lone halves become U+FFFD, a pair one character, wherever they stand.
    EXPECT_EQ(utf16ToUtf8({0xDE00, 0xD83D, 0xDE00, L'x', 0xD83D}), "\xEF\xBF\xBD😀x\xEF\xBF\xBD");
    EXPECT_EQ(pathFromUtf16({0xD800, 0xDC80, 0xDC80}), "\xF0\x90\x82\x80\x80") << "a paired half is no byte";
    EXPECT_EQ(utf16Length("Ё😀x"), 4u);
    const std::string cut = "aЁ😀";
    const size_t starts[] = {0, 1, 1, 3, 3, 3, 3};
    for (size_t at = 0; at < cut.size(); ++at) EXPECT_EQ(utf8CharacterStart(cut.data(), at), starts[at]) << at;
}
