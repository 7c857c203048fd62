// The module loader on real bytes: the worked example, a table of accepted
// and rejected files, and a module cut at every byte offset.
#include <gtest/gtest.h>

#include "module/loader.h"
#include "module/records.h"
#include "packing/pack_reader.h"
#include "tests/support/test_support.h"

using namespace Ravlin::RM_Reader;
using namespace testing_support;

namespace {

std::vector<uint8_t> bytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// The 26-byte example module: one topic "A", one text question "Q?" / "B", 100 points.
std::vector<uint8_t> exampleModule() {
    std::vector<uint8_t> b = bytesOf("RVL1");
    std::vector<uint8_t> rest = {0, 0, 0, 0, 0, 0, 1, 1, 0, 0x41, 1, 0x54, 2, 0, 0x51, 0, 0x3F, 1, 0, 0x42, 0, 0x64};
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

// Loads bytes through a real file; the trace goes to this process's stdout.
bool loadBytes(const std::vector<uint8_t>& bytes) {
    ScratchDir dir;
    writeFile(dir.file("m.rvl"), bytes);
    unloadModule();
    testing::internal::CaptureStdout();
    bool ok = loadModule(L"m.rvl");
    testing::internal::GetCapturedStdout();
    return ok;
}

rvlpack::Question ask(char type, uint16_t points, std::vector<uint8_t> media = {}, std::vector<uint8_t> video = {}) {
    rvlpack::Question q;
    q.type = type;
    q.question = L"Вопрос " + std::wstring(1, wchar_t(type));
    q.answer = L"Ответ";
    q.points = points;
    q.media = std::move(media);
    q.video = std::move(video);
    return q;
}

std::vector<uint8_t> moduleWith(std::vector<rvlpack::Topic> topicsIn) {
    rvlpack::Module m;
    m.created = 1365142023;
    m.packName = L"Пак";
    m.author = L"Автор";
    m.topics = std::move(topicsIn);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(rvlpack::writeModule(m, bytes));
    return bytes;
}

std::vector<uint8_t> allTypesModule() {
    rvlpack::Topic t{L"Все типы", {}};
    t.questions.push_back(ask('T', 100));
    t.questions.push_back(ask('I', 200, {1, 2, 3}));
    t.questions.push_back(ask('A', 300, {4, 5}));
    t.questions.push_back(ask('V', 400, {6}, {7, 8, 9, 10}));
    t.questions.push_back(ask('X', 500));
    return moduleWith({t, rvlpack::Topic{L"Пусто", {}}});
}

// The loaded records as a Module, and a Module as bytes, to compare them
// with the pack reader's.
rvlpack::Module loadedModule() {
    rvlpack::Module m;
    m.packName = packName;
    m.author = author;
    for (const RM_Topic& t : topics) {
        m.topics.push_back({t.name, {}});
        for (const RM_Ask& a : t.asks) {
            m.topics.back().questions.push_back({a.type, a.question, a.answer, a.points, {a.media, a.media + a.mediaSize},
                                                 {a.video, a.video + a.videoSize}});
        }
    }
    return m;
}

std::vector<uint8_t> written(const rvlpack::Module& m) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(rvlpack::writeModule(m, bytes));
    return bytes;
}

} // namespace

