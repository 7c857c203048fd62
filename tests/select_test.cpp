// SPDX-License-Identifier: GPL-3.0-or-later
// The module selection screen under the dummy video driver. A scripted
// "fileopen.exe" in the working directory answers each click with prepared
// result-file bytes; input comes as pushed events; each screen runs in a
// child process because quitting there ends the process.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "platform/console.h"
#include "platform/event_pump.h"
#include "shell/globals.h"
#include "shell/select_module.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

using Bytes = std::vector<uint8_t>;

// On its Nth run the stand-in chooser leaves the file "runN", puts a copy of
// "answerN" in place of the result file when there is one, or makes it a FIFO
// when "fifoN" exists, notes any argument other than the single "-" and the
// PATH it was given, and then runs the commands of "thenN" when there are any.
const char kChooserScript[] =
    "#!/bin/sh\n"
    "n=1\n"
    "while [ -e \"run$n\" ]; do n=$((n + 1)); done\n"
    ": > \"run$n\"\n"
    "if [ -e \"answer$n\" ]; then rm -f openfilename.rlt; cp \"answer$n\" openfilename.rlt; fi\n"
    "if [ -e \"fifo$n\" ]; then mkfifo openfilename.rlt; fi\n"
    "/usr/bin/env | grep ^PATH= > path-seen\n"
    "if [ \"$#\" != 1 ] || [ \"$1\" != - ]; then : > bad-arguments; fi\n"
    "if [ -e \"then$n\" ]; then . \"./then$n\"; fi\n";

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

size_t count(const std::string& text, const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
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
        catchQuitSignals();  // as the reader's start-up does
        pushEvents();
        std::wstring chosen = selectModuleFile();
        std::wcout << L"returned " << chosen.size() << L": " << std::flush;
        char unit[8];  // UTF-16 units as "0061 043F ", to compare them one by one
        for (wchar_t u : chosen) snprintf(unit, sizeof unit, "%04X ", unsigned(u)), std::cout << unit;
        std::cout << std::endl;
        if (after) after();
    });
}

} // namespace

