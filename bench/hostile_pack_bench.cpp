// SPDX-License-Identifier: GPL-3.0-or-later
// rvl-pack build on hostile inputs made here: forged picture headers, a
// huge table cell, one big file named by many rows, a million-row table.
// Each build runs as its own process under /usr/bin/time and a 6 GB address
// space cap; the rows give its peak memory, its time and how it ended.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

std::string row(const std::string& topic, const std::string& media, int points, const std::string& text = "Q") {
    return topic + "," + std::to_string(points) + "," + text + ",A," + media + "\n";
}

struct Case {
    const char* item;
    const char* what;
    std::string input;  // the table or manifest, in the scratch folder
};

} // namespace

// The first argument, when given, names another rvl-pack to measure (an
// older build, for comparison).
int main(int argc, char** argv) {
    const std::string tool = argc > 1 ? argv[1] : runDir() + "/rvl-pack";
    ScratchDir dir;
    const std::string header = "topic,points,question,answer,media\n";
    std::vector<Case> cases;

    writeFile(dir.file("gif.gif"), forgedGif());
    writeFile(dir.file("bmp.bmp"), forgedBmp());
    writeText(dir.file("pictures.csv"), header + row("T", "gif.gif", 1) + row("T", "bmp.bmp", 2));
    cases.push_back({"3", "a 35-byte GIF claiming 65535x65535 and a 1 KB RLE BMP claiming 20000x20000", "pictures.csv"});

    writeText(dir.file("cell.csv"), header + row("T", "", 1, std::string(9 << 20, 'x')));
    cases.push_back({"4", "a question cell of 9 MiB", "cell.csv"});

    writeFile(dir.file("four.wav"), makeWav(262.0, 8000, 1));  // 4 MiB kept as it is
    std::string many = header;
    for (int i = 0; i < 3000; ++i) many += row("T", "four.wav", i);
    writeText(dir.file("many.csv"), many);
    cases.push_back({"5", "3000 rows of one topic naming one 4 MiB sound", "many.csv"});
    std::string spread = header;
    for (int i = 0; i < 1100; ++i) spread += row("T" + std::to_string(i / 200), "four.wav", i);
    writeText(dir.file("spread.csv"), spread);
    cases.push_back({"5", "1100 rows in 6 topics naming one 4 MiB sound (4.6 GB of pack)", "spread.csv"});

    std::string million = header;
    for (int i = 0; i < 1000000; ++i) million += row("T", "", i % 65536);
    writeText(dir.file("million.csv"), million);
    cases.push_back({"17", "a table of 1000000 rows in one topic", "million.csv"});

    for (const Case& c : cases) {
        ProcessResult r = runProcess({"/bin/sh", "-c",
                                      "cd '" + dir.path() + "' && /usr/bin/time -f 'TIME %M %e' prlimit --as=6442450944 '" + tool +
                                          "' build " + c.input + " -o out.rvl 2>&1 | tail -c 2000"},
                                     {"LC_ALL=C"});
        long kib = 0;
        double seconds = 0;
        size_t at = r.out.rfind("TIME ");
        if (at != std::string::npos) sscanf(r.out.c_str() + at, "TIME %ld %lf", &kib, &seconds);
        std::string ending = r.out.substr(0, at);
        while (!ending.empty() && ending.back() == '\n') ending.pop_back();
        ending = ending.substr(ending.rfind('\n') + 1);
        fprintf(stderr, "item %s, %s:\n  %s\n", c.item, c.what, ending.c_str());
        bench::printRow("rvl-pack hostile input (item " + std::string(c.item) + ")", c.what,
                        bench::format("%.0f MiB", kib / 1024.0) + ", " + bench::format("%.2f s", seconds));
    }
    return 0;
}
