// SPDX-License-Identifier: GPL-3.0-or-later
// The module loader and the console listing on real bytes: the worked
// example, accepted and refused files, lengths past the end, a module cut at
// every byte, an allocation failure at every point, and the listing read from
// the real stdout of a process that loads and prints as the reader does.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <new>

#include "module/loader.h"
#include "module/records.h"
#include "packing/pack_reader.h"
#include "platform/console.h"
#include "platform/utf16.h"
#include "tests/support/test_support.h"

using namespace Ravlin::RM_Reader;
using namespace testing_support;

// Allocation failure on demand: this program replaces the global operator
// new, and after failAllocationAfter(k) the allocation k+1 from then on fails
// once (a throwing new throws, a nothrow new returns null). Allocations over
// largestAllocation fail too, as on a machine that cannot hold them.
namespace {
long allocationsBeforeFailure = -1;
bool failureHappened = false;
std::size_t largestAllocation = SIZE_MAX;

void failAllocationAfter(long k) {
    allocationsBeforeFailure = k;
    failureHappened = false;
}

void* allocate(std::size_t size) {
    if (size > largestAllocation) return nullptr;
    if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0) {
        failureHappened = true;
        return nullptr;
    }
    return std::malloc(size ? size : 1);
}
} // namespace

void* operator new(std::size_t size) {
    void* p = allocate(size);
    if (!p) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
#if defined(__GNUC__) && !defined(__clang__)
// These deletes are the pair of the news above, which take from malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

bool contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

// A module of one question, the length `fromEnd` bytes before the end of the file patched.
Bytes patched(const rvlpack::Question& q, size_t fromEnd, uint32_t length) {
    rvlpack::Module m;
    m.topics.push_back({L"Т", {q}});
    Bytes bytes = moduleBytes(m);
    for (size_t i = 0; i < 4; ++i) bytes[bytes.size() - fromEnd + i] = uint8_t(length >> (24 - 8 * i));
    return bytes;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

} // namespace

// Paths that are not regular files are refused without blocking on them.
TEST(Loader, RefusesPathsThatAreNotRegularFiles) {
    ScratchDir dir;
    ASSERT_EQ(mkfifo(dir.file("pipe.rvl").c_str(), 0644), 0);
    for (const wchar_t* path : {L"pipe.rvl", L"/tmp", L"/dev/zero", L"/nonexistent/модуль.rvl"}) {
        SCOPED_TRACE(utf16ToUtf8(path));
        EXPECT_FALSE(loadModule(path));
        EXPECT_FALSE(loaderError.empty());
    }
    unloadModule();
}

// The loaded records as a Module, to compare with the pack reader's.
rvlpack::Module loadedModule() {
    rvlpack::Module m{0, packName, author, {}, {}};
    for (const RM_Topic& t : topics) {
        m.topics.push_back({t.name, {}});
        for (const RM_Ask& a : t.asks)
            m.topics.back().questions.push_back({a.type, a.question, a.answer, a.points, Bytes(a.media, a.media + a.mediaSize),
                                                 Bytes(a.video, a.video + a.videoSize)});
    }
    return m;
}

// The loader and the pack reader take or refuse the same modules, and read
// the same records. A refusal leaves nothing loaded and names the byte where
// the file ends; lengths past the end, as large as they come, are refused
// before anything is allocated.
TEST(Loader, AgreesWithThePackReaderOnWholeCutAndHostileModules) {
    rvlpack::Topic t{L"Все типы", {ask('T', 100), ask('I', 200, {1, 2, 3}), ask('A', 300, {4, 5}),
                                   ask('V', 400, {6}, {7, 8, 9, 10}), ask('X', 500)}};
    Bytes whole = moduleBytes({1365142023, L"Пак", L"Автор", {t, {L"Пусто", {}}}, {}});
    Bytes trailing = exampleModule();
    trailing.insert(trailing.end(), {0xDE, 0xAD});
    rvlpack::Topic zero{L"", {ask('I', 0), ask('A', 0), ask('V', 0), ask('T', 0)}};
    for (rvlpack::Question& q : zero.questions) q.question = q.answer = L"";
    rvlpack::Question longest = ask('T', 65535);
    longest.question = longest.answer = std::wstring(255, L'Ж');
    const Bytes three = {1, 2, 3}, five = {4, 5, 6, 7, 8};
    struct Row {
        std::string name;
        Bytes bytes;
        std::wstring inMessage = L"";  // in the loader's refusal; none for a module that may be accepted
    };
    std::vector<Row> rows = {
        {"worked example", exampleModule()},
        {"another version", {'R', 'V', 'L', '2', 0, 0, 0}, L"не является игровым модулем"},
        {"every type", whole},
        {"empty texts, zero-length media", moduleBytes({0, L"", L"", {zero}, {}})},
        {"longest texts, most points", moduleBytes({0, longest.question, L"", {{longest.question, {longest}}}, {}})},
        {"trailing bytes", trailing},
        {"no topics", moduleBytes({})},
        {"picture, 4 GiB - 1", patched(ask('I', 1, three), 7, 0xFFFFFFFFu), L"картинка длиной 4294967295 байт"},
        {"sound, 2 GiB", patched(ask('A', 1, three), 7, 0x80000000u), L"звук длиной 2147483648 байт"},
        {"video's sound track past the end", patched(ask('V', 1, three, five), 16, 13),
         L"звуковая дорожка видео длиной 13 байт"},
        {"video's sound track swallowing the video", patched(ask('V', 1, three, five), 16, 12), L"длина видео"},
        {"video, one byte past the end", patched(ask('V', 1, three, five), 9, 6), L"видео длиной 6 байт"},
    };
    for (size_t cut = 0; cut < whole.size(); ++cut)
        rows.push_back({"cut at " + std::to_string(cut), Bytes(whole.begin(), whole.begin() + long(cut))});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        rvlpack::Module read;
        rvlpack::ReadFailure failure;
        bool parsed = rvlpack::readModule(row.bytes.data(), row.bytes.size(), read, &failure);
        ASSERT_EQ(loadBytes(row.bytes), parsed) << "loaderError " << utf16ToUtf8(loaderError);
        if (parsed) {
            EXPECT_TRUE(row.inMessage.empty()) << "accepted";
            read.created = 0;
            read.trailing.clear();
            EXPECT_EQ(moduleBytes(loadedModule()), moduleBytes(read));
            continue;
        }
        EXPECT_TRUE(topics.empty() && packName.empty() && author.empty() && !loaderError.empty());
        EXPECT_TRUE(failure.offset <= row.bytes.size() &&
                    failure.message.find("at byte " + std::to_string(failure.offset)) != std::string::npos)
            << failure.message;
        // Past the magic a refusal names the byte where the file ends.
        std::wstring end = row.bytes.size() < 8 ? L"" : std::to_wstring(row.bytes.size());
        EXPECT_TRUE(contains(loaderError, row.inMessage) && contains(loaderError, end))
            << "expected " << utf16ToUtf8(row.inMessage) << " and " << utf16ToUtf8(end)
            << "\nactual: " << utf16ToUtf8(loaderError);
    }
    unloadModule();
}

