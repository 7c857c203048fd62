// The in-memory input file and the quiet console of the fuzz targets.
#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/console.h"
#include "platform/locale.h"

namespace {
int inputFd = -1;
std::string inputPath;
} // namespace

void fuzzSetUp() {
    if (inputFd >= 0) return;
    setRussianLocale();
    installUtf8Console();
    fflush(stdout);
    int devnull = open("/dev/null", O_WRONLY);
    if (devnull < 0 || dup2(devnull, STDOUT_FILENO) < 0) {
        perror("fuzz: /dev/null");
        abort();
    }
    close(devnull);
    inputFd = memfd_create("rvl-fuzz-input", MFD_CLOEXEC);
    if (inputFd < 0) {
        perror("fuzz: memfd_create");
        abort();
    }
    inputPath = "/proc/self/fd/" + std::to_string(inputFd);
}

void fuzzSetInput(const uint8_t* data, size_t size) {
    if (ftruncate(inputFd, 0) != 0) abort();
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(inputFd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0) abort();
        done += static_cast<size_t>(n);
    }
}

const std::string& fuzzInputPath() { return inputPath; }

void fuzzCheck(bool ok, const char* what) {
    if (ok) return;
    fprintf(stderr, "fuzz: expectation failed: %s\n", what);
    abort();
}
