// system() through /bin/sh with "." prepended to PATH for the call only, so a
// chooser lying beside the reader wins over one installed elsewhere.
#include "platform/run_command.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

// The shell's search path when PATH is unset.
std::string defaultSearchPath() {
    size_t n = confstr(_CS_PATH, nullptr, 0);
    if (n == 0) return "/usr/bin:/bin";
    std::string path(n, '\0');
    confstr(_CS_PATH, &path[0], n);
    path.resize(n - 1);
    return path;
}

} // namespace

void runCommandHere(const char* commandLine) {
    // Whatever we printed must reach the console before the child writes.
    std::wcout.flush();
    std::cout.flush();
    fflush(nullptr);

    const char* old = getenv("PATH");
    bool hadPath = old != nullptr;
    std::string saved = hadPath ? old : "";
    std::string searched = ".:" + (hadPath ? saved : defaultSearchPath());
    setenv("PATH", searched.c_str(), 1);

    int status = system(commandLine);
    (void)status;  // the chooser reports through its result file only

    if (hadPath) {
        setenv("PATH", saved.c_str(), 1);
    } else {
        unsetenv("PATH");
    }
}
