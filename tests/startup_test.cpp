// SPDX-License-Identifier: GPL-3.0-or-later
// The reader's start-up, frame loop and shutdown under the dummy video driver.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "module/records.h"
#include "packing/module_writer.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/user_run_directory.h"
#include "shell/app.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"

using namespace testing_support;
using Ravlin::RM_Reader::topics;

namespace {

LaunchOptions options;  // the command line of the reader runReader starts

// Runs the reader on a pack, with input queued once it has started: by
// default a click, then a quit request and a click behind it, which must
// stay queued.
void runReader(const std::function<void()>& input = [] { pushLeftClick(100, 100), pushQuit(), pushLeftClick(500, 500); }) {
    installUtf8Console();
    App engine;
    engine.init(options);
    input();
    engine.run();
    bool stillQueued = SDL_PeepEvents(nullptr, 1, SDL_PEEKEVENT, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONDOWN) == 1;
    engine.shutdown();
    std::wcout << L"finished running=" << running << L" queued=" << stillQueued
               << L" questions=" << (topics.empty() ? 0 : topics[0].asks.size()) << std::endl;
}

// Writes a pack of one topic and has the reader start on it.
void usePack(const ScratchDir& dir, std::vector<rvlpack::Question> questions) {
    rvlpack::Module m;
    m.topics.push_back({L"Тема", std::move(questions)});
    ASSERT_TRUE(rvlpack::writeModuleFile(m, dir.file("m.rvl")));
    options = LaunchOptions{};
    options.hasPack = true;
    options.pack = dir.file("m.rvl");
}

// The topic chosen, then a left press on the grid cell of the given column.
void pushQuestionClick(int column) {
    push(motionEvent(100, 200)), pushLeftClick(100, 200);
    push(motionEvent(430 + 168 * column, 235)), pushLeftClick(430 + 168 * column, 235);
}

} // namespace

// SIGINT or SIGTERM in a question ends it, the card after it and the board,
// and shutdown runs; each question would wait far longer than the alarm. The
// card's font is missing: start-up says so in one line and goes on, and the
// cards run without their text (the card test shows them).
TEST(Startup, WithoutTheCardFontAQuitSignalInAnyQuestionEndsTheReaderCleanly) {
    ScratchDir dir;
    remove(dir.file("res").c_str());
    mkdir(dir.file("res").c_str(), 0755);
    for (const char* kept : {"bg.png", "sk.png", "FuturaC.ttf"})
        ASSERT_EQ(symlink((runDir() + "/res/" + kept).c_str(), dir.file(std::string("res/") + kept).c_str()), 0);
    Bytes clip = makeClip("avi", "MJPG", 30, 160, 120, 1.0);  // 30 s
    ASSERT_FALSE(clip.empty());
    usePack(dir, {ask('T', 1), ask('I', 2, makePng(30, 20)), ask('A', 3, makeWav(30.0)), ask('V', 4, makeWav(30.0), clip)});
    for (int column = 0; column < 4; ++column) {
        const int sig = column % 2 ? SIGTERM : SIGINT;
        SCOPED_TRACE(std::to_string(column) + (sig == SIGINT ? ", SIGINT" : ", SIGTERM"));
        ProcessResult r = runInChild([&] {
            alarm(20);
            runReader([&] {
                pushQuestionClick(column);
                // Once the board has taken the click the question is on screen.
                std::thread([sig] {
                    while (!queueEmpty()) SDL_Delay(20);
                    kill(getpid(), sig);
                }).detach();
            });
        });
        EXPECT_EQ(r.exitCode, 0) << "signal " << r.signal << "\n" << r.err;
        EXPECT_EQ(lines(r.out).back(), "finished running=0 queued=0 questions=3") << r.out;
        EXPECT_FALSE(fileExists(dir.file("temp/videobuffer.bin")));
        // Besides the line, stderr may hold what a box without a display leaves there.
        const std::string line = "rvl-reader: res/Brush.ttf: No such file or directory; cards will show no text\n";
        EXPECT_TRUE(r.err.find(line) != std::string::npos && r.err.find(line) == r.err.rfind(line)) << r.err;
    }
}