TEST(Loader, WorkedExampleGivesRecordsAndSevenTraceLines) {
    ScratchDir dir;
    writeFile(dir.file("example.rvl"), exampleModule());
    ASSERT_EQ(exampleModule().size(), 26u);
    ProcessResult r = runProcess({testBinDir() + "/rvl-module-dump", "example.rvl"}, {"TZ=UTC"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> expected = {"1", "Тема: A1", "Вопрос: Q?", "Ответ: B", "Очки: 100", "File pos: 26",
                                         "---------------------"};
    std::vector<std::string> got = lines(r.out);
    ASSERT_GE(got.size(), expected.size()) << r.out;
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(got[i], expected[i]) << "trace line " << i + 1;

    ASSERT_TRUE(loadBytes(exampleModule()));
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].name, L"A");
    ASSERT_EQ(topics[0].asks.size(), 1u);
    EXPECT_EQ(topics[0].asks[0].type, 'T');
    EXPECT_EQ(topics[0].asks[0].question, L"Q?");
    EXPECT_EQ(topics[0].asks[0].answer, L"B");
    EXPECT_EQ(topics[0].asks[0].points, 100);
    EXPECT_TRUE(packName.empty());
    EXPECT_TRUE(author.empty());
    EXPECT_TRUE(creationTimeKnown);
    unloadModule();
}

