// Hostile and oversized modules: the largest module the format can count,
// lengths that reach past the file, a media block the machine cannot
// allocate, and an allocation failure at every point of a load.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <new>

#include "module/loader.h"
#include "module/records.h"
#include "packing/module_writer.h"
#include "platform/console.h"
#include "tests/support/test_support.h"

using namespace Ravlin::RM_Reader;
using namespace testing_support;

// Allocation failure on demand. This program replaces the global operator
// new: after failAllocationAfter(k), the allocation k+1 from then on fails
// once (a throwing new throws std::bad_alloc as the library's would, a
// nothrow new returns null). It is defined here, not in the test support, so
// that no other test program gets it.
namespace {

long allocationsBeforeFailure = -1;
bool failureHappened = false;

void failAllocationAfter(long k) {
    allocationsBeforeFailure = k;
    failureHappened = false;
}

bool allocationFailed() { return failureHappened; }

// True when this allocation is the one to fail.
bool failNow() {
    if (allocationsBeforeFailure < 0) return false;
    if (allocationsBeforeFailure-- > 0) return false;
    failureHappened = true;
    return true;
}

void* allocate(std::size_t size) { return failNow() ? nullptr : std::malloc(size ? size : 1); }

#if defined(__SANITIZE_ADDRESS__)
bool hostileAllocSanitized() { return true; }
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
bool hostileAllocSanitized() { return true; }
#else
bool hostileAllocSanitized() { return false; }
#endif
#else
bool hostileAllocSanitized() { return false; }
#endif

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
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

std::string narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
    return s;
}

bool loadBytes(const std::vector<uint8_t>& bytes, std::string* trace = nullptr) {
    ScratchDir dir;
    writeFile(dir.file("m.rvl"), bytes);
    unloadModule();
    testing::internal::CaptureStdout();
    bool ok = loadModule(L"m.rvl");
    std::string out = testing::internal::GetCapturedStdout();
    if (trace) *trace = out;
    return ok;
}

rvlpack::Question ask(char type, uint16_t points, std::vector<uint8_t> media = {}, std::vector<uint8_t> video = {}) {
    rvlpack::Question q;
    q.type = type;
    q.points = points;
    q.media = std::move(media);
    q.video = std::move(video);
    return q;
}

std::vector<uint8_t> oneQuestion(const rvlpack::Question& q) {
    rvlpack::Module m;
    m.topics.push_back({L"Т", {q}});
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(rvlpack::writeModule(m, bytes));
    return bytes;
}

void putU32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

bool contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

} // namespace

TEST(HostileModule, LargestCountsWithEmptyTextsLoadCompletely) {
    // 255 topics of 255 questions, every type in turn, empty texts and
    // zero-length media: 65025 questions from a file of about 1.2 MB.
    const char types[] = {'T', 'I', 'A', 'V', 'X'};
    rvlpack::Module m;
    for (int t = 0; t < 255; ++t) {
        rvlpack::Topic topic;
        for (int q = 0; q < 255; ++q) topic.questions.push_back(ask(types[(t + q) % 5], uint16_t(t * 256 + q)));
        m.topics.push_back(topic);
    }
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(rvlpack::writeModule(m, bytes));

    installUtf8Console();
    std::string trace;
    ASSERT_TRUE(loadBytes(bytes, &trace)) << narrow(loaderError);
    ASSERT_EQ(topics.size(), 255u);
    size_t expectedLines = 1;
    for (size_t t = 0; t < 255; ++t) {
        ASSERT_EQ(topics[t].asks.size(), 255u) << "topic " << t;
        expectedLines += 1;
        for (size_t q = 0; q < 255; ++q) {
            const RM_Ask& a = topics[t].asks[q];
            char type = types[(t + q) % 5];
            ASSERT_EQ(a.type, type) << "topic " << t << " question " << q;
            ASSERT_EQ(a.points, t * 256 + q) << "topic " << t << " question " << q;
            ASSERT_TRUE(a.question.empty() && a.answer.empty()) << "topic " << t << " question " << q;
            ASSERT_EQ(a.mediaSize, 0u);
            ASSERT_EQ(a.videoSize, 0u);
            ASSERT_EQ(a.media != nullptr, type == 'I' || type == 'A' || type == 'V') << "topic " << t << " question " << q;
            expectedLines += (type == 'I' || type == 'V') ? 6 : 5;
        }
    }
    EXPECT_EQ(lines(trace).size(), expectedLines);
    EXPECT_EQ(trace.rfind("255\nТема: 255\n", 0), 0u) << trace.substr(0, 80);
    unloadModule();
}