// The real reader with no display to reach: one line on stderr and an end,
// not an invisible window waiting for a click.
TEST(Startup, WithoutADisplayTheReaderSaysSoAndEnds) {
    ScratchDir dir;
    ProcessResult r = runProcess({"/usr/bin/timeout", "20", runDir() + "/rvl-reader"},
                                 {"SDL_VIDEODRIVER=", "DISPLAY=", "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR=" + dir.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Can't open a window: no display"), std::string::npos) << r.err;
}

// A pack on the command line skips the selection screen (the chooser and its
// result are the selection test's); a rejected one is reported (its box is
// the end-to-end test's) and start-up goes on. A quit request then ends the frame loop, leaving the input behind
// it queued.
TEST(Startup, CommandLinePackThenAQuitRequestEndsTheLoop) {
    ScratchDir dir;
    rvlpack::Module m;
    m.topics.push_back({L"Тема", {}});
    ASSERT_TRUE(rvlpack::writeModuleFile(m, dir.file("m.rvl")));
    writeText(dir.file("bad.rvl"), "not a module");
    ASSERT_TRUE(rvlpack::writeModuleFile(m, dir.file("caf\xE9.rvl")));
    const std::string padding(255 - dir.path().size() - 6, '/');  // "//" names what "/" does
    const std::string notAModule = "Данный фаил не является игровым модулем Ravlin.\n";
    struct Row {
        const char* name;
        std::string pack;      // as typed, from the scratch directory
        std::string shown;     // after "Фаил: "
        std::string expected;  // in the console text
        std::string err = "";  // on stderr
    };
    std::vector<Row> rows = {
        {"relative path", "./m.rvl", dir.file("m.rvl"), "Тема: Тема0\n"},
        {"256 units", dir.path() + padding + "//m.rvl", dir.path() + padding + "//m.rvl", notAModule,
         "the pack's path is 256 UTF-16 units long"},
        {"Latin-1 name, kept byte for byte", "caf\xE9.rvl", "", "Тема: Тема0\n"},
        {"not a module", "bad.rvl", dir.file("bad.rvl"), notAModule},
        {"no such file", "nosuch.rvl", dir.file("nosuch.rvl"), "Не удалось открыть файл модуля: " + dir.file("nosuch.rvl")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        char arg0[] = "rvl-reader";
        std::string pack = row.pack;
        char* argv[] = {arg0, &pack[0], nullptr};
        options = LaunchOptions{};
        ASSERT_EQ(parseLaunchOptions(2, argv, options), -1);
        ProcessResult r = runInChild([] { runReader(); });
        EXPECT_EQ(r.exitCode, 0) << r.err;
        ASSERT_FALSE(r.out.empty()) << r.err;
        EXPECT_EQ(r.out.find("Фаил: " + row.shown + (row.shown.empty() ? "" : "\n")), 0u) << r.out;
        EXPECT_NE(r.out.find(row.expected), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_EQ(lines(r.out).back(), "finished running=0 queued=1 questions=0") << r.out;
    }
    options = LaunchOptions{};
}

TEST(Startup, CommandLineErrorsEndBeforeAnyWindow) {
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out, err;  // must appear; "": the stream stays empty
    };
    std::vector<Row> rows = {
        {{"--bogus"}, 2, "", "--bogus"},
        {{"a.rvl", "b.rvl"}, 2, "", "b.rvl"},
        {{"--help"}, 0, "\"Device not found!\". It is expected", ""},
        {{"--version"}, 0, "rvl-reader 1.", ""},
        {{"--teams", "Красные"}, 2, "", "--teams: a game needs 2 to 8 teams, not 1"},
        {{"--teams", "A,,B"}, 2, "", "must have 1 to 24 characters"},
        {{"--resume", "--teams", "A, B ,C,D,E,F,G,H,I"}, 2, "", "not 9"},
        {{"--teams", "Оооооооооооооооооооооооо1,B"}, 2, "", "1 to 24"},
        {{"--host-display", "1"}, 2, "", "--host-display needs a game: give --teams or --resume"},
        {{"--host-display", "-1", "--teams", "A,B"}, 2, "", "--host-display"},
        {{"--host-display", "x", "--resume"}, 2, "", "--host-display"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> argv = {runDir() + "/rvl-reader"};
        argv.insert(argv.end(), row.args.begin(), row.args.end());
        ProcessResult r = runProcess(argv, {"SDL_VIDEODRIVER=dummy"});
        SCOPED_TRACE(row.args[0] + "\n" + r.out + r.err);
        EXPECT_EQ(r.exitCode, row.status);
        EXPECT_TRUE(row.out.empty() ? r.out.empty() : r.out.find(row.out) != std::string::npos) << row.out;
        EXPECT_TRUE(row.err.empty() ? r.err.empty() : r.err.find(row.err) != std::string::npos) << row.err;
        if (row.status == 2) {
            EXPECT_EQ(lines(r.err).size(), 1u) << "one line on stderr";
        }
    }
}

// An installed reader whose per-user run directory cannot be made (here
// XDG_DATA_HOME names a file) runs in a private one under XDG_RUNTIME_DIR,
// with the same links, removed when it exits.
TEST(Startup, InstalledReaderWithoutItsRunDirectoryUsesAPrivateOne) {
    ScratchDir dir;
    for (const char* d : {"share", "share/res", "lib", "runtime"}) mkdir(dir.file(d).c_str(), 0755);
    writeText(dir.file("lib/fileopen.exe"), "#!/bin/sh\n", true);
    writeText(dir.file("data"), "a file, not a folder");
    ProcessResult r = runInChild([&] {
        setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", dir.file("runtime").c_str(), 1);
        std::string error;
        if (!enterUserRunDirectory(InstalledFiles{dir.file("share"), dir.file("lib")}, error)) {
            fprintf(stderr, "%s\n", error.c_str());
            exit(1);
        }
        char cwd[4096] = {};
        struct stat info {};
        bool inside = getcwd(cwd, sizeof cwd) && std::string(cwd).rfind(dir.file("runtime/rvl-reader-"), 0) == 0;
        bool linked = stat("res", &info) == 0 && S_ISDIR(info.st_mode) && access("fileopen.exe", X_OK) == 0 &&
                      stat("temp", &info) == 0 && S_ISDIR(info.st_mode);
        fprintf(stderr, "in %s: inside %d, linked %d\n", cwd, inside, linked);
        exit(inside && linked ? 0 : 2);
    });
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(runProcess({"/bin/ls", "-A", dir.file("runtime")}).out, "") << "removed at exit";

    // When no run directory can be had either, the box of the missing resource says why.
    ProcessResult box = runInChild([&] {
        setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        unsetenv("XDG_RUNTIME_DIR");
        setenv("TMPDIR", dir.file("data").c_str(), 1);
        std::string error;
        if (enterUserRunDirectory(InstalledFiles{dir.file("share"), dir.file("lib")}, error) ||
            chdir(dir.file("lib").c_str()) != 0)
            exit(3);
        runReader();
    });
    EXPECT_EQ(box.exitCode, 0) << box.err;
    EXPECT_NE(box.err.find("Can't load resource: IMG_Load(\"res/"), std::string::npos) << box.err;
    EXPECT_NE(box.err.find("; the reader's run directory could not be prepared: mkdir(\"" + dir.file("data")),
              std::string::npos) << box.err;
}

// The file helpers under the run directory and the saved games: folders made
// with the mode asked for, a failure naming the folder, a tree removed
// without following its links, the creation mask read without a change.
TEST(Startup, FileHelpers) {
    ScratchDir dir;
    std::string error;
    mode_t before = umask(027);
    EXPECT_EQ(creationMask(), mode_t(027));
    EXPECT_TRUE(makeDirectories(dir.file("a/b/c/"), 0700, &error)) << error;
    EXPECT_TRUE(makeDirectories(dir.file("a/b"), 0755, &error)) << "folders already there are no failure";
    EXPECT_EQ(umask(before), mode_t(027));
    struct stat info {};
    EXPECT_TRUE(stat(dir.file("a/b/c").c_str(), &info) == 0 && (info.st_mode & 0777) == 0700) << std::oct << info.st_mode;
    writeText(dir.file("a/file"), "x");
    EXPECT_FALSE(makeDirectories(dir.file("a/file/d"), 0700, &error));
    EXPECT_EQ(error, "mkdir(\"" + dir.file("a/file/d") + "\"): Not a directory");
    EXPECT_FALSE(makeDirectories(dir.file("a/file"), 0700, &error)) << "a file is no folder";
    EXPECT_FALSE(isDirectory(dir.file("a/file")));

    writeText(dir.file("kept"), "kept");
    ASSERT_EQ(symlink(dir.path().c_str(), dir.file("a/b/c/up").c_str()), 0);
    removeTree(dir.file("a"));
    EXPECT_FALSE(fileExists(dir.file("a")));
    EXPECT_EQ(readText(dir.file("kept")), "kept") << "the link went, not what it named";
    EXPECT_EQ(executableDirectory(), testBinDir());
}
