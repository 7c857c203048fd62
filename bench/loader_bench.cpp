// SPDX-License-Identifier: GPL-3.0-or-later
// Loader benchmark: a module of about 512 MiB in a few large media blocks
// against one read of the same file, and a module of 255 topics of 255 text
// questions against writing its trace's lines with a flush each.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "module/loader.h"
#include "module/records.h"
#include "packing/module_writer.h"
#include "platform/console.h"
#include "platform/locale.h"
#include "platform/utf16.h"

namespace {

const int kRuns = 7;
const int kBigTopics = 4;                       // one video question each
const size_t kBigAudio = size_t(8) << 20;       // sound track per question
const size_t kBigVideo = size_t(120) << 20;     // video file per question
const int kManyTopics = 255;
const int kManyQuestions = 255;

// ---- child side: each measurement runs in a fresh process ----------------

// Whole nanoseconds: the child runs under the Russian locale, whose decimal
// separator the parent would not parse.
void report(double seconds, bool ok) {
    fprintf(stderr, "%lld %ld %d\n", static_cast<long long>(seconds * 1e9), bench::peakResidentKiB(), ok ? 1 : 0);
}

// quiet: both console streams are put in a failed state, so the loader's
// trace costs nothing and what remains is reading and parsing.
int childLoad(const char* path, bool quiet) {
    setRussianLocale();
    installUtf8Console();
    if (quiet) {
        std::wcout.setstate(std::ios::badbit);
        std::cout.setstate(std::ios::badbit);
    }
    double start = bench::nowSeconds();
    bool ok = loadModule(utf8ToUtf16(path));
    double seconds = bench::nowSeconds() - start;
    std::wcout.flush();
    report(seconds, ok);
    return 0;
}

// The floor of loading: open the file, allocate one buffer of its size and
// fill it with one read.
int childRead(const char* path) {
    double start = bench::nowSeconds();
    FILE* file = fopen(path, "rb");
    struct stat info {};
    bool ok = file && fstat(fileno(file), &info) == 0;
    size_t size = ok ? size_t(info.st_size) : 0;
    unsigned char* buffer = ok ? new unsigned char[size] : nullptr;
    ok = ok && fread(buffer, 1, size, file) == size;
    if (file) fclose(file);
    double seconds = bench::nowSeconds() - start;
    volatile unsigned char sink = size ? buffer[size - 1] : 0;
    (void)sink;
    report(seconds, ok);
    return 0;
}

// The floor of the trace: the very lines the loader wrote, each written and
// flushed on its own.
int childLines(const char* tracePath) {
    FILE* file = fopen(tracePath, "rb");
    if (!file) return 1;
    std::string text;
    char buf[1 << 16];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, file)) > 0) text.append(buf, n);
    fclose(file);
    std::vector<std::pair<size_t, size_t>> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back({at, end - at});
        at = end;
    }
    double start = bench::nowSeconds();
    bool ok = true;
    for (const auto& line : lines) {
        ok = fwrite(text.data() + line.first, 1, line.second, stdout) == line.second && ok;
        ok = fflush(stdout) == 0 && ok;
    }
    report(bench::nowSeconds() - start, ok);
    return 0;
}

// ---- parent side ------------------------------------------------------

struct Measure {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;
};

Measure measure(const std::string& mode, const std::string& path, bench::Sink sink, const std::string& sinkPath = "") {
    Measure m;
    bench::ChildResult r = bench::runSelf({"--child", mode, path}, sink, sinkPath);
    int ok = 0;
    long long nanoseconds = 0;
    if (r.ok && sscanf(r.report.c_str(), "%lld %ld %d", &nanoseconds, &m.peakKiB, &ok) == 3) m.ok = ok == 1;
    m.seconds = double(nanoseconds) * 1e-9;
    if (!m.ok) fprintf(stderr, "loader_bench: %s %s failed: %s\n", mode.c_str(), path.c_str(), r.report.c_str());
    return m;
}

