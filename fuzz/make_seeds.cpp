// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the fuzz targets' seed corpus: modules made by the module writer
// (every question type, empty texts, zero-length media, none, a wide grid),
// small pictures (PNG, JPEG) and sounds (WAV, OGG, FLAC) made by the tests'
// own media makers, .xlsx and .ods files from their spreadsheet writer, and
// the hand-written seeds of fuzz/seeds/ (manifests, questions tables,
// chooser result files) copied beside them.
// Usage: rvl-fuzz-seeds DIR   (makes DIR/loader, DIR/chooser_result, ...)
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/spreadsheets.h"
#include "tests/support/test_support.h"

using namespace testing_support;

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    std::error_code error;
    using std::filesystem::copy_options;
    std::filesystem::copy(RVL_FUZZ_SEEDS_DIR, dir, copy_options::recursive | copy_options::overwrite_existing, error);
    for (const char* sub : {"/loader", "/picture", "/sound", "/pack_reader", "/xlsx_sheet", "/ods_sheet"})
        std::filesystem::create_directories(dir + sub);
    const Bytes png = makePng(5, 4), jpg = encodePicture(patternSurface(8, 8), "jpg"), wav = makeWav(0.01, 8000);
    std::vector<std::pair<std::string, Bytes>> seeds = {
        {"picture/small.png", png}, {"picture/one-pixel.png", makePng(1, 1)}, {"picture/small.jpg", jpg},
        {"sound/mono.wav", wav}, {"sound/stereo.wav", makeWav(0.01, 22050, 2)},
        {"sound/mono.ogg", makeEncodedClip("ogg", 0.05, 22050, 1)},
        {"sound/stereo.flac", makeEncodedClip("flac", 0.05, 8000, 2)},
    };
    // Modules for both module parsers: every type with real media and odd
    // texts, the same with empty texts and zero-length media, none at all,
    // a wide grid and the 26-byte example.
    rvlpack::Module full{1365142023, L"Пак", L"Автор", {}, {}};
    full.topics.push_back({L"Все типы", {ask('T', 100), ask('I', 200, png), ask('I', 250, jpg), ask('A', 300, wav),
                                         ask('V', 400, wav, {0, 0, 0, 0x18, 'f', 't', 'y', 'p'}), ask('X', 500)}});
    full.topics.push_back({L"\u00AB\u0490\xD83D\xDE00", {ask('T', 65535)}});
    full.topics[1].questions[0].question = std::wstring(255, L'Ж');
    full.topics[1].questions[0].answer = L"\xD800";
    rvlpack::Module empty, none, wide;
    empty.topics = {{L"", {ask('T', 0), ask('I', 0), ask('A', 0), ask('V', 0), ask('Z', 0)}}, {L"", {}}};
    for (auto& q : empty.topics[0].questions) q.question = q.answer = L"";
    for (int t = 0; t < 12; ++t) {
        wide.topics.push_back({L"Тема " + std::to_wstring(t), {}});
        for (int q = 0; q < 12; ++q) wide.topics.back().questions.push_back(ask("TIAV"[q % 4], uint16_t(q * 100)));
    }
    for (const std::string parser : {"loader/", "pack_reader/"}) {
        seeds.push_back({parser + "all-types.rvl", moduleBytes(full)});
        seeds.push_back({parser + "empty-texts-zero-media.rvl", moduleBytes(empty)});
        seeds.push_back({parser + "no-topics.rvl", moduleBytes(none)});
        seeds.push_back({parser + "twelve-by-twelve.rvl", moduleBytes(wide)});
        seeds.push_back({parser + "example.rvl", exampleModule()});
    }
    // Spreadsheets with every kind of cell: texts, numbers, a formula, a
    // date, merged and repeated cells.
    const std::vector<std::vector<std::string>> grid = {
        {"Тема", "Баллы", "Вопрос", "Ответ", "Тип"}, {"Всё", "100", "Два\nдва?", "#4", ""},
        {"", "=2*100|200", "Q", "@45413|2024-05-01", "текст"}, {"Ещё", "#2.5", "Q", "Q", ""}};
    seeds.push_back({"xlsx_sheet/questions.xlsx", spreadsheet(false, grid)});
    seeds.push_back({"ods_sheet/questions.ods", spreadsheet(true, grid)});
    bool ok = !error;
    for (const auto& seed : seeds) {
        writeFile(dir + "/" + seed.first, seed.second);
        ok = ok && !seed.second.empty() && fileExists(dir + "/" + seed.first);
    }
    if (!ok) fprintf(stderr, "rvl-fuzz-seeds: some seeds could not be written\n");
    return ok ? 0 : 1;
}