TEST(HostileModule, LengthsPastTheEndAreRefusedBeforeAllocating) {
    const std::vector<uint8_t> three = {1, 2, 3};
    const std::vector<uint8_t> five = {4, 5, 6, 7, 8};
    struct Row {
        const char* name;
        rvlpack::Question question;
        int lengthField;   // 0: the only (or audio) length, 1: the video length
        uint32_t length;
        bool accepted;
        std::wstring inMessage;
    };
    std::vector<Row> rows = {
        {"picture, exact length", ask('I', 1, three), 0, 3, true, L""},
        {"picture, one byte past the end", ask('I', 1, three), 0, 4, false, L"картинка длиной 4 байт"},
        {"picture, 4 GiB - 1", ask('I', 1, three), 0, 0xFFFFFFFFu, false, L"4294967295"},
        {"sound, one byte past the end", ask('A', 1, three), 0, 4, false, L"звук длиной 4 байт"},
        {"sound, 2 GiB", ask('A', 1, three), 0, 0x80000000u, false, L"2147483648"},
        {"video's sound track past the end", ask('V', 1, three, five), 0, 3 + 4 + 5 + 1, false,
         L"звуковая дорожка видео длиной 13 байт"},
        {"video's sound track swallowing the video", ask('V', 1, three, five), 0, 3 + 4 + 5, false,
         L"длина видео"},
        {"video, one byte past the end", ask('V', 1, three, five), 1, 6, false, L"видео длиной 6 байт"},
        {"video, exact length", ask('V', 1, three, five), 1, 5, true, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> bytes = oneQuestion(row.question);
        size_t videoLengthAt = bytes.size() - row.question.video.size() - 4;
        size_t lengthAt = row.question.type == 'V' && row.lengthField == 0
                              ? videoLengthAt - row.question.media.size() - 4
                              : bytes.size() - (row.question.type == 'V' ? five.size() : three.size()) - 4;
        putU32(bytes, lengthAt, row.length);
        bool loaded = loadBytes(bytes);
        EXPECT_EQ(loaded, row.accepted) << "loaderError: " << narrow(loaderError);
        if (!row.accepted) {
            EXPECT_TRUE(contains(loaderError, row.inMessage)) << "loaderError: " << narrow(loaderError);
            // The message names where the file ends: its size.
            EXPECT_TRUE(contains(loaderError, std::to_wstring(bytes.size()))) << "loaderError: " << narrow(loaderError);
            EXPECT_TRUE(topics.empty());
        }
    }
    unloadModule();
}

TEST(HostileModule, PathsThatAreNotFilesAreRefusedWithoutWaiting) {
    // A named pipe would block the open until something writes to it.
    ScratchDir dir;
    ASSERT_EQ(mkfifo(dir.file("pipe.rvl").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(dir.file("folder.rvl").c_str(), 0755), 0);
    for (const wchar_t* path : {L"pipe.rvl", L"folder.rvl", L"/dev/zero", L"/dev/null"}) {
        SCOPED_TRACE(narrow(path));
        unloadModule();
        EXPECT_FALSE(loadModule(path));
        EXPECT_TRUE(contains(loaderError, L"не обычный файл")) << narrow(loaderError);
    }
}

TEST(HostileModule, MediaTheMachineCannotHoldGiveAFalseLoadWithAMessage) {
    // A sparse file that really holds a picture of 4 GiB - 1 bytes, read by
    // the module dump in a process that may not allocate that much.
    ScratchDir dir;
    std::vector<uint8_t> bytes = oneQuestion(ask('I', 7, {1}));
    putU32(bytes, bytes.size() - 5, 0xFFFFFFFFu);
    bytes.pop_back();
    writeFile(dir.file("huge.rvl"), bytes);
    ASSERT_EQ(truncate(dir.file("huge.rvl").c_str(), static_cast<off_t>(bytes.size()) + 0xFFFFFFFFll), 0);

    std::string dump = testBinDir() + "/rvl-module-dump";
    ProcessResult r;
    if (hostileAllocSanitized()) {
        // The sanitizer's allocator reserves its address space up front; cap
        // its allocation size instead of the address space.
        const char* options = getenv("ASAN_OPTIONS");
        std::string asan = std::string("ASAN_OPTIONS=") + (options ? options : "") +
                           ":allocator_may_return_null=1:max_allocation_size_mb=2048";
        r = runProcess({dump, "huge.rvl"}, {asan});
    } else {
        r = runProcess({"/bin/sh", "-c", "ulimit -v 2097152 && exec \"$0\" \"$1\"", dump, "huge.rvl"});
    }
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("File size: 4294967295\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Недостаточно памяти: картинка занимает 4294967295 байт."), std::string::npos)
        << "out: " << r.out << "\nerr: " << r.err;
}

TEST(HostileModule, AnAllocationFailureAnywhereGivesAFalseLoadOrAWholeModule) {
    rvlpack::Module m;
    m.packName = L"Пак";
    m.author = L"Автор";
    m.topics.push_back({L"Все типы", {ask('T', 1), ask('I', 2, {1, 2}), ask('A', 3, {3}), ask('V', 4, {4}, {5, 6})}});
    m.topics.push_back({std::wstring(200, L'Д'), {ask('T', 5)}});
    m.topics[0].questions[0].question = std::wstring(100, L'В');
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(rvlpack::writeModule(m, bytes));
    ScratchDir dir;
    writeFile(dir.file("m.rvl"), bytes);

    installUtf8Console();
    int refused = 0;
    bool mediaRefused = false, textsRefused = false;
    for (long k = 0;; ++k) {
        SCOPED_TRACE("allocation " + std::to_string(k) + " fails");
        unloadModule();
        testing::internal::CaptureStdout();
        std::wstring path = L"m.rvl";  // the copy into the parameter is the caller's
        failAllocationAfter(k);
        bool loaded = loadModule(std::move(path));
        bool failed = allocationFailed();
        failAllocationAfter(-1);
        testing::internal::GetCapturedStdout();
        std::wcout.clear();
        if (!failed) {
            // k is past the last allocation of a load: the whole module came in.
            ASSERT_TRUE(loaded) << narrow(loaderError);
            ASSERT_GT(k, 8) << "a load makes more allocations than that";
            break;
        }
        if (loaded) {
            // The failure hit the console trace, which drops the line; the
            // module itself is whole.
            ASSERT_EQ(topics.size(), 2u);
            EXPECT_EQ(topics[1].name.size(), 200u);
            ASSERT_EQ(topics[0].asks.size(), 4u);
            EXPECT_EQ(topics[0].asks[3].video[1], 6);
        } else {
            ++refused;
            EXPECT_TRUE(contains(loaderError, L"Недостаточно памяти")) << narrow(loaderError);
            mediaRefused = mediaRefused || contains(loaderError, L"байт");
            textsRefused = textsRefused || loaderError == L"Недостаточно памяти для загрузки модуля.";
            EXPECT_TRUE(topics.empty() && packName.empty() && author.empty());
        }
    }
    EXPECT_GT(refused, 5);
    EXPECT_TRUE(mediaRefused) << "a media block that cannot be allocated";
    EXPECT_TRUE(textsRefused) << "a text or record that cannot be allocated";
    unloadModule();
}
