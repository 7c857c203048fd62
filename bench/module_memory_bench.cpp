// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what loading the largest modules the format can count costs: file
// size, load time, and the memory the records take beside the media blocks.
// Usage: module_memory_bench   (writes its modules to /tmp and removes them)
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "module/loader.h"
#include "module/records.h"
#include "packing/module_writer.h"
#include "platform/console.h"

namespace {

size_t heapInUse() {
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void measure(const char* name, uint16_t textUnits, uint32_t mediaBytes) {
    rvlpack::Module m;
    for (int t = 0; t < 255; ++t) {
        rvlpack::Topic topic;
        topic.name = std::wstring(textUnits, L'Т');
        for (int q = 0; q < 255; ++q) {
            rvlpack::Question ask;
            ask.type = mediaBytes ? 'I' : 'T';
            ask.question = std::wstring(textUnits, L'В');
            ask.answer = std::wstring(textUnits, L'О');
            ask.media.edit().assign(mediaBytes, 0x5A);
            topic.questions.push_back(ask);
        }
        m.topics.push_back(topic);
    }
    std::string path = "/tmp/rvl-bench-" + std::to_string(getpid()) + ".rvl";
    if (!rvlpack::writeModuleFile(m, path)) return;
    m = rvlpack::Module{};

    // The trace goes nowhere: it is not what is measured.
    fflush(stdout);
    int saved = dup(STDOUT_FILENO);
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, STDOUT_FILENO);
    size_t before = heapInUse();
    auto start = std::chrono::steady_clock::now();
    bool loaded = loadModule(std::wstring(path.begin(), path.end()));
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    size_t after = heapInUse();
    std::cout.flush();
    std::wcout.flush();
    fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(devnull);

    FILE* f = fopen(path.c_str(), "rb");
    fseek(f, 0, SEEK_END);
    long fileSize = ftell(f);
    fclose(f);
    remove(path.c_str());
    printf("%-44s loaded=%d file=%10ld B  heap=%10zu B (%.2f x file)  %8.1f ms\n", name, loaded, fileSize,
           after - before, double(after - before) / double(fileSize), ms);
    unloadModule();
}

} // namespace

int main() {
    installUtf8Console();
    printf("sizeof(RM_Ask)=%zu sizeof(RM_Topic)=%zu sizeof(wchar_t)=%zu\n", sizeof(Ravlin::RM_Reader::RM_Ask),
           sizeof(Ravlin::RM_Reader::RM_Topic), sizeof(wchar_t));
    measure("255x255 text questions, empty texts", 0, 0);
    measure("255x255 text questions, 255-unit texts", 255, 0);
    measure("255x255 pictures of 1 KiB, empty texts", 0, 1024);
    measure("255x255 pictures of 4 KiB, 16-unit texts", 16, 4096);
    return 0;
}
