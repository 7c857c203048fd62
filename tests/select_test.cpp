// The module selection screen under the dummy video driver. A scripted
// "fileopen.exe" in the working directory answers each click with prepared
// result-file bytes; input comes as pushed events; each screen runs in a
// child process because quitting there ends the process.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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
// "answerN" over the result file when there is one (otherwise it leaves the
// result file alone), and notes any argument other than the single "-".
const char kChooserScript[] =
    "#!/bin/sh\n"
    "n=1\n"
    "while [ -e \"run$n\" ]; do n=$((n + 1)); done\n"
    ": > \"run$n\"\n"
    "if [ -e \"answer$n\" ]; then cp \"answer$n\" openfilename.rlt; fi\n"
    "if [ \"$#\" != 1 ] || [ \"$1\" != - ]; then : > bad-arguments; fi\n";

// Prepares the working directory: the chooser and its answers run by run
// (nullopt: leave the result file alone).
void prepare(const ScratchDir& dir, const std::vector<std::optional<Bytes>>& answers) {
    writeText(dir.file("fileopen.exe"), kChooserScript, true);
    for (size_t i = 0; i < answers.size(); ++i) {
        if (answers[i]) writeFile(dir.file("answer" + std::to_string(i + 1)), *answers[i]);
    }
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
        int clicks;
        std::string console;   // the "Фаил: " line as UTF-8
        std::string units;     // the returned path as hex units
        int cantOpen;          // "Can't open file!" reports
        int notSelected;       // "File not select!" reports
    };
    const Bytes b = {1, 0, 0x62};
    std::vector<Row> rows = {
        {"02 00 61 04 3F, bytes after the units ignored", {Bytes{2, 0, 0x61, 0x04, 0x3F, 0xFF, 0x00, 0x41}},
         1, "Фаил: aп", "0061 043F ", 0, 0},
        {"every failure in turn: no file, nothing chosen, cut", {std::nullopt, Bytes{0}, Bytes{2, 0}, b}, 4,
         "Фаил: b", "0062 ", 1, 2},
        {"unpaired unit shown as U+FFFD", {Bytes{2, 0xDC, 0x00, 0, 0x78}}, 1, "Фаил: \uFFFDx",
         "DC00 0078 ", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        prepare(dir, row.answers);
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

TEST(SelectScreen, ChooserInTheWorkingDirectoryComesBeforePathWhichIsRestored) {
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
    }
}
