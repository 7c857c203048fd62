// Inputs the fuzz targets found crashing, and their kin, fed again to the code
// they crashed. Each runs in a child process, so a crash fails its own row.
// The saved inputs are in tests/fuzz_regressions/TARGET/.
#include <gtest/gtest.h>
#include <dirent.h>

#include <SDL.h>
#include <SFML/Audio/SoundBuffer.hpp>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "module/loader.h"
#include "packing/manifest.h"
#include "packing/pack_check.h"
#include "packing/pack_reader.h"
#include "presentation/picture_decode.h"
#include "presentation/sound_decode.h"
#include "shell/chooser_result.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

using Bytes = std::vector<uint8_t>;

std::string regressionsDir() {
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/fuzz_regressions";
}

// A WAV (RIFF header, 24-byte "fmt " chunk at 12, "data" at 36) edited, with
// its RIFF size put right.
Bytes wave(const std::function<void(Bytes&)>& edit) {
    Bytes w = makeWav(0.008, 8000);
    edit(w);
    uint32_t size = uint32_t(w.size() - 8);
    for (int i = 0; i < 4; ++i) w[4 + size_t(i)] = uint8_t(size >> (8 * i));
    return w;
}

// Runs decode in a child; its result comes back on stdout.
ProcessResult decodeInChild(const std::function<bool()>& decode) {
    return runInChild([&] { printf("%s", decode() ? "accepted" : "refused"); });
}

bool decodeSound(const Bytes& bytes) {
    sf::SoundBuffer buffer;
    return loadQuestionSound(buffer, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// The pack check's verdict on a module whose one question carries bytes:
// true when it raises no warning. It must be the reader's verdict.
bool checkAccepts(char type, const Bytes& bytes) {
    rvlpack::Question ask;
    ask.type = type;
    ask.media = bytes;
    rvlpack::Module module;
    module.topics.push_back(rvlpack::Topic{L"", {ask}});
    std::vector<rvlpack::Issue> issues;
    rvlpack::checkModule(module, rvlpack::CheckOptions{}, issues);
    return issues.empty();
}

// The reader's verdict on a picture or a sound; the check must agree with it.
bool readerAndCheckAgree(char type, bool readerAccepts, const Bytes& bytes) {
    bool checkAccepted = checkAccepts(type, bytes);
    if (checkAccepted != readerAccepts)
        fprintf(stderr, "the reader %s it, the pack check %s it\n", readerAccepts ? "plays" : "refuses",
                checkAccepted ? "passes" : "warns about");
    return checkAccepted == readerAccepts;
}

} // namespace

TEST(FuzzRegressions, WavHeadersTheAudioLibraryMishandlesAreRefused) {
    auto format = [](Bytes& w) { return Bytes(w.begin() + 12, w.begin() + 36); };
    auto dropFormat = [](Bytes& w) { w.erase(w.begin() + 12, w.begin() + 36); };
    struct Row {
        const char* name;
        Bytes bytes;
        bool accepted;
    };
    const std::vector<Row> rows = {
        {"format, then data", wave([](Bytes&) {}), true},
        {"data alone", wave(dropFormat), false},
        {"a misnamed format chunk, then data", wave([](Bytes& w) { w[15] = '$'; }), false},
        {"data, then format", wave([&](Bytes& w) { Bytes f = format(w); dropFormat(w); w.insert(w.end(), f.begin(), f.end()); }), false},
        {"empty data alone", wave([&](Bytes& w) { dropFormat(w); w.resize(20); w[16] = w[17] = 0; }), false},
        {"a rate of 4294909760 Hz", wave([](Bytes& w) { w[26] = w[27] = 0xFF; }), false},
        {"format with 0 bits per sample", wave([](Bytes& w) { w[34] = 0; }), false},
    };
    for (const Row& row : rows) {
        ProcessResult r = decodeInChild([&] { return decodeSound(row.bytes); });
        EXPECT_EQ(r.signal, 0) << row.name << ": the decoder crashed";
        EXPECT_EQ(r.exitCode, 0) << row.name << "\n" << r.err;
        EXPECT_EQ(r.out, row.accepted ? "accepted" : "refused") << row.name << "\n" << r.err;
    }
}

TEST(FuzzRegressions, SavedInputsAreHandledWithoutCrashing) {
    const std::vector<std::pair<std::string, std::function<bool(const Bytes&)>>> targets = {
        {"loader",
         [](const Bytes& bytes) {
             ScratchDir dir;
             writeFile(dir.file("m.rvl"), bytes);
             freopen("/dev/null", "w", stdout);
             return loadModule(L"m.rvl");
         }},
        {"chooser_result",
         [](const Bytes& bytes) {
             ScratchDir dir;
             writeFile(dir.file("openfilename.rlt"), bytes);
             FILE* f = fopen("openfilename.rlt", "rb");
             std::wstring path;
             bool chosen = readChooserResult(f, path);
             if (f) fclose(f);
             return chosen;
         }},
        {"picture",
         [](const Bytes& bytes) {
             SDL_Surface* s = decodeQuestionPicture(bytes.data(), static_cast<uint32_t>(bytes.size()));
             SDL_FreeSurface(s);
             // Small enough for the window, so the check has nothing else to say.
             bool fits = s && s->w <= rvlpack::windowWidth && s->h <= rvlpack::windowHeight;
             if (!readerAndCheckAgree('I', fits, bytes)) exit(3);
             return s != nullptr;
         }},
        {"sound",
         [](const Bytes& bytes) {
             if (!readerAndCheckAgree('A', decodeSound(bytes), bytes)) exit(3);
             return true;
         }},
        {"pack_reader",
         [](const Bytes& bytes) {
             rvlpack::Module module;
             if (!rvlpack::readModule(bytes.data(), bytes.size(), module)) return false;
             Bytes written;
             if (!rvlpack::writeModule(module, written) || written != bytes) exit(3);
             return true;
         }},
        {"manifest",
         [](const Bytes& bytes) {
             ScratchDir dir;
             writeFile(dir.file("manifest.json"), bytes);
             rvlpack::Module module;
             std::vector<rvlpack::Issue> issues;
             bool loaded = rvlpack::loadManifest(dir.file("manifest.json"), module, issues);
             if (loaded != (rvlpack::countIssues(issues, rvlpack::Severity::Error) == 0)) exit(3);
             return loaded;
         }},
    };
    int replayed = 0;
    for (const auto& target : targets) {
        std::string dir = regressionsDir() + "/" + target.first;
        DIR* d = opendir(dir.c_str());
        if (!d) continue;
        while (dirent* entry = readdir(d)) {
            if (entry->d_name[0] == '.') continue;
            std::string file = dir + "/" + entry->d_name;
            Bytes bytes = readFile(file);
            ProcessResult r = runInChild([&] { target.second(bytes); });
            EXPECT_EQ(r.signal, 0) << file << ": crashed\n" << r.err;
            EXPECT_EQ(r.exitCode, 0) << file << "\n" << r.err;
            ++replayed;
        }
        closedir(d);
    }
    EXPECT_GT(replayed, 0) << "no saved inputs under " << regressionsDir();
}
