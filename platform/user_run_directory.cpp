// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the installed files from the reader's own path, and the per-user
// run directory that links to them.
#include "platform/user_run_directory.h"
#include "platform/files.h"
#include "platform/xdg_dirs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

std::string parentOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string failure(const std::string& call, const std::string& path) {
    return call + "(\"" + path + "\"): " + strerror(errno);
}

// Points link at target, replacing an older link (the package may have moved)
// but never a file or directory of the user's own.
bool linkTo(const std::string& link, const std::string& target, std::string& error) {
    struct stat info {};
    if (lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) return true;
        std::string current(4096, '\0');
        ssize_t n = readlink(link.c_str(), &current[0], current.size());
        if (n > 0 && current.compare(0, static_cast<size_t>(n), target) == 0 && static_cast<size_t>(n) == target.size())
            return true;
    }
    // A fresh link renamed over the old one: a reader starting alongside
    // never sees the name missing.
    std::string fresh = link + ".new" + std::to_string(getpid());
    unlink(fresh.c_str());
    if (symlink(target.c_str(), fresh.c_str()) != 0) {
        error = failure("symlink", fresh);
        return false;
    }
    if (rename(fresh.c_str(), link.c_str()) != 0) {
        error = failure("rename", link);
        unlink(fresh.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string userRunDirectory() { return xdgAppDirectory("XDG_DATA_HOME", ".local/share"); }

bool findInstalledFiles(InstalledFiles& installed) {
    std::string exe = executablePath();
    if (exe.empty()) return false;
    std::string prefix = parentOf(parentOf(exe));
    if (prefix == "/") prefix.clear();
    installed.shared = prefix + "/share/rvl-reader";
    installed.libraries = prefix + "/libexec/rvl-reader";
    return isDirectory(installed.shared + "/res");
}

namespace {

// Links res and fileopen.exe in dir to the installed ones, makes dir/temp,
// and makes dir the working directory.
bool enterRunDirectory(const std::string& dir, const InstalledFiles& installed, std::string& error) {
    if (!makeDirectories(dir + "/temp", 0755, &error)) return false;
    if (!linkTo(dir + "/res", installed.shared + "/res", error)) return false;
    if (!linkTo(dir + "/fileopen.exe", installed.libraries + "/fileopen.exe", error)) return false;
    if (chdir(dir.c_str()) != 0) {
        error = failure("chdir", dir);
        return false;
    }
    return true;
}

std::string privateDirectory;  // made for this run only, removed at exit
std::string failureReason;     // why no run directory could be had

void removePrivateDirectory() { removeTree(privateDirectory); }

// A run directory of this run alone, under XDG_RUNTIME_DIR or else the
// temporary directory, for when the per-user one cannot be had.
bool enterPrivateRunDirectory(const InstalledFiles& installed, std::string& error) {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    const char* temp = getenv("TMPDIR");
    std::string base = runtime && runtime[0] == '/' && isDirectory(runtime) ? runtime
                       : temp && temp[0]                                  ? temp
                                                                          : "/tmp";
    std::string dir = base + "/rvl-reader-XXXXXX";
    if (!mkdtemp(&dir[0])) {
        error = failure("mkdtemp", dir);
        return false;
    }
    privateDirectory = dir;
    atexit(removePrivateDirectory);
    return enterRunDirectory(dir, installed, error);
}

} // namespace

bool enterUserRunDirectory(const InstalledFiles& installed, std::string& error) {
    std::string dir = userRunDirectory();
    if (!dir.empty() && enterRunDirectory(dir, installed, error)) return true;
    std::string why = dir.empty() ? "neither XDG_DATA_HOME nor HOME names a directory for the reader's files" : error;
    if (enterPrivateRunDirectory(installed, error)) return true;
    error = why + "; and no private run directory either: " + error;
    failureReason = error;
    return false;
}

const std::string& runDirectoryFailure() { return failureReason; }