TEST(Loader, AnAllocationFailureAnywhereGivesAFalseLoadOrAWholeModule) {
    rvlpack::Module m{0, L"Пак", L"Автор", {}, {}};
    m.topics.push_back({L"Все типы", {ask('T', 1), ask('I', 2, {1, 2}), ask('A', 3, {3}), ask('V', 4, {4}, {5, 6})}});
    m.topics.push_back({std::wstring(200, L'Д'), {ask('T', 5)}});
    m.topics[0].questions[0].question = std::wstring(100, L'В');
    ScratchDir dir;
    writeFile(dir.file("m.rvl"), moduleBytes(m));
    installUtf8Console();
    bool mediaRefused = false, textsRefused = false;
    for (long k = 0;; ++k) {
        SCOPED_TRACE("allocation " + std::to_string(k) + " fails");
        unloadModule();
        testing::internal::CaptureStdout();
        std::wstring path = L"m.rvl";  // the copy into the parameter is the caller's
        failAllocationAfter(k);
        bool loaded = loadModule(std::move(path));
        bool failed = failureHappened;
        failAllocationAfter(-1);
        testing::internal::GetCapturedStdout();
        std::wcout.clear();
        if (!failed) {
            // k is past the last allocation of a load: the whole module came in.
            ASSERT_TRUE(loaded) << utf16ToUtf8(loaderError);
            ASSERT_GT(k, 8) << "a load makes more allocations than that";
            break;
        }
        if (loaded) {
            // The failure hit the console trace, which drops the line; the
            // module itself is whole.
            EXPECT_EQ(moduleBytes(loadedModule()), moduleBytes(m));
            continue;
        }
        EXPECT_TRUE(contains(loaderError, L"Недостаточно памяти")) << utf16ToUtf8(loaderError);
        mediaRefused = mediaRefused || loaderError == L"Недостаточно памяти: картинка занимает 2 байт.";
        textsRefused = textsRefused || loaderError == L"Недостаточно памяти для загрузки модуля.";
        EXPECT_TRUE(topics.empty() && packName.empty() && author.empty());
    }
    EXPECT_TRUE(mediaRefused) << "a media block that cannot be allocated";
    EXPECT_TRUE(textsRefused) << "a text or record that cannot be allocated";

    // A file that really holds a picture of 4 GiB - 1 bytes (sparse) is
    // judged by its whole size: refused for memory, not taken as cut short.
    Bytes huge = patched(ask('I', 7, {1}), 5, 0xFFFFFFFFu);
    huge.pop_back();
    writeFile(dir.file("huge.rvl"), huge);
    ASSERT_EQ(truncate(dir.file("huge.rvl").c_str(), off_t(huge.size()) + 0xFFFFFFFFll), 0);
    largestAllocation = std::size_t(1) << 30;
    EXPECT_FALSE(loadModule(L"huge.rvl"));
    largestAllocation = SIZE_MAX;
    EXPECT_EQ(utf16ToUtf8(loaderError), "Недостаточно памяти: картинка занимает 4294967295 байт.");
    unloadModule();
}

