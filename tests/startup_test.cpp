// The reader's start-up, frame loop and shutdown under the dummy video driver.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "module/records.h"
#include "packing/module_writer.h"
#include "platform/console.h"
#include "shell/app.h"
#include "shell/globals.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

LaunchOptions options;  // the command line of the reader runReader starts

void runReader() {
    installUtf8Console();
    // Queue the user's input before start-up: a click (a selection screen
    // would take it and find no chooser), then a quit request for the board.
    SDL_Init(SDL_INIT_EVENTS);
    pushLeftClick(100, 100);
    pushQuit();
    pushLeftClick(500, 500);  // behind the quit: must stay queued
    App engine;
    engine.init(options);
    engine.run();
    bool stillQueued = SDL_PeepEvents(nullptr, 1, SDL_PEEKEVENT, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONDOWN) == 1;
    engine.shutdown();
    std::wcout << L"finished running=" << running << L" queued=" << stillQueued << std::endl;
}

} // namespace

TEST(Startup, MissingResourceEndsWithStatusZeroAndTheBoxNamesIt) {
    // The card's font, the last one opened.
    ScratchDir dir;
    remove(dir.file("res").c_str());
    mkdir(dir.file("res").c_str(), 0755);
    for (const char* kept : {"bg.png", "sk.png", "FuturaC.ttf"})
        symlink((runDir() + "/res/" + kept).c_str(), dir.file(std::string("res/") + kept).c_str());
    ProcessResult r = runInChild(runReader);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find("finished"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("Can't load resource: TTF_OpenFont(\"res/Brush.ttf\")"), std::string::npos) << r.err;
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

// SIGTERM reaches the real reader while its selection screen waits, which
// takes window-close requests as its way out: the signal must not become one.
TEST(Startup, SigtermEndsTheReaderInsteadOfBecomingAQuitRequest) {
    ScratchDir dir;
    // The main font is opened after SDL has started, and stays open.
    std::string script = "'" + runDir() + "/rvl-reader' & p=$!; i=0\n"
                         "until ls -l /proc/$p/fd | grep -q FuturaC || [ $i -gt 300 ]; do sleep 0.1; i=$((i+1)); done\n"
                         "kill -TERM $p; wait $p; echo status=$?\n";
    ProcessResult r = runProcess({"/bin/sh", "-c", script}, {"SDL_VIDEODRIVER=dummy"});
    EXPECT_EQ(r.out, "status=143\n") << r.err;
}

// A pack on the command line skips the selection screen (the chooser and its
// result are the selection test's); a rejected one is reported and start-up
// goes on. A quit request then ends the frame loop, leaving the input behind
// it queued.
TEST(Startup, CommandLinePackThenAQuitRequestEndsTheLoop) {
    ScratchDir dir;
    rvlpack::Module m;
    m.topics.push_back({L"Тема", {}});
    ASSERT_TRUE(rvlpack::writeModuleFile(m, dir.file("m.rvl")));
    writeText(dir.file("bad.rvl"), "not a module");
    const std::string padding(255 - dir.path().size() - 6, '/');  // "//" names what "/" does
    const std::string notAModule = "Данный фаил не является игровым модулем Ravlin.\n";
    struct Row {
        const char* name;
        std::string pack;      // as typed, from the scratch directory
        std::string shown;     // after "Фаил: "
        std::string expected;  // in the console text
    };
    std::vector<Row> rows = {
        {"relative path", "./m.rvl", dir.file("m.rvl"), "Тема: Тема0\n"},
        {"256 units", dir.path() + padding + "//m.rvl", dir.path() + padding + "//m.rvl", notAModule},
        {"not a module", "bad.rvl", dir.file("bad.rvl"), notAModule},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        char arg0[] = "rvl-reader";
        std::string pack = row.pack;
        char* argv[] = {arg0, &pack[0], nullptr};
        options = LaunchOptions{};
        ASSERT_EQ(parseLaunchOptions(2, argv, options), -1);
        ProcessResult r = runInChild(runReader);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        ASSERT_FALSE(r.out.empty()) << r.err;
        EXPECT_EQ(r.out.find("Фаил: " + row.shown + "\n"), 0u) << r.out;
        EXPECT_NE(r.out.find(row.expected), std::string::npos) << r.out;
        EXPECT_EQ(lines(r.out).back(), "finished running=0 queued=1") << r.out;
    }
    options = LaunchOptions{};
}

TEST(Startup, CommandLineErrorsEndBeforeAnyWindow) {
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out, err;  // must appear
    };
    std::vector<Row> rows = {
        {{"--bogus"}, 2, "", "--bogus"},
        {{"a.rvl", "b.rvl"}, 2, "", "b.rvl"},
        {{"--help"}, 0, "--fullscreen", ""},
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
        EXPECT_NE(r.out.find(row.out), std::string::npos);
        EXPECT_NE(r.err.find(row.err), std::string::npos);
        if (row.status == 2) {
            EXPECT_TRUE(r.out.empty() && lines(r.err).size() == 1) << "one line on stderr";
        }
    }
}
