// SPDX-License-Identifier: GPL-3.0-or-later
// Collecting and wording the pack tool's findings.
#include "packing/findings.h"

#include <cstdio>

#include "platform/utf16.h"

namespace rvlpack {

void addFinding(std::vector<Finding>& issues, Severity severity, const std::string& where, const std::string& text) {
    issues.push_back(Finding{severity, where, text});
}

size_t countFindings(const std::vector<Finding>& issues, Severity severity) {
    size_t n = 0;
    for (const Finding& issue : issues) n += issue.severity == severity;
    return n;
}

std::string formatFinding(const Finding& issue) {
    const char* label = issue.severity == Severity::Error ? "error" : issue.severity == Severity::Warning ? "warning" : "note";
    std::string line = std::string(label) + ": ";
    if (!issue.where.empty()) line += issue.where + ": ";
    return line + issue.text;
}

std::string topicPlace(size_t topicIndex) { return "topic " + std::to_string(topicIndex + 1); }

std::string questionPlace(size_t topicIndex, size_t questionIndex) {
    return topicPlace(topicIndex) + " question " + std::to_string(questionIndex + 1);
}

// Long enough to tell questions apart, short enough for one line.
const size_t labelTextChars = 40;

std::string questionLabel(size_t topicIndex, size_t questionIndex, const std::wstring& question,
                          const std::string& file) {
    std::string label = questionPlace(topicIndex, questionIndex);
    if (!question.empty()) label += " \"" + shownPath(shortText(question, labelTextChars)) + "\"";
    if (!file.empty()) label += " (" + shownPath(file) + ")";
    return label;
}

std::string shortText(const std::wstring& text, size_t maxChars) {
    size_t end = 0;
    for (size_t chars = 0; end < text.size() && chars < maxChars; ++chars) nextCodePoint(text, end);
    if (end == text.size()) return utf16ToUtf8(text);
    while (end > 0 && text[end - 1] == L' ') --end;  // "word…", not "word …"
    return utf16ToUtf8(text.substr(0, end)) + "…";
}

std::string shownPath(const std::string& path) {
    std::string shown;
    for (char c : path) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            shown += c;
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", byte);
            shown += hex;
        }
    }
    return shown;
}

} // namespace rvlpack