TEST(Loader, TableOfModules) {
    std::wstring longText(255, L'Ж');
    struct Row {
        const char* name;
        std::vector<uint8_t> bytes;
        bool accepted;
        std::function<void()> check;
    };
    std::vector<uint8_t> trailing = exampleModule();
    trailing.insert(trailing.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    rvlpack::Question longQ = ask('T', 65535);
    longQ.question = longText;
    longQ.answer = L"\u00AB\u0490";
    std::vector<Row> rows = {
        {"text", moduleWith({{L"Т", {ask('T', 100)}}}), true,
         [] { EXPECT_EQ(topics[0].asks[0].type, 'T'); }},
        {"picture", moduleWith({{L"И", {ask('I', 200, {9, 8, 7})}}}), true,
         [] {
             const RM_Ask& a = topics[0].asks[0];
             ASSERT_EQ(a.mediaSize, 3u);
             EXPECT_EQ(a.media[0], 9);
             EXPECT_EQ(a.media[2], 7);
         }},
        {"audio", moduleWith({{L"А", {ask('A', 300, {1, 2})}}}), true,
         [] { EXPECT_EQ(topics[0].asks[0].mediaSize, 2u); }},
        {"video", moduleWith({{L"В", {ask('V', 400, {1}, {2, 3, 4})}}}), true,
         [] {
             const RM_Ask& a = topics[0].asks[0];
             EXPECT_EQ(a.mediaSize, 1u);
             ASSERT_EQ(a.videoSize, 3u);
             EXPECT_EQ(a.video[0], 2);
             EXPECT_EQ(a.video[2], 4);
         }},
        {"unknown type", moduleWith({{L"Х", {ask('X', 1), ask('T', 2)}}}), true,
         [] {
             ASSERT_EQ(topics[0].asks.size(), 2u);
             EXPECT_EQ(topics[0].asks[0].type, 'X');
             EXPECT_EQ(topics[0].asks[1].points, 2);
         }},
        {"zero topics", moduleWith({}), true, [] { EXPECT_TRUE(topics.empty()); }},
        {"empty topic", moduleWith({{L"Пустая", {}}}), true, [] { EXPECT_TRUE(topics[0].asks.empty()); }},
        {"media length 0", moduleWith({{L"Н", {ask('I', 5, {}), ask('T', 6)}}}), true,
         [] {
             EXPECT_EQ(topics[0].asks[0].mediaSize, 0u);
             EXPECT_NE(topics[0].asks[0].media, nullptr);
             EXPECT_EQ(topics[0].asks[1].points, 6);
         }},
        {"255 units, points 65535, units 00AB 0490", moduleWith({{longText, {longQ}}}), true,
         [&] {
             EXPECT_EQ(topics[0].name, longText);
             EXPECT_EQ(topics[0].asks[0].question.size(), 255u);
             EXPECT_EQ(topics[0].asks[0].points, 65535);
             EXPECT_EQ(topics[0].asks[0].answer, std::wstring(L"\u00AB\u0490"));
         }},
        {"trailing bytes", trailing, true, [] { EXPECT_EQ(topics.size(), 1u); }},
        {"RVL2", bytesOf("RVL2\0\0\0\0\0\0\0"), false, nullptr},
        {"rvl1", bytesOf("rvl1\0\0\0\0\0\0\0"), false, nullptr},
        {"empty file", {}, false, nullptr},
        {"3-byte file", bytesOf("RVL"), false, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool loaded = loadBytes(row.bytes);
        EXPECT_EQ(loaded, row.accepted) << "loaderError: " << std::string(loaderError.begin(), loaderError.end());
        if (loaded && row.check) row.check();
        if (!row.accepted) {
            EXPECT_EQ(loaderError, L"Данный фаил не является игровым модулем Ravlin.");
            EXPECT_TRUE(topics.empty());
            EXPECT_FALSE(creationTimeKnown);
        }
    }
    unloadModule();
}

TEST(Loader, AgreesWithThePackReaderOnWholeCutAndHostileModules) {
    std::vector<uint8_t> whole = allTypesModule();
    std::vector<uint8_t> trailing = exampleModule(), hugePicture = moduleWith({{L"И", {ask('I', 1, {1, 2})}}});
    trailing.insert(trailing.end(), {0xDE, 0xAD});
    hugePicture[hugePicture.size() - 6] = 0xFF;
    rvlpack::Topic zero{L"", {ask('I', 0), ask('A', 0), ask('V', 0), ask('T', 0)}};
    for (rvlpack::Question& q : zero.questions) q.question = q.answer = L"";
    std::vector<uint8_t> swallowing = moduleWith({{L"В", {ask('V', 1, {1}, {2, 3})}}});
    swallowing[swallowing.size() - 8] = 7;  // the sound track's length takes in the video's
    std::vector<std::pair<std::string, std::vector<uint8_t>>> rows = {
        {"worked example", exampleModule()}, {"every type", whole}, {"no topics", moduleWith({})},
        {"empty texts, zero-length media", moduleWith({zero})}, {"trailing bytes", trailing},
        {"picture past the end", hugePicture}, {"sound track swallowing the video", swallowing},
        {"RVL2", bytesOf("RVL2\0\0\0\0\0\0\0")}, {"empty file", {}}};
    for (size_t cut = 0; cut < whole.size(); ++cut)
        rows.push_back({"cut at " + std::to_string(cut), std::vector<uint8_t>(whole.begin(), whole.begin() + long(cut))});
    for (const auto& row : rows) {
        rvlpack::Module read;
        bool parsed = rvlpack::readModule(row.second.data(), row.second.size(), read);
        bool loaded = loadBytes(row.second);
        ASSERT_EQ(loaded, parsed) << row.first << ": loaderError " << std::string(loaderError.begin(), loaderError.end());
        if (loaded) {
            read.created = 0;
            read.trailing.clear();
            EXPECT_EQ(written(loadedModule()), written(read)) << row.first;
        } else {
            EXPECT_TRUE(topics.empty() && packName.empty() && author.empty() && !loaderError.empty()) << row.first;
            // Past the magic a cut names the byte where the file ends.
            if (row.first.rfind("cut", 0) == 0 && row.second.size() >= 8) {
                EXPECT_NE(loaderError.find(std::to_wstring(row.second.size())), std::wstring::npos) << row.first;
            }
        }
    }
    unloadModule();
}

TEST(Loader, UnopenablePathsAreRefused) {
    unloadModule();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(loadModule(L"/nonexistent/модуль.rvl"));
    EXPECT_FALSE(loadModule(L"/tmp"));
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(loaderError.empty());
    EXPECT_TRUE(topics.empty());
}

TEST(Loader, CyrillicPathOpens) {
    ScratchDir dir;
    writeFile(dir.file("модуль.rvl"), exampleModule());
    unloadModule();
    testing::internal::CaptureStdout();
    EXPECT_TRUE(loadModule(L"модуль.rvl"));
    testing::internal::GetCapturedStdout();
    unloadModule();
}