// Reads the file once so that every measured run finds it in the page cache.
void warmPageCache(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return;
    static char buf[1 << 20];
    while (fread(buf, 1, sizeof buf, file) > 0) {
    }
    fclose(file);
}

uint64_t fileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? uint64_t(info.st_size) : 0;
}

rvlpack::Module bigHeader() {
    rvlpack::Module m;
    m.created = 1700000000;
    m.packName = rvlpack::u16("Большой пак");
    m.author = rvlpack::u16("Замер");
    return m;
}

// Writes the big module one topic at a time: the header from a module
// without topics (its last byte is the topic count), then each topic's
// record cut from a one-topic module with the same header. Only one topic's
// media is in memory at a time.
bool writeBigModule(const std::string& path) {
    std::vector<uint8_t> head;
    if (!rvlpack::writeModule(bigHeader(), head)) return false;
    const size_t headLength = head.size();
    head.back() = uint8_t(kBigTopics);
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = fwrite(head.data(), 1, head.size(), file) == head.size();
    for (int t = 0; t < kBigTopics && ok; ++t) {
        std::vector<uint8_t> bytes;
        {
            rvlpack::Module part = bigHeader();
            rvlpack::Question ask;
            ask.type = 'V';
            ask.question = rvlpack::u16("Что на видео номер " + std::to_string(t + 1) + "?");
            ask.answer = rvlpack::u16("Ответ " + std::to_string(t + 1));
            ask.points = uint16_t(100 * (t + 1));
            ask.media.edit().assign(kBigAudio, uint8_t(0x41 + t));
            ask.video.edit().resize(kBigVideo);
            for (size_t i = 0; i < kBigVideo; i += 4096) ask.video.edit()[i] = uint8_t(i >> 12);
            part.topics.push_back({rvlpack::u16("Видео " + std::to_string(t + 1)), {}});
            part.topics[0].questions.push_back(std::move(ask));
            bytes.reserve(kBigAudio + kBigVideo + 4096);
            ok = rvlpack::writeModule(part, bytes);
        }
        ok = ok && fwrite(bytes.data() + headLength, 1, bytes.size() - headLength, file) == bytes.size() - headLength;
    }
    // Written back before measuring, so no write-back competes with the runs.
    ok = fflush(file) == 0 && fdatasync(fileno(file)) == 0 && ok;
    ok = fclose(file) == 0 && ok;
    return ok;
}

bool writeManyModule(const std::string& path) {
    rvlpack::Module m;
    m.created = 1700000000;
    m.packName = rvlpack::u16("Много вопросов");
    m.author = rvlpack::u16("Замер");
    for (int t = 0; t < kManyTopics; ++t) {
        rvlpack::Topic topic;
        topic.name = rvlpack::u16("Тема " + std::to_string(t + 1));
        for (int q = 0; q < kManyQuestions; ++q) {
            rvlpack::Question ask;
            ask.type = 'T';
            ask.question = rvlpack::u16("Вопрос " + std::to_string(q + 1) + " темы " + std::to_string(t + 1) + "?");
            ask.answer = rvlpack::u16("Ответ " + std::to_string(q + 1));
            ask.points = uint16_t((q % 5 + 1) * 100);
            topic.questions.push_back(std::move(ask));
        }
        m.topics.push_back(std::move(topic));
    }
    return rvlpack::writeModuleFile(m, path);
}

std::string ms(double seconds) { return bench::format("%.1f ms", seconds * 1000); }
std::string mib(double bytes) { return bench::format("%.1f MiB", bytes / (1 << 20)); }

