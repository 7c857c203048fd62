// SPDX-License-Identifier: GPL-3.0-or-later
// Findings of the pack tool about a manifest or a pack: hard errors (the
// format cannot hold it), warnings (the reader will show it badly), notes.
#pragma once

#include <string>
#include <vector>

namespace rvlpack {

enum class Severity { Note, Warning, Error };

struct Finding {
    Severity severity = Severity::Error;
    std::string where;  // "topic 2 question 3", a file name, or empty
    std::string text;   // what is wrong and what to do about it
};

void addFinding(std::vector<Finding>& issues, Severity severity, const std::string& where, const std::string& text);
size_t countFindings(const std::vector<Finding>& issues, Severity severity);
// "error: topic 2 question 3: ..." (no line end).
std::string formatFinding(const Finding& issue);
// "topic 2", "topic 2 question 3" (numbers from 1).
std::string topicPlace(size_t topicIndex);
std::string questionPlace(size_t topicIndex, size_t questionIndex);
// The place of a question for a host looking for it: its numbers, the start
// of its text and its media file as the manifest names it (either may be
// empty): topic 2 question 3 "Кто написал эту…" (media/song.mp3).
std::string questionLabel(size_t topicIndex, size_t questionIndex, const std::wstring& question,
                          const std::string& file);
// The first maxChars characters of text in UTF-8, with "…" when it is longer;
// a surrogate pair is never split.
std::string shortText(const std::wstring& text, size_t maxChars);
// The path for a message: bytes below 0x20 and 0x7F as \xHH, so that a name
// holding a NUL or a line end shows whole and on one line.
std::string shownPath(const std::string& path);

} // namespace rvlpack
