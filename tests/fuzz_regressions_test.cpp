// SPDX-License-Identifier: GPL-3.0-or-later
// Inputs the fuzz targets found crashing, and their kin, fed again to the code
// they crashed. Each runs in a child process, so a crash fails its own row.
// The saved inputs are in tests/fuzz_regressions/TARGET/; those named
// "refused-..." must also be refused.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SFML/Audio/SoundBuffer.hpp>

#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "packing/sheet_questions.h"
#include "packing/manifest.h"
#include "packing/pack_check.h"
#include "packing/pack_reader.h"
#include "presentation/picture_decode.h"
#include "presentation/sound_decode.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

// The reader's verdict on a picture or a sound; the pack check, run on a
// module whose one question carries the bytes, must raise a warning exactly
// when the reader refuses them.
bool readerAndCheckAgree(char type, bool readerAccepts, const Bytes& bytes) {
    rvlpack::Module module;
    module.topics.push_back(rvlpack::Topic{L"", {rvlpack::Question{type, L"", L"", 0, bytes, {}}}});
    std::vector<rvlpack::Finding> issues;
    rvlpack::checkModule(module, rvlpack::CheckOptions{}, issues);
    bool checkAccepted = issues.empty();
    if (checkAccepted != readerAccepts)
        fprintf(stderr, "the reader %s it, the pack check %s it\n", readerAccepts ? "plays" : "refuses",
                checkAccepted ? "passes" : "warns about");
    return checkAccepted == readerAccepts;
}

// A questions table of any kind, read as its name says; a table reads
// exactly when it has no error.
bool tableRead(const Bytes& bytes, const char* name) {
    nlohmann::ordered_json topics;
    rvlpack::TablePlaces places;
    std::vector<rvlpack::Finding> issues;
    bool read = rvlpack::readQuestionsTable(bytes, name, topics, places, issues);
    if (read != (rvlpack::countFindings(issues, rvlpack::Severity::Error) == 0)) exit(3);
    return read;
}

} // namespace

TEST(FuzzRegressions, SavedInputsAreHandledWithoutCrashing) {
    // Each folder of saved inputs names the code it is fed to.
    const std::map<std::string, std::function<bool(const Bytes&)>> targets = {
        {"picture",
         [](const Bytes& bytes) {
             SDL_Surface* s = decodeQuestionPicture(bytes.data(), static_cast<uint32_t>(bytes.size()));
             // Small enough for the window, so the check has nothing else to say.
             bool fits = s && s->w <= rvlpack::windowWidth && s->h <= rvlpack::windowHeight;
             bool decoded = s != nullptr;
             SDL_FreeSurface(s);
             if (!readerAndCheckAgree('I', fits, bytes)) exit(3);
             return decoded;
         }},
        {"sound",
         [](const Bytes& bytes) {
             sf::SoundBuffer buffer;
             bool played = loadQuestionSound(buffer, bytes.data(), static_cast<uint32_t>(bytes.size()));
             if (!readerAndCheckAgree('A', played, bytes)) exit(3);
             return played;
         }},
        // Its saved input is refused; the fuzz target checks the round trip of what is read.
        {"pack_reader",
         [](const Bytes& bytes) {
             rvlpack::Module module;
             return rvlpack::readModule(bytes.data(), bytes.size(), module);
         }},
        {"manifest",
         [](const Bytes& bytes) {
             ScratchDir dir;
             writeFile(dir.file("manifest.json"), bytes);
             rvlpack::Module module;
             std::vector<rvlpack::Finding> issues;
             bool loaded = rvlpack::loadManifest(dir.file("manifest.json"), module, issues);
             if (loaded != (rvlpack::countFindings(issues, rvlpack::Severity::Error) == 0)) exit(3);
             return loaded;
         }},
        {"questions_table", [](const Bytes& bytes) { return tableRead(bytes, "questions.csv"); }},
        {"xlsx_sheet", [](const Bytes& bytes) { return tableRead(bytes, "q.xlsx"); }},
        {"ods_sheet", [](const Bytes& bytes) { return tableRead(bytes, "q.ods"); }},
    };
    const std::string saved = std::filesystem::path(__FILE__).parent_path() / "fuzz_regressions";
    int replayed = 0;
    for (const auto& folder : std::filesystem::directory_iterator(saved)) {
        const std::string target = folder.path().filename();
        ASSERT_EQ(targets.count(target), 1u) << "nothing replays the saved inputs in " << folder.path();
        for (const auto& input : std::filesystem::directory_iterator(folder.path())) {
            const std::string file = input.path();
            Bytes bytes = readFile(file);
            // An input named "refused-..." must be refused, not just survived.
            bool mustRefuse = input.path().filename().string().rfind("refused-", 0) == 0;
            ProcessResult r = runInChild([&] {
                if (targets.at(target)(bytes) && mustRefuse) exit(4);
            });
            EXPECT_EQ(r.signal, 0) << file << ": crashed\n" << r.err;
            EXPECT_EQ(r.exitCode, 0) << file << (r.exitCode == 4 ? ": accepted\n" : "\n") << r.err;
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0) << "no saved inputs under " << saved;
}
