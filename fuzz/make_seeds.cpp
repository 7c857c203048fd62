// Writes the fuzz targets' seed corpus: modules made by the module writer
// (every question type, empty texts, zero-length media), manifests, chooser
// result files, and small pictures (PNG, JPEG) and sounds (WAV, OGG, FLAC).
// Usage: rvl-fuzz-seeds DIR   (makes DIR/loader, DIR/chooser_result, ...)
#include <SDL.h>
#include <SDL_image.h>
#include <SFML/Audio/OutputSoundFile.hpp>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "packing/module_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool writeBytes(const std::string& path, const Bytes& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        perror(path.c_str());
        return false;
    }
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

Bytes readBytes(const std::string& path) {
    Bytes bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    int c;
    while ((c = fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    fclose(f);
    return bytes;
}

void putLE(Bytes& out, uint32_t v, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A PCM WAV file of the given shape holding a short square wave.
Bytes wav(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t frames) {
    uint32_t blockAlign = channels * bits / 8u;
    uint32_t dataSize = frames * blockAlign;
    Bytes w = {'R', 'I', 'F', 'F'};
    putLE(w, 36 + dataSize, 4);
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLE(w, 16, 4);
    putLE(w, 1, 2);
    putLE(w, channels, 2);
    putLE(w, rate, 4);
    putLE(w, rate * blockAlign, 4);
    putLE(w, blockAlign, 2);
    putLE(w, bits, 2);
    w.insert(w.end(), {'d', 'a', 't', 'a'});
    putLE(w, dataSize, 4);
    for (uint32_t i = 0; i < dataSize; ++i) w.push_back((i / 8) % 2 ? 0x20 : 0xE0);
    return w;
}

// A small picture with a few colours, saved as PNG or JPEG through SDL_image.
Bytes picture(int w, int h, bool png, const std::string& scratch) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
    if (!s) return {};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            SDL_Rect r{x, y, 1, 1};
            SDL_FillRect(s, &r, SDL_MapRGBA(s->format, Uint8(x * 40), Uint8(y * 60), Uint8(x * y), 255));
        }
    }
    int rc = png ? IMG_SavePNG(s, scratch.c_str()) : IMG_SaveJPG(s, scratch.c_str(), 50);
    SDL_FreeSurface(s);
    if (rc != 0) {
        fprintf(stderr, "%s: %s\n", png ? "IMG_SavePNG" : "IMG_SaveJPG", SDL_GetError());
        return {};
    }
    Bytes bytes = readBytes(scratch);
    remove(scratch.c_str());
    return bytes;
}

// A short square wave written by the audio library's own encoders (OGG
// Vorbis, FLAC), which the decoder reads back.
Bytes encodedSound(const std::string& scratch, unsigned channels, unsigned rate) {
    std::vector<sf::Int16> samples;
    for (unsigned i = 0; i < rate / 20 * channels; ++i) samples.push_back((i / 40) % 2 ? 12000 : -12000);
    {
        sf::OutputSoundFile file;
        if (!file.openFromFile(scratch, rate, channels)) return {};
        file.write(samples.data(), samples.size());
    }
    Bytes bytes = readBytes(scratch);
    remove(scratch.c_str());
    return bytes;
}

rvlpack::Question ask(char type, const std::wstring& q, const std::wstring& a, uint16_t points, Bytes media = {},
                      Bytes video = {}) {
    rvlpack::Question x;
    x.type = type;
    x.question = q;
    x.answer = a;
    x.points = points;
    x.media = std::move(media);
    x.video = std::move(video);
    return x;
}

// Writes the module as a seed of both module parsers: DIR/loader/NAME and
// DIR/pack_reader/NAME.
bool writeModule(const std::string& dir, const std::string& name, const rvlpack::Module& m) {
    std::string error;
    for (const char* parser : {"/loader/", "/pack_reader/"}) {
        std::string path = dir + parser + name;
        if (!rvlpack::writeModuleFile(m, path, &error)) {
            fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
            return false;
        }
    }
    return true;
}

