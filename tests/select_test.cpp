// The module selection screen under the dummy video driver. A scripted
// "fileopen.exe" in the working directory answers each click with prepared
// result-file bytes; input comes as pushed events; each screen runs in a
// child process because quitting there ends the process.
#include <gtest/gtest.h>

#include <SDL_ttf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "platform/console.h"
#include "shell/globals.h"
#include "shell/select_module.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

using Bytes = std::vector<uint8_t>;

// On its Nth run the stand-in chooser leaves the file "runN", copies
// "answerN" over the result file when there is one, or makes it a FIFO when
// "fifoN" exists, notes any argument other than the single "-" and the PATH
// it was given.
const char kChooserScript[] =
    "#!/bin/sh\n"
    "n=1\n"
    "while [ -e \"run$n\" ]; do n=$((n + 1)); done\n"
    ": > \"run$n\"\n"
    "if [ -e \"answer$n\" ]; then cp \"answer$n\" openfilename.rlt; fi\n"
    "if [ -e \"fifo$n\" ]; then mkfifo openfilename.rlt; fi\n"
    "/usr/bin/env | grep ^PATH= > path-seen\n"
    "if [ \"$#\" != 1 ] || [ \"$1\" != - ]; then : > bad-arguments; fi\n";

// Prepares the working directory: the chooser, its answers run by run
// (nullopt: leave the result file alone) and a result file left from before.
void prepare(const ScratchDir& dir, const std::vector<std::optional<Bytes>>& answers,
             const std::optional<Bytes>& leftOver = std::nullopt) {
    writeText(dir.file("fileopen.exe"), kChooserScript, true);
    for (size_t i = 0; i < answers.size(); ++i) {
        if (answers[i]) writeFile(dir.file("answer" + std::to_string(i + 1)), *answers[i]);
    }
    if (leftOver) writeFile(dir.file("openfilename.rlt"), *leftOver);
}

int chooserRuns(const ScratchDir& dir) {
    int n = 0;
    while (fileExists(dir.file("run" + std::to_string(n + 1)))) ++n;
    return n;
}

std::string hexUnits(const std::wstring& text) {
    std::string out;
    char buf[8];
    for (wchar_t unit : text) {
        snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(unit));
        out += buf;
    }
    return out;
}

size_t count(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
}

// Error boxes as the user would have seen them. Without a display SDL either
// fails to show a box (the screen then writes the text to stderr) or hands it
// to zenity, which a stand-in on PATH logs to "boxes.log"; both count.
std::string boxesShown(const ProcessResult& r) {
    std::vector<uint8_t> log = readFile("boxes.log");
    return r.err + std::string(log.begin(), log.end());
}

// Opens the window, queues the events, runs the screen and prints what it
// returned as hex units; then runs after(), if any, in the same child.
ProcessResult runScreen(const std::function<void()>& pushEvents, const std::function<void()>& after = nullptr) {
    return runInChild([&] {
        alarm(20);  // a screen that never returns fails the test instead of hanging it
        // No display server: no box may wait for a user.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        char cwd[4096];
        std::string here = getcwd(cwd, sizeof cwd) ? cwd : ".";
        mkdir("boxes", 0755);
        writeText("boxes/zenity", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + here + "/boxes.log'\n", true);
        std::string path = here + "/boxes:" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
        setenv("PATH", path.c_str(), 1);
        installUtf8Console();
        SdlWindow sdl;
        if (!sdl.ok()) {
            std::cerr << "no window: " << SDL_GetError() << std::endl;
            _exit(3);
        }
        pushEvents();
        std::wstring chosen = selectModuleFile();
        std::wcout << L"returned " << chosen.size() << L": " << std::flush;
        std::cout << hexUnits(chosen) << std::endl;
        if (after) after();
    });
}

} // namespace