TEST(SelectScreen, ResultFileCasesAndWaysOut) {
    struct Row {
        const char* name;
        std::vector<std::optional<Bytes>> answers;
        std::optional<Bytes> leftOver;  // one left click per answer
        std::string console;   // the "Фаил: " line as UTF-8
        std::string units;     // the returned path as hex units
        int cantOpen;          // "Can't open file!" reports
        int notSelected;       // "File not select!" reports
        int fifoOnRun = 0;     // the chooser's run that leaves a FIFO
        std::string then = "";  // commands after its first run
        std::function<void()> before = [] {};  // input queued before the clicks
    };
    // The real chooser asked on its terminal; "asked" gets its question.
    const std::string real = "RVL_CHOOSER_TERMINAL=1 XDG_CONFIG_HOME=$PWD/config exec '" + runDir() + "/fileopen.exe' - ";
    const Bytes b = {1, 0, 0x62}, c = {1, 0, 0x63};
    std::vector<Row> rows = {
        {"bytes after the units are ignored", {Bytes{2, 0, 0x61, 0x04, 0x3F, 0xFF, 0x00, 0x41}}, std::nullopt,
         "Фаил: aп", "0061 043F ", 0, 0},
        {"every failure in turn", {std::nullopt, Bytes{0, 0, 0x41}, Bytes{2, 0}, b}, std::nullopt, "Фаил: b", "0062 ", 1, 2},
        {"an earlier run's result is read again when the chooser leaves it", {std::nullopt}, c, "Фаил: c", "0063 ", 0, 0},
        // Our chooser writes "nothing chosen" before it asks.
        {"the real chooser cancelled: its input ends", {std::nullopt}, c, "", "", 0, 1, 0, real + ">asked"},
        {"the real chooser killed at its question", {std::nullopt}, c, "", "", 0, 1, 0,
         "mkfifo typed; (until grep -qs rvl asked; do sleep 0.05; done; kill -TERM $$) & " + real + "<>typed >asked"},
        // Then the screen ends as on its quit request, without a box.
        {"SIGTERM to the reader while the chooser asks", {std::nullopt}, c, "", "", 0, 0, 0, "kill -TERM $PPID; " + real + ">asked"},
        {"a FIFO is refused without blocking; a surrogate pair joined on the console",
         {std::nullopt, Bytes{2, 0xD8, 0x3D, 0xDE, 0x00}}, std::nullopt, "Фаил: 😀", "D83D DE00 ", 1, 0, 1},
        // The ways out end the process with status 0; the click behind them never runs the chooser.
        {"F10 up alone", {}, std::nullopt, "", "", 0, 0, 0, "", [] { pushKey(SDL_SCANCODE_F10, SDL_KEYUP), pushLeftClick(); }},
        {"quit request", {}, std::nullopt, "", "", 0, 0, 0, "", [] { pushQuit(), pushLeftClick(); }},
        {"other buttons, motion, wheel and keys, then F10", {}, std::nullopt, "", "", 0, 0, 0, "",
         [] { pushOtherInput(), pushLeftClick(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        prepare(dir, row.answers, row.leftOver);
        if (row.fifoOnRun) writeText(dir.file("fifo" + std::to_string(row.fifoOnRun)), "");
        if (!row.then.empty()) writeText(dir.file("then1"), row.then + "\n");
        ProcessResult r = runScreen([&] {
            row.before();
            for (int i = 0; i < int(row.answers.size()); ++i) pushLeftClick(100 + 300 * i, 700 - 200 * i);
            pushKey(SDL_SCANCODE_F10);  // the way out when nothing was chosen
        });
        ASSERT_EQ(r.exitCode, 0) << "signal " << r.signal << "\n" << r.err;
        std::vector<std::string> out = lines(r.out);
        if (row.console.empty()) {
            EXPECT_EQ(r.out, "") << "nothing may be loaded: the screen must end the process";
            EXPECT_TRUE(row.answers.empty() || readFile(dir.file("openfilename.rlt")) == Bytes{0}) << "nothing chosen";
        } else {
            ASSERT_EQ(out.size(), 2u) << r.out;
            EXPECT_EQ(out[0], row.console);
            EXPECT_EQ(out[1], "returned " + std::to_string(row.units.size() / 5) + ": " + row.units);
        }
        EXPECT_EQ(chooserRuns(dir), int(row.answers.size())) << "the chooser runs once per left click, the failed ones included";
        EXPECT_FALSE(fileExists(dir.file("bad-arguments"))) << "the command line is \"fileopen.exe -\"";
        // Error boxes as the user would have seen them. Without a display SDL
        // either fails to show a box (the screen then writes the text to
        // stderr) or hands it to zenity, whose stand-in logs to "boxes.log".
        std::string boxes = r.err + readText("boxes.log");
        EXPECT_EQ(count(boxes, "Can't open file!"), size_t(row.cantOpen)) << boxes;
        EXPECT_EQ(count(boxes, "File not select!"), size_t(row.notSelected)) << boxes;
    }
}

// One click: the prompt stands centred and the hint in the top-left corner,
// nothing else; the chooser in the working directory runs, not one found first
// on PATH, and it sees the PATH the reader was given.
TEST(SelectScreen, PromptAndHintOnBlackThenTheChooserHereRunsWithPathUnchanged) {
    ScratchDir dir;
    prepare(dir, {Bytes{1, 0, 0x61}});
    mkdir(dir.file("elsewhere").c_str(), 0755);
    writeText(dir.file("elsewhere/fileopen.exe"), "#!/bin/sh\nprintf '\\001\\000d' > openfilename.rlt\n", true);
    std::string pathValue = dir.file("elsewhere") + ":" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
    ProcessResult r = runScreen(
        [&] {
            setenv("PATH", pathValue.c_str(), 1);
            pushLeftClick();
        },
        [&] {
            Frame f = capture(), black = f;
            std::fill(black.px.begin(), black.px.end(), 0);
            Ink prompt = inkBetween(black, f, {0, 100, 1024, 668}), hint = inkBetween(black, f, {0, 0, 1024, 100});
            std::cout << describe(prompt.box) << " " << prompt.count << " " << describe(hint.box) << std::endl;
        });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 3u) << r.out;
    EXPECT_EQ(out[0], "Фаил: a") << "\"Фаил: d\" comes from the chooser on PATH";
    EXPECT_EQ(chooserRuns(dir), 1);
    EXPECT_EQ(readText(dir.file("path-seen")), "PATH=" + pathValue + "\n");
    int x, y, w, h, count, hx, hy;
    ASSERT_EQ(sscanf(out[2].c_str(), "{%d,%d %dx%d} %d {%d,%d", &x, &y, &w, &h, &count, &hx, &hy), 7) << out[2];
    EXPECT_NEAR(2 * x + w, 1024, 2) << out[2];
    EXPECT_NEAR(2 * y + h, 768, 16) << out[2];  // ink, not the line box: no descenders here
    EXPECT_GT(count, 200) << out[2];
    EXPECT_TRUE(hx < 5 && hy < 20) << out[2];
}