TEST(Listing, ModulesLineForLine) {
    auto q = [](char type, const std::wstring& text, uint16_t points, size_t media = 0, size_t video = 0) {
        return rvlpack::Question{type, text, L"О" + text, points, Bytes(media, 0x5A), Bytes(video, 0xA5)};
    };
    rvlpack::Module all{1365142023, L"Пак", L"Автор", {}, {}};  // 2013-04-05 06:07:03 UTC
    all.topics.push_back({L"Все типы",
                          {q('T', L"Текст?", 100), q('I', L"Что на картинке?", 200, 1000), q('A', L"Звук?", 300, 3),
                           q('V', L"Кино?", 400, 2000, 50000), q('X', L"Странный", 500), q('T', L"Следом", 65535)}});
    all.topics.push_back({L"Пусто", {}});
    all.topics.push_back({L"Хвост", {q('?', L"Последний", 7)}});
    rvlpack::Module odd{86399, L"", L"А\x1b]0;T\x07\x7f\x9b\r", {{std::wstring{0xD83D, 0xDE00, L'x', 0xDC00, L'y', 0xD800}, {}}}, {}};
    Bytes cutAfterStamp = exampleModule();
    cutAfterStamp.resize(12);
    cutAfterStamp[7] = 1;
    struct Row {
        const char* name;
        Bytes bytes;
        std::vector<std::string> env;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"the worked example, with its trace", exampleModule(), {"TZ=Etc/GMT-3"},
         joined({"1", "Тема: A1", "Вопрос: Q?", "Ответ: B", "Очки: 100", "File pos: 26", "---------------------",
                 "Версия: RVL1", "Время создания: 1970.1.1 3:0:0", "Автор: ; Название пака: ", "Тема <A>:",
                 "\tВопрос: Q?; Ответ: B; Баллы: 100; Тип: Текст"})},
        {"all four types and unknown ones, in the Russian locale", moduleBytes(all),
         {"TZ=Etc/GMT-3", "LC_ALL=ru_RU.UTF-8"},
         joined({"Версия: RVL1", "Время создания: 2013.4.5 9:7:3", "Автор: Автор; Название пака: Пак",
                 "Тема <Все типы>:", "\tВопрос: Текст?; Ответ: ОТекст?; Баллы: 100; Тип: Текст",
                 "\tВопрос: Что на картинке?; Ответ: ОЧто на картинке?; Баллы: 200; Тип: Картинка(1000 байт)",
                 "\tВопрос: Звук?; Ответ: ОЗвук?; Баллы: 300; Тип: Аудио(3 байт)",
                 "\tВопрос: Кино?; Ответ: ОКино?; Баллы: 400; Тип: Видео(2000 байт аудио и 50000 байт видео)",
                 "\tВопрос: Странный; Ответ: ОСтранный; Баллы: 500\tВопрос: Следом; Ответ: ОСледом; Баллы: 65535; "
                 "Тип: Текст",
                 "Тема <Пусто>:", "Тема <Хвост>:"}) +
             "\tВопрос: Последний; Ответ: ОПоследний; Баллы: 7"},
        {"surrogates and control characters on the console, day change at UTC+3", moduleBytes(odd), {"TZ=Etc/GMT-3", "LC_ALL=C"},
         joined({"Версия: RVL1", "Время создания: 1970.1.2 2:59:59",
                 "Автор: А\uFFFD]0;T\uFFFD\uFFFD\uFFFD\uFFFD; Название пака: ",
                 "Тема <😀x\uFFFDy\uFFFD>:"})},
        {"no topics, last stamp", moduleBytes({0xFFFFFFFF, L"Только пак", L"", {}, {}}), {"TZ=UTC"},
         joined({"Версия: RVL1", "Время создания: 2106.2.7 6:28:15", "Автор: ; Название пака: Только пак"})},
        {"cut after its stamp: no invented time", cutAfterStamp, {"TZ=UTC"},
         joined({"Версия: RVL1", "Время создания: -", "Автор: ; Название пака: "})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        writeFile(dir.file("m.rvl"), row.bytes);
        ProcessResult r = runProcess({testBinDir() + "/rvl-module-dump", "m.rvl"}, row.env);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        // The listing follows the trace; a row whose first line is the trace's checks that too.
        const std::string first = row.expected.substr(0, row.expected.find('\n'));
        EXPECT_EQ(r.out.substr(std::min(r.out.find(first), r.out.size())), row.expected);
    }
}

TEST(Console, ClosedStdoutAndAPipeWithoutReaderLoseOutputButNotTheProgram) {
    for (bool closedDescriptor : {true, false}) {
        SCOPED_TRACE(closedDescriptor ? "stdout closed" : "stdout a pipe nobody reads");
        ProcessResult r = runInChild([&] {
            int p[2];
            if (pipe(p) != 0) _exit(2);
            close(p[0]);
            if (closedDescriptor) close(1);
            else dup2(p[1], 1);
            installUtf8Console();
            struct stat one {}, null {};
            fstat(1, &one);
            stat("/dev/null", &null);
            std::wcout << L"строка" << std::endl;
            std::cout << "line" << std::endl;
            std::wcout << L"ещё" << std::endl;
            std::cerr << "fd1 null=" << (one.st_rdev == null.st_rdev && S_ISCHR(one.st_mode))
                      << " wcout good=" << std::wcout.good() << std::endl;
        });
        EXPECT_EQ(r.signal, 0) << "SIGPIPE must not end the program";
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, closedDescriptor ? "fd1 null=1 wcout good=1\n" : "fd1 null=0 wcout good=1\n");
    }
}
