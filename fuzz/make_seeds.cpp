// Writes the fuzz targets' seed corpus with the tests' own media makers:
// modules (every question type, empty texts, zero-length media), manifests,
// chooser result files, and small pictures (PNG, JPEG) and sounds (WAV, OGG, FLAC).
// Usage: rvl-fuzz-seeds DIR   (makes DIR/loader, DIR/chooser_result, ...)
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

// A chooser result: the count byte, then the units big-endian.
Bytes chooserResult(const std::wstring& path, int count) {
    Bytes b = {uint8_t(count)};
    for (wchar_t unit : path) b.insert(b.end(), {uint8_t(unit >> 8), uint8_t(unit)});
    return b;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    for (const char* sub : {"", "/loader", "/chooser_result", "/picture", "/sound", "/pack_reader", "/manifest", "/questions_table"})
        mkdir((dir + sub).c_str(), 0755);
    const Bytes png = makePng(5, 4), jpg = encodePicture(patternSurface(8, 8), "jpg"), wav = makeWav(0.01, 8000);
    std::vector<std::pair<std::string, Bytes>> seeds = {
        {"picture/small.png", png}, {"picture/one-pixel.png", makePng(1, 1)}, {"picture/small.jpg", jpg},
        {"sound/mono.wav", wav}, {"sound/stereo.wav", makeWav(0.01, 22050, 2)},
        {"sound/mono.ogg", makeEncodedClip("ogg", 0.05, 22050, 1)},
        {"sound/stereo.flac", makeEncodedClip("flac", 0.05, 8000, 2)},
        {"chooser_result/ascii.rlt", chooserResult(L"m.rvl", 5)},
        {"chooser_result/cyrillic.rlt", chooserResult(L"/home/ведущий/пак.rvl", 21)},
        {"chooser_result/nothing-chosen.rlt", {0}}, {"chooser_result/cut.rlt", chooserResult(L"ab", 5)},
        {"chooser_result/longest.rlt", chooserResult(std::wstring(255, L'z'), 255)},
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
    for (const char* parser : {"loader/", "pack_reader/"}) {
        seeds.push_back({parser + std::string("all-types.rvl"), moduleBytes(full)});
        seeds.push_back({parser + std::string("empty-texts-zero-media.rvl"), moduleBytes(empty)});
        seeds.push_back({parser + std::string("no-topics.rvl"), moduleBytes(none)});
        seeds.push_back({parser + std::string("twelve-by-twelve.rvl"), moduleBytes(wide)});
        seeds.push_back({parser + std::string("example.rvl"), exampleModule()});
    }
    // Manifests: every key and type, texts as UTF-16 unit arrays, raw type
    // bytes and the creation time in its forms. Media paths name no file.
    const std::string manifests[][2] = {
        {"all-keys.json",
         R"({"name": "Пак", "author": "Автор", "created": "2024-05-01T18:30:00+03:00", "trailing": "t.bin",
             "topics": [{"name": "Тема", "questions": [
               {"type": "text", "question": "Вопрос?", "answer": "Ответ", "points": 100},
               {"type": "picture", "question": "", "answer": "", "points": 0, "media": "media/p.png"},
               {"type": "A", "question": [55296, 120], "answer": "", "points": 65535, "media": "s.wav"},
               {"type": "video", "question": "", "answer": "", "points": 1, "audio": "a.wav", "video": "v.avi"},
               {"type": 88, "question": "", "answer": "", "points": 2, "comment": "x"}]},
               {"name": "Пусто"}]})"},
        {"text-only.json",
         R"({"created": 1365142023, "topics": [{"name": "A", "questions": [{"type": "T", "question": "Q?", "answer": "B", "points": 100}]}]})"},
        {"no-topics.json", R"({"name": "", "author": "", "created": "1970-01-01", "topics": []})"},
    };
    for (const auto& manifest : manifests)
        seeds.push_back({"manifest/" + manifest[0], Bytes(manifest[1].begin(), manifest[1].end())});
    // Questions tables: each separator, a BOM, Russian headers, quoted breaks.
    for (const std::string table : {"\xEF\xBB\xBFтема;баллы;вопрос;ответ;файл\r\nА;100;\"Два;\r\nдва?\";4;\r\nБ;сто;Q;A;p.png\r\n",
                                    "topic,points,question,answer,type,media,audio,fit\nA,1,Q,A,video,v.mp4,none,letterbox\nB\n",
                                    "topic\tpoints\tquestion\tanswer\nA\t65535\t\"x\"\"y\"\tB\n"})
        seeds.push_back({"questions_table/table" + std::to_string(seeds.size()) + ".csv", Bytes(table.begin(), table.end())});
    bool ok = true;
    for (const auto& seed : seeds) {
        ok = ok && !seed.second.empty();
        writeFile(dir + "/" + seed.first, seed.second);
        ok = ok && fileExists(dir + "/" + seed.first);
    }
    if (!ok) fprintf(stderr, "rvl-fuzz-seeds: some seeds could not be written\n");
    return ok ? 0 : 1;
}
