// SPDX-License-Identifier: GPL-3.0-or-later
// The file helpers, on std::filesystem where it says what is meant, on the
// system calls where a mode must be given at creation.
#include "platform/files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

std::string executablePath() {
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? "" : exe.string();
}

std::string executableDirectory() {
    std::string exe = executablePath();
    return exe.empty() ? "" : fs::path(exe).parent_path().string();
}

bool isDirectory(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_directory(path, error);
}

bool makeDirectories(const std::string& path, mode_t mode, std::string* error) {
    fs::path part;
    for (const fs::path& name : fs::path(path)) {
        part /= name;
        if (name.empty() || mkdir(part.c_str(), mode) == 0 || errno == EEXIST) continue;
        if (error) *error = "mkdir(\"" + part.string() + "\"): " + strerror(errno);
        return false;
    }
    // The last name taken by a file is no folder either.
    if (isDirectory(path)) return true;
    if (error) *error = "mkdir(\"" + path + "\"): " + strerror(EEXIST);
    return false;
}

void removeTree(const std::string& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

mode_t creationMask() {
    // Linux shows it in the status file; umask() itself can only be read by
    // setting it, which another thread creating a file at that moment
    // would feel.
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "Umask:") == 0) return static_cast<mode_t>(strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

void giveCreationMode(int fd) { fchmod(fd, 0666 & ~creationMask()); }
