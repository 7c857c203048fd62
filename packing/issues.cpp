// Collecting and wording the pack tool's findings.
#include "packing/issues.h"

#include <cstdio>

namespace rvlpack {

void addIssue(std::vector<Issue>& issues, Severity severity, const std::string& where, const std::string& text) {
    issues.push_back(Issue{severity, where, text});
}

size_t countIssues(const std::vector<Issue>& issues, Severity severity) {
    size_t n = 0;
    for (const Issue& issue : issues) n += issue.severity == severity;
    return n;
}

std::string formatIssue(const Issue& issue) {
    const char* label = issue.severity == Severity::Error ? "error" : issue.severity == Severity::Warning ? "warning" : "note";
    std::string line = std::string(label) + ": ";
    if (!issue.where.empty()) line += issue.where + ": ";
    return line + issue.text;
}

std::string topicPlace(size_t topicIndex) { return "topic " + std::to_string(topicIndex + 1); }

std::string questionPlace(size_t topicIndex, size_t questionIndex) {
    return topicPlace(topicIndex) + " question " + std::to_string(questionIndex + 1);
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
