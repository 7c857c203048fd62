// SPDX-License-Identifier: GPL-3.0-or-later
// The shared set-up of the fuzz targets: the quiet console and the in-memory
// input file.
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

[[noreturn]] void fail(const char* what) {
    perror(what);
    abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setRussianLocale();
    installUtf8Console();
    fflush(stdout);
    int devnull = open("/dev/null", O_WRONLY);
    if (devnull < 0 || dup2(devnull, STDOUT_FILENO) < 0) fail("fuzz: /dev/null");
    close(devnull);
    inputFd = memfd_create("rvl-fuzz-input", MFD_CLOEXEC);
    if (inputFd < 0) fail("fuzz: memfd_create");
    inputPath = "/proc/self/fd/" + std::to_string(inputFd);
    if (fuzzTargetSetUp) fuzzTargetSetUp();
    return 0;
}

const std::string& fuzzInputFile(const uint8_t* data, size_t size) {
    if (ftruncate(inputFd, 0) != 0) fail("fuzz: ftruncate");
    for (size_t done = 0; done < size;) {
        ssize_t n = pwrite(inputFd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0) fail("fuzz: pwrite");
        done += static_cast<size_t>(n);
    }
    return inputPath;
}

void fuzzCheck(bool ok, const char* what) {
    if (ok) return;
    fprintf(stderr, "fuzz: expectation failed: %s\n", what);
    abort();
}