// A chooser result: the count byte, then the units big-endian.
Bytes chooserResult(const std::wstring& path, int countOverride = -1) {
    Bytes b = {static_cast<uint8_t>(countOverride >= 0 ? countOverride : static_cast<int>(path.size()))};
    for (wchar_t unit : path) {
        b.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
        b.push_back(static_cast<uint8_t>(unit & 0xFF));
    }
    return b;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    for (const char* sub : {"", "/loader", "/chooser_result", "/picture", "/sound", "/pack_reader", "/manifest"})
        mkdir((dir + sub).c_str(), 0755);
    bool ok = true;

    Bytes png = picture(5, 4, true, dir + "/scratch.png");
    Bytes jpg = picture(8, 8, false, dir + "/scratch.jpg");
    Bytes pngTiny = picture(1, 1, true, dir + "/scratch.png");
    Bytes wav8 = wav(1, 8000, 8, 64);
    Bytes wav16 = wav(2, 22050, 16, 32);
    ok = !png.empty() && !jpg.empty() && !pngTiny.empty() && ok;

    ok = writeBytes(dir + "/picture/small.png", png) && ok;
    ok = writeBytes(dir + "/picture/one-pixel.png", pngTiny) && ok;
    ok = writeBytes(dir + "/picture/small.jpg", jpg) && ok;
    ok = writeBytes(dir + "/sound/mono-8bit.wav", wav8) && ok;
    ok = writeBytes(dir + "/sound/stereo-16bit.wav", wav16) && ok;
    Bytes ogg = encodedSound(dir + "/scratch.ogg", 1, 22050);
    Bytes flac = encodedSound(dir + "/scratch.flac", 2, 8000);
    ok = !ogg.empty() && !flac.empty() && ok;
    ok = writeBytes(dir + "/sound/mono.ogg", ogg) && ok;
    ok = writeBytes(dir + "/sound/stereo.flac", flac) && ok;

    // Modules: every question type with real media, the same with empty texts
    // and zero-length media, an empty module, and an unknown type byte.
    rvlpack::Module full;
    full.created = 1365142023;
    full.packName = L"Пак";
    full.author = L"Автор";
    full.topics.push_back({L"Все типы",
                           {ask('T', L"Вопрос?", L"Ответ", 100), ask('I', L"Что на картинке?", L"Квадрат", 200, png),
                            ask('I', L"JPEG", L"да", 250, jpg), ask('A', L"Что звучит?", L"Писк", 300, wav8),
                            ask('V', L"Видео", L"Кадры", 400, wav16, {0, 0, 0, 0x18, 'f', 't', 'y', 'p'}),
                            ask('X', L"Неизвестный тип", L"", 500)}});
    full.topics.push_back({L"\u00AB\u0490\xD83D\xDE00", {ask('T', std::wstring(255, L'Ж'), L"\xD800", 65535)}});
    ok = writeModule(dir, "all-types.rvl", full) && ok;

    rvlpack::Module empty;
    empty.topics.push_back({L"", {ask('T', L"", L"", 0), ask('I', L"", L"", 0), ask('A', L"", L"", 0),
                                  ask('V', L"", L"", 0), ask('Z', L"", L"", 0)}});
    empty.topics.push_back({L"", {}});
    ok = writeModule(dir, "empty-texts-zero-media.rvl", empty) && ok;
    ok = writeModule(dir, "no-topics.rvl", rvlpack::Module{}) && ok;

    rvlpack::Module wide;
    for (int t = 0; t < 12; ++t) {
        rvlpack::Topic topic{L"Тема " + std::to_wstring(t), {}};
        for (int q = 0; q < 12; ++q) topic.questions.push_back(ask("TIAV"[q % 4], L"", L"", uint16_t(q * 100)));
        wide.topics.push_back(topic);
    }
    ok = writeModule(dir, "twelve-by-twelve.rvl", wide) && ok;

    Bytes example = {'R', 'V', 'L', '1', 0, 0, 0, 0, 0, 0, 1, 1, 0, 0x41, 1, 0x54, 2, 0, 0x51, 0, 0x3F, 1, 0, 0x42, 0, 0x64};
    ok = writeBytes(dir + "/loader/example.rvl", example) && ok;
    ok = writeBytes(dir + "/pack_reader/example.rvl", example) && ok;

    // Manifests: every key and type, texts as UTF-16 unit arrays, raw type
    // bytes and the creation time in its forms. Media paths name no file.
    const char* manifests[][2] = {
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
        ok = writeBytes(dir + "/manifest/" + manifest[0], Bytes(manifest[1], manifest[1] + strlen(manifest[1]))) && ok;

    ok = writeBytes(dir + "/chooser_result/ascii.rlt", chooserResult(L"m.rvl")) && ok;
    ok = writeBytes(dir + "/chooser_result/cyrillic.rlt", chooserResult(L"/home/ведущий/пак.rvl")) && ok;
    ok = writeBytes(dir + "/chooser_result/nothing-chosen.rlt", chooserResult(L"")) && ok;
    ok = writeBytes(dir + "/chooser_result/cut.rlt", chooserResult(L"ab", 5)) && ok;
    Bytes trailing = chooserResult(L"a\u043F");
    trailing.insert(trailing.end(), {0xDE, 0xAD});
    ok = writeBytes(dir + "/chooser_result/trailing.rlt", trailing) && ok;
    ok = writeBytes(dir + "/chooser_result/longest.rlt", chooserResult(std::wstring(255, L'z'))) && ok;

    if (!ok) fprintf(stderr, "rvl-fuzz-seeds: some seeds could not be written\n");
    return ok ? 0 : 1;
}
