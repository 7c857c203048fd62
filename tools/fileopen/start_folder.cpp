// SPDX-License-Identifier: GPL-3.0-or-later
// The remembered folder: one line holding an absolute path.
#include "tools/fileopen/start_folder.h"

#include "platform/files.h"
#include "platform/xdg_dirs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace {

std::string configDir() { return xdgAppDirectory("XDG_CONFIG_HOME", ".config"); }

// Longest remembered folder read: more than any path, less than a hang.
const size_t maxRememberedBytes = 8192;

// The first line of the file at path if it is a regular file of at most
// maxRememberedBytes; a FIFO or device there is not waited for.
std::string firstLineOf(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return "";
    struct stat info {};
    std::string text;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && size_t(info.st_size) <= maxRememberedBytes) {
        text.resize(size_t(info.st_size));
        ssize_t got = read(fd, &text[0], text.size());
        text.resize(got > 0 ? size_t(got) : 0);
    }
    close(fd);
    return text.substr(0, text.find('\n'));
}

} // namespace

std::vector<std::string> modulesIn(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) return names;
    while (dirent* entry = readdir(d)) {
        std::string name = entry->d_name;
        struct stat info {};
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".rvl") == 0 &&
            stat((dir + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
            names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string startFolder(const std::string& currentDir) {
    std::string config = configDir();
    if (!config.empty()) {
        std::string remembered = firstLineOf(config + "/last-folder");
        if (!remembered.empty() && remembered[0] == '/' && isDirectory(remembered)) return remembered;
    }
    if (!modulesIn(currentDir).empty()) return currentDir;
    const char* home = getenv("HOME");
    if (home && home[0] == '/' && isDirectory(home)) return home;
    return currentDir;
}

void rememberFolderOf(const std::string& chosenPath, const std::string& currentDir) {
    std::string config = configDir();
    size_t slash = chosenPath.find_last_of('/');
    std::string folder = slash == std::string::npos ? currentDir
                         : slash == 0               ? "/"
                                                    : chosenPath.substr(0, slash);
    if (folder[0] != '/') folder = currentDir + "/" + folder;
    // A name with a line break cannot be kept on one line.
    if (config.empty() || folder.find('\n') != std::string::npos) return;
    makeDirectories(config, 0755);
    struct stat info {};
    if (lstat((config + "/last-folder").c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return;  // not ours to replace
    std::ofstream(config + "/last-folder", std::ios::trunc) << folder << "\n";
}