bool benchBigMedia(const std::string& dir) {
    const std::string path = dir + "/big.rvl";
    bool written = writeBigModule(path);
    if (!written) {
        remove(path.c_str());
        fprintf(stderr, "loader_bench: cannot write %s\n", path.c_str());
        return false;
    }
    const double size = double(fileSize(path));
    warmPageCache(path);
    std::vector<double> loads, reads, loadPeaks, readPeaks;
    bool ok = true;
    for (int i = 0; i < kRuns && ok; ++i) {
        Measure read = measure("read", path, bench::Sink::DevNull);
        Measure load = measure("load", path, bench::Sink::DevNull);
        ok = read.ok && load.ok;
        reads.push_back(read.seconds);
        loads.push_back(load.seconds);
        readPeaks.push_back(double(read.peakKiB) * 1024);
        loadPeaks.push_back(double(load.peakKiB) * 1024);
    }
    remove(path.c_str());
    if (!ok) return false;
    const std::string area = "loader, big media (" + mib(size) + ", " + std::to_string(kBigTopics * 2) + " blocks)";
    double load = bench::median(loads), read = bench::median(reads);
    bench::printRow(area, "load time vs one read of the file", ms(load), ms(read), bench::ratio(load, read));
    double loadPeak = bench::median(loadPeaks), readPeak = bench::median(readPeaks);
    bench::printRow(area, "peak resident memory of the load vs file size", mib(loadPeak), mib(size),
                    bench::ratio(loadPeak, size));
    bench::printRow(area, "peak resident memory of the one read vs file size", mib(readPeak), mib(size),
                    bench::ratio(readPeak, size));
    return true;
}

size_t countLines(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return 0;
    size_t lines = 0;
    int c;
    while ((c = fgetc(file)) != EOF) lines += c == '\n';
    fclose(file);
    return lines;
}

bool benchManyQuestions(const std::string& dir) {
    const std::string path = dir + "/many.rvl";
    const std::string trace = dir + "/trace.txt";
    if (!writeManyModule(path)) {
        fprintf(stderr, "loader_bench: cannot write %s\n", path.c_str());
        return false;
    }
    warmPageCache(path);
    // The trace as the loader writes it: the floor replays exactly these lines.
    if (!measure("load", path, bench::Sink::File, trace).ok) return false;
    const size_t lineCount = countLines(trace);
    const std::string area = "loader, " + std::to_string(kManyTopics) + "x" + std::to_string(kManyQuestions) +
                             " text questions (" + std::to_string(lineCount) + " trace lines)";
    struct Case {
        const char* name;
        bench::Sink sink;
    } cases[] = {{"pipe", bench::Sink::Pipe}, {"/dev/null", bench::Sink::DevNull}};
    for (const Case& c : cases) {
        std::vector<double> loads, floors;
        for (int i = 0; i < kRuns; ++i) {
            Measure floor = measure("lines", trace, c.sink);
            Measure load = measure("load", path, c.sink);
            if (!floor.ok || !load.ok) return false;
            floors.push_back(floor.seconds);
            loads.push_back(load.seconds);
        }
        double load = bench::median(loads), floor = bench::median(floors);
        bench::printRow(area, std::string("load time, trace to ") + c.name + " vs its lines flushed one by one",
                        ms(load), ms(floor), bench::ratio(load, floor));
    }
    std::vector<double> quiet;
    for (int i = 0; i < kRuns; ++i) {
        Measure load = measure("load-quiet", path, bench::Sink::DevNull);
        if (!load.ok) return false;
        quiet.push_back(load.seconds);
    }
    bench::printRow(area, "load time with the trace switched off (reading and parsing alone)",
                    ms(bench::median(quiet)));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child") {
        std::string mode = argv[2];
        if (mode == "load") return childLoad(argv[3], false);
        if (mode == "load-quiet") return childLoad(argv[3], true);
        if (mode == "read") return childRead(argv[3]);
        if (mode == "lines") return childLines(argv[3]);
        return 2;
    }
    char templ[] = "/tmp/rvl-bench-XXXXXX";
    if (!mkdtemp(templ)) {
        perror("mkdtemp");
        return 1;
    }
    const std::string dir = templ;
    bool ok = benchBigMedia(dir);
    ok = benchManyQuestions(dir) && ok;
    std::string command = "rm -rf '" + dir + "'";
    if (system(command.c_str()) != 0) fprintf(stderr, "loader_bench: cannot remove %s\n", dir.c_str());
    return ok ? 0 : 1;
}