TEST(SelectScreen, ResultFileCases) {
    struct Row {
        const char* name;
        std::vector<std::optional<Bytes>> answers;
        std::optional<Bytes> leftOver;
        int clicks;
        std::string console;   // the "Фаил: " line as UTF-8
        std::string units;     // the returned path as hex units
        int cantOpen;          // "Can't open file!" reports
        int notSelected;       // "File not select!" reports
        int fifoOnRun = 0;     // the chooser's run that leaves a FIFO
    };
    const Bytes b = {1, 0, 0x62};
    std::string twoFiftyFive(255, 'z');
    Bytes longResult = {255};
    std::string longHex;
    for (int i = 0; i < 255; ++i) {
        longResult.insert(longResult.end(), {0, 'z'});
        longHex += "007A ";
    }
    std::vector<Row> rows = {
        {"02 00 61 04 3F", {Bytes{2, 0, 0x61, 0x04, 0x3F}}, std::nullopt, 1, "Фаил: aп", "0061 043F ", 0, 0},
        {"bytes after the units are ignored", {Bytes{2, 0, 0x61, 0x04, 0x3F, 0xFF, 0x00, 0x41}}, std::nullopt, 1,
         "Фаил: aп", "0061 043F ", 0, 0},
        {"255 units", {longResult}, std::nullopt, 1, "Фаил: " + twoFiftyFive, longHex, 0, 0},
        {"first byte 0, then a choice", {Bytes{0}, b}, std::nullopt, 2, "Фаил: b", "0062 ", 0, 1},
        {"first byte 0 with bytes behind it", {Bytes{0, 0, 0x41}, b}, std::nullopt, 2, "Фаил: b", "0062 ", 0, 1},
        {"no result file, then a choice", {std::nullopt, b}, std::nullopt, 2, "Фаил: b", "0062 ", 1, 0},
        {"empty result file", {Bytes{}, b}, std::nullopt, 2, "Фаил: b", "0062 ", 0, 1},
        {"file ends after the count byte", {Bytes{5}, b}, std::nullopt, 2, "Фаил: b", "0062 ", 0, 1},
        {"file ends inside the units", {Bytes{3, 0, 0x61, 0x04}, b}, std::nullopt, 2, "Фаил: b", "0062 ", 0, 1},
        {"every failure in turn", {std::nullopt, Bytes{0}, Bytes{2, 0}, b}, std::nullopt, 4, "Фаил: b", "0062 ", 1, 2},
        {"an earlier run's result is not read again", {std::nullopt, b}, Bytes{1, 0, 0x63}, 2, "Фаил: b", "0062 ", 1, 0},
        {"a FIFO is refused without blocking", {std::nullopt, b}, std::nullopt, 2, "Фаил: b", "0062 ", 1, 0, 1},
        {"surrogate pair joined on the console", {Bytes{2, 0xD8, 0x3D, 0xDE, 0x00}}, std::nullopt, 1, "Фаил: 😀",
         "D83D DE00 ", 0, 0},
        {"unpaired unit shown as U+FFFD", {Bytes{2, 0xDC, 0x00, 0, 0x78}}, std::nullopt, 1, "Фаил: \uFFFDx",
         "DC00 0078 ", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        prepare(dir, row.answers, row.leftOver);
        if (row.fifoOnRun) writeText(dir.file("fifo" + std::to_string(row.fifoOnRun)), "");
        ProcessResult r = runScreen([&] {
            for (int i = 0; i < row.clicks; ++i) pushLeftClick(100 + 300 * i, 700 - 200 * i);
        });
        ASSERT_EQ(r.exitCode, 0) << "signal " << r.signal << "\n" << r.err;
        std::vector<std::string> out = lines(r.out);
        ASSERT_EQ(out.size(), 2u) << r.out;
        EXPECT_EQ(out[0], row.console);
        EXPECT_EQ(out[1], "returned " + std::to_string(row.units.size() / 5) + ": " + row.units);
        EXPECT_EQ(chooserRuns(dir), row.clicks) << "the chooser runs once per left click, the failed ones included";
        EXPECT_FALSE(fileExists(dir.file("bad-arguments"))) << "the command line is \"fileopen.exe -\"";
        std::string boxes = boxesShown(r);
        EXPECT_EQ(count(boxes, "Can't open file!"), size_t(row.cantOpen)) << boxes;
        EXPECT_EQ(count(boxes, "File not select!"), size_t(row.notSelected)) << boxes;
    }
}

TEST(SelectScreen, QuitRequestsEndTheProcessWithStatusZeroAndOtherInputIsIgnored) {
    struct Row {
        const char* name;
        std::function<void()> push;
    };
    std::vector<Row> rows = {
        {"F10 down", [] { pushKey(SDL_SCANCODE_F10, SDL_KEYDOWN); }},
        {"F10 up alone", [] { pushKey(SDL_SCANCODE_F10, SDL_KEYUP); }},
        {"quit request", [] { pushQuit(); }},
        {"right, middle, left release, motion, wheel and other keys, then quit",
         [] {
             pushButton(SDL_BUTTON_RIGHT);
             pushButton(SDL_BUTTON_MIDDLE);
             pushButton(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONUP);
             pushMotion(300, 300);
             pushWheel(1);
             pushKey(SDL_SCANCODE_F9);
             pushKey(SDL_SCANCODE_ESCAPE);
             pushKey(SDL_SCANCODE_RETURN, SDL_KEYUP);
             pushQuit();
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        prepare(dir, {Bytes{1, 0, 0x61}});
        ProcessResult r = runScreen([&] {
            row.push();
            pushLeftClick();  // behind the quit: never reached
        });
        EXPECT_EQ(r.exitCode, 0) << "signal " << r.signal << "\n" << r.err;
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.out, "") << "the screen must end the process, not return";
        EXPECT_EQ(chooserRuns(dir), 0) << "no input before the quit may run the chooser";
    }
}

TEST(SelectScreen, ChooserInTheWorkingDirectoryComesBeforePathAndGetsTheEnvironmentUnchanged) {
    struct Row {
        const char* name;
        bool decoyOnPath;
        bool unsetPath;
    };
    std::vector<Row> rows = {{"decoy chooser first on PATH", true, false}, {"PATH unset", false, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        prepare(dir, {Bytes{1, 0, 0x61}});
        mkdir(dir.file("elsewhere").c_str(), 0755);
        writeText(dir.file("elsewhere/fileopen.exe"),
                  "#!/bin/sh\n: > decoy-ran\nprintf '\\001\\000d' > openfilename.rlt\n", true);
        std::string pathValue = dir.file("elsewhere") + ":" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
        ProcessResult r = runScreen(
            [&] {
                if (row.unsetPath) unsetenv("PATH");
                else setenv("PATH", pathValue.c_str(), 1);
                pushLeftClick();
            },
            [&] {
                const char* now = getenv("PATH");
                if (row.unsetPath) std::cout << (now ? "PATH set: " + std::string(now) : "PATH unset") << std::endl;
                else std::cout << (now && pathValue == now ? "PATH kept" : "PATH changed") << std::endl;
            });
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::vector<std::string> out = lines(r.out);
        ASSERT_EQ(out.size(), 3u) << r.out;
        EXPECT_EQ(out[0], "Фаил: a");
        EXPECT_EQ(out[2], row.unsetPath ? "PATH unset" : "PATH kept");
        EXPECT_FALSE(fileExists(dir.file("decoy-ran")));
        EXPECT_EQ(chooserRuns(dir), 1);
        std::vector<uint8_t> seen = readFile(dir.file("path-seen"));
        EXPECT_EQ(std::string(seen.begin(), seen.end()), row.unsetPath ? "" : "PATH=" + pathValue + "\n");
    }
}

TEST(SelectScreen, DrawsTheWhitePromptCentredAndTheGreyHintTopLeftOnBlack) {
    ScratchDir dir;
    prepare(dir, {Bytes{1, 0, 0x61}});
    ProcessResult r = runScreen([] { pushLeftClick(); },
                                [] {
                                    int pw = 0, ph = 0, hw = 0, hh = 0;
                                    TTF_SizeText(mainFont, "Press on window and select <.rvl> file.", &pw, &ph);
                                    TTF_SizeText(mainFont, "F10 - exit(Only here and on the question board)", &hw, &hh);
                                    SDL_Rect prompt{512 - pw / 2, 384 - ph / 2, pw, ph};
                                    SDL_Rect hint{0, 0, hw, hh};
                                    std::vector<uint8_t> px(size_t(1024) * 768 * 4);
                                    SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGBA32, px.data(), 1024 * 4);
                                    int white = 0, hintLit = 0, hintMax = 0, hintNotGrey = 0, outsideLit = 0;
                                    for (int y = 0; y < 768; ++y) {
                                        for (int x = 0; x < 1024; ++x) {
                                            const uint8_t* p = &px[(size_t(y) * 1024 + x) * 4];
                                            SDL_Point at{x, y};
                                            bool lit = p[0] || p[1] || p[2];
                                            if (SDL_PointInRect(&at, &prompt)) {
                                                if (p[0] == 255 && p[1] == 255 && p[2] == 255) ++white;
                                            } else if (SDL_PointInRect(&at, &hint)) {
                                                if (lit) ++hintLit;
                                                hintMax = std::max<int>(hintMax, p[0]);
                                                if (p[0] != p[1] || p[1] != p[2]) ++hintNotGrey;
                                            } else if (lit) {
                                                ++outsideLit;
                                            }
                                        }
                                    }
                                    std::cout << "white " << white << " hintLit " << hintLit << " hintMax " << hintMax
                                              << " hintNotGrey " << hintNotGrey << " outsideLit " << outsideLit
                                              << std::endl;
                                });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 3u) << r.out;
    int white = 0, hintLit = 0, hintMax = 0, hintNotGrey = 0, outsideLit = 0;
    ASSERT_EQ(sscanf(out[2].c_str(), "white %d hintLit %d hintMax %d hintNotGrey %d outsideLit %d", &white, &hintLit,
                     &hintMax, &hintNotGrey, &outsideLit),
              5)
        << out[2];
    EXPECT_GT(white, 200) << "the prompt is drawn in opaque white in the middle";
    EXPECT_GT(hintLit, 200) << "the hint is drawn in the top-left corner";
    EXPECT_GT(hintMax, 40) << "hint brightness";
    EXPECT_LE(hintMax, 150) << "the hint is grey 150 at alpha 150, never brighter";
    EXPECT_EQ(hintNotGrey, 0) << "the hint is neutral grey";
    EXPECT_EQ(outsideLit, 0) << "everything else is black";
}
