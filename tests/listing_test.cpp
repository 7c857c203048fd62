// The console listing, read line for line from the real stdout of the helper
// program that loads a module and prints it as the reader does.
#include <gtest/gtest.h>

#include "packing/module_writer.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

using Bytes = std::vector<uint8_t>;

// The 26-byte example module: one topic "A", one text question "Q?" / "B", 100 points, stamp 0.
Bytes exampleModule() {
    return {'R', 'V', 'L', '1', 0, 0, 0, 0, 0, 0, 1, 1, 0, 0x41, 1, 0x54, 2, 0, 0x51, 0, 0x3F, 1, 0, 0x42, 0, 0x64};
}

rvlpack::Question ask(char type, const std::wstring& text, uint16_t points, size_t media = 0, size_t video = 0) {
    rvlpack::Question q;
    q.type = type;
    q.question = text;
    q.answer = L"О" + text;
    q.points = points;
    q.media.assign(media, 0x5A);
    q.video.assign(video, 0xA5);
    return q;
}

Bytes moduleBytes(const rvlpack::Module& m) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(rvlpack::writeModule(m, bytes, &error)) << error;
    return bytes;
}

// Runs the dump helper on the bytes; returns its stdout from the version line on.
std::string listingOf(const Bytes& bytes, const std::string& tz, std::string* before = nullptr) {
    ScratchDir dir;
    writeFile(dir.file("m.rvl"), bytes);
    ProcessResult r = runProcess({testBinDir() + "/rvl-module-dump", "m.rvl"}, {"TZ=" + tz});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    size_t at = r.out.find("Версия: ");
    if (at == std::string::npos) return "<no listing in:\n" + r.out + ">";
    if (before) *before = r.out.substr(0, at);
    return r.out.substr(at);
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

} // namespace

TEST(Listing, Modules) {
    rvlpack::Module all;
    all.created = 1365142023;  // 2013-04-05 06:07:03 UTC
    all.packName = L"Пак";
    all.author = L"Автор";
    all.topics.push_back({L"Все типы",
                          {ask('T', L"Текст?", 100), ask('I', L"Что на картинке?", 200, 1000),
                           ask('A', L"Что звучит?", 300, 3), ask('V', L"Что в кино?", 400, 2000, 50000),
                           ask('X', L"Странный", 500), ask('T', L"Следом", 65535)}});
    all.topics.push_back({L"Пусто", {}});
    all.topics.push_back({L"Хвост", {ask('?', L"Последний", 7)}});
    all.topics.push_back({L"Конец", {ask('I', L"Пустая картинка", 0, 0), ask('Z', L"Открытый", 8)}});

    rvlpack::Module odd;
    odd.created = 86399;  // 1970-01-01 23:59:59 UTC
    odd.author = L"А";
    odd.topics.push_back({std::wstring{0xD83D, 0xDE00, L'x', 0xDC00, L'y', 0xD800}, {}});

    rvlpack::Module empty;
    empty.created = 0xFFFFFFFF;  // 2106-02-07 06:28:15 UTC
    empty.packName = L"Только пак";

    struct Row {
        const char* name;
        Bytes bytes;
        std::string tz;
        std::string expected;
    };
    std::vector<Row> rows = {
        {"26-byte example at UTC+3", exampleModule(), "Etc/GMT-3",
         joined({"Версия: RVL1", "Время создания: 1970.1.1 3:0:0", "Автор: ; Название пака: ", "Тема <A>:",
                 "\tВопрос: Q?; Ответ: B; Баллы: 100; Тип: Текст"})},
        {"26-byte example at UTC", exampleModule(), "UTC",
         joined({"Версия: RVL1", "Время создания: 1970.1.1 0:0:0", "Автор: ; Название пака: ", "Тема <A>:",
                 "\tВопрос: Q?; Ответ: B; Баллы: 100; Тип: Текст"})},
        {"all four types and unknown ones", moduleBytes(all), "Etc/GMT-3",
         joined({"Версия: RVL1", "Время создания: 2013.4.5 9:7:3", "Автор: Автор; Название пака: Пак",
                 "Тема <Все типы>:", "\tВопрос: Текст?; Ответ: ОТекст?; Баллы: 100; Тип: Текст",
                 "\tВопрос: Что на картинке?; Ответ: ОЧто на картинке?; Баллы: 200; Тип: Картинка(1000 байт)",
                 "\tВопрос: Что звучит?; Ответ: ОЧто звучит?; Баллы: 300; Тип: Аудио(3 байт)",
                 "\tВопрос: Что в кино?; Ответ: ОЧто в кино?; Баллы: 400; Тип: Видео(2000 байт аудио и 50000 байт "
                 "видео)",
                 "\tВопрос: Странный; Ответ: ОСтранный; Баллы: 500\tВопрос: Следом; Ответ: ОСледом; Баллы: 65535; "
                 "Тип: Текст",
                 "Тема <Пусто>:", "Тема <Хвост>:", "\tВопрос: Последний; Ответ: ОПоследний; Баллы: 7Тема <Конец>:",
                 "\tВопрос: Пустая картинка; Ответ: ОПустая картинка; Баллы: 0; Тип: Картинка(0 байт)"}) +
             "\tВопрос: Открытый; Ответ: ООткрытый; Баллы: 8"},
        {"surrogates on the console, day change at UTC+3", moduleBytes(odd), "Etc/GMT-3",
         joined({"Версия: RVL1", "Время создания: 1970.1.2 2:59:59", "Автор: А; Название пака: ",
                 "Тема <😀x\uFFFDy\uFFFD>:"})},
        {"no topics, last stamp", moduleBytes(empty), "UTC",
         joined({"Версия: RVL1", "Время создания: 2106.2.7 6:28:15", "Автор: ; Название пака: Только пак"})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string got = listingOf(row.bytes, row.tz);
        EXPECT_EQ(got, row.expected);
        std::vector<std::string> gotLines = lines(got), wantLines = lines(row.expected);
        for (size_t i = 0; i < std::min(gotLines.size(), wantLines.size()); ++i)
            EXPECT_EQ(gotLines[i], wantLines[i]) << "line " << i + 1;
        EXPECT_EQ(gotLines.size(), wantLines.size());
    }
}

TEST(Listing, RejectedFileShowsNoInventedTime) {
    std::string before;
    std::string got = listingOf({'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'u', 'l', 'e'}, "Etc/GMT-3", &before);
    EXPECT_EQ(before, "Данный фаил не является игровым модулем Ravlin.\n");
    EXPECT_EQ(got, joined({"Версия: RVL1", "Время создания: -", "Автор: ; Название пака: "}));

    // A file cut after its stamp was read has no module either.
    Bytes cut = exampleModule();
    cut.resize(12);
    cut[7] = 1;
    got = listingOf(cut, "UTC", &before);
    EXPECT_NE(before.find("Модуль повреждён"), std::string::npos) << before;
    EXPECT_EQ(got, joined({"Версия: RVL1", "Время создания: -", "Автор: ; Название пака: "}));
}
