// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop file dialogs run as child processes, read back from their stdout,
// and the terminal question used where no dialog can be shown.
#include "tools/fileopen/dialogs.h"

#include "tools/fileopen/start_folder.h"
#include "platform/texts.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

namespace {

struct Captured {
    bool ran = false;
    int exitCode = -1;
    std::string out;
};

// Runs argv[0] (a full path) with its stdout read into a string.
Captured runCapturing(const std::vector<std::string>& argv) {
    Captured result;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return result;
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return result;
    }
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buf, sizeof buf)) != 0) {
        if (n > 0) result.out.append(buf, static_cast<size_t>(n));
        else if (errno != EINTR) break;
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
        result.ran = result.exitCode != 127;
    }
    return result;
}

// Both dialogs answer 0 with the path on one line, 1 on cancel; anything else
// (no display, a crash) means the dialog could not be used.
Answer interpret(const Captured& c, const char* name) {
    Answer answer;
    if (!c.ran || (c.exitCode != 0 && c.exitCode != 1)) {
        std::cerr << format(tr("fileopen.exe: %s could not show its window (code %d)"), name, c.exitCode) << std::endl;
        return answer;
    }
    std::string path = c.out;
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    if (c.exitCode == 1 || path.empty()) {
        answer.outcome = Outcome::Cancelled;
        return answer;
    }
    answer.outcome = Outcome::Chosen;
    answer.path = path;
    return answer;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

std::string findOnPath(const std::string& name) {
    const char* path = getenv("PATH");
    if (!path) return "";
    std::string dirs = path;
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty()) dir = ".";
        std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0 && isRegularFile(candidate)) return candidate;
        start = end + 1;
    }
    return "";
}

Answer askZenity(const std::string& program, const std::string& startDir) {
    return interpret(runCapturing({program, "--file-selection", std::string("--title=") + tr("Choose a quiz pack"),
                                   "--filename=" + startDir + "/",
                                   std::string("--file-filter=") + tr("Quiz packs (*.rvl)") + " | *.rvl",
                                   std::string("--file-filter=") + tr("All files") + " | *"}),
                     "zenity");
}

Answer askKdialog(const std::string& program, const std::string& startDir) {
    return interpret(runCapturing({program, "--title", tr("Choose a quiz pack"), "--getopenfilename", startDir,
                                   std::string("*.rvl|") + tr("Quiz packs (*.rvl)")}),
                     "kdialog");
}

// A name as printed on the terminal: control bytes as \xHH, so that a file
// name cannot move the cursor, clear the screen or break a line.
std::string shown(const std::string& name) {
    std::string text;
    for (unsigned char c : name) {
        char hex[8];
        snprintf(hex, sizeof hex, "\\x%02X", c);
        text += c < 0x20 || c == 0x7F ? std::string(hex) : std::string(1, char(c));
    }
    return text;
}

Answer askTerminal(const std::string& startDir, const std::string& currentDir) {
    Answer answer;
    answer.outcome = Outcome::Cancelled;
    std::vector<std::string> here = modulesIn(startDir);
    if (!here.empty()) {
        std::cout << format(tr("Packs in %s:"), shown(startDir).c_str());
        for (const std::string& name : here) std::cout << "\n  " << shown(name);
        std::cout << "\n";
    }
    for (;;) {
        std::cout << tr("Path of the quiz pack (*.rvl), empty line to cancel: ") << std::flush;
        std::string line;
        if (!std::getline(std::cin, line)) {
            std::cout << std::endl;
            return answer;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) return answer;
        // A bare name means a pack of the listed folder.
        if (line[0] != '/' && startDir != currentDir && isRegularFile(startDir + "/" + line))
            line = startDir + "/" + line;
        if (line.find('\0') == std::string::npos && isRegularFile(line)) {
            answer.outcome = Outcome::Chosen;
            answer.path = line;
            return answer;
        }
        std::cerr << format(tr("fileopen.exe: no such file: %s"), shown(line).c_str()) << std::endl;
    }
}
