// SPDX-License-Identifier: GPL-3.0-or-later
// Starts a program without the shell and without touching our environment:
// other threads (SDL's) may read it at any time, and the child must see the
// PATH the user gave us, not one with "." in front.
#include "platform/run_command.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

extern char** environ;

namespace {

bool executableHere(const char* program) {
    struct stat st;
    return stat(program, &st) == 0 && S_ISREG(st.st_mode) && access(program, X_OK) == 0;
}

// A script in the current directory without a "#!" line is handed to the
// shell, as the command processor did before.
int spawn(pid_t* pid, const char* program, const char* argument, bool searchPath) {
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    int rc = searchPath ? posix_spawnp(pid, program, nullptr, nullptr, argv, environ)
                        : posix_spawn(pid, program, nullptr, nullptr, argv, environ);
    if (rc != ENOEXEC || searchPath) return rc;
    std::string path = std::string("./") + program;
    char* shellArgv[] = {const_cast<char*>("sh"), const_cast<char*>(path.c_str()), const_cast<char*>(argument), nullptr};
    return posix_spawn(pid, "/bin/sh", nullptr, nullptr, shellArgv, environ);
}

} // namespace

void runCommandHere(const char* program, const char* argument) {
    // Whatever we printed must reach the console before the child writes.
    std::wcout.flush();
    std::cout.flush();
    fflush(nullptr);

    pid_t pid = 0;
    // A name without a slash is taken relative to the current directory by
    // posix_spawn, and searched on PATH by posix_spawnp.
    int rc = spawn(&pid, program, argument, !executableHere(program));
    if (rc != 0) {
        std::cerr << "posix_spawn(" << program << "): " << strerror(rc) << std::endl;
        return;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}
