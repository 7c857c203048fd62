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

// A chooser stand-in that answers with the given result-file bytes.
void writeChooser(const ScratchDir& dir, const std::string& module) {
    // printf escapes: the count byte, then each ASCII character as a UTF-16BE unit.
    std::string script = "#!/bin/sh\nprintf '";
    char buf[16];
    snprintf(buf, sizeof buf, "\\%03o", static_cast<unsigned>(module.size()));
    script += buf;
    for (char c : module) {
        snprintf(buf, sizeof buf, "\\000\\%03o", static_cast<unsigned char>(c));
        script += buf;
    }
    script += "' > openfilename.rlt\n";
    writeText(dir.file("fileopen.exe"), script, true);
}

void runReader() {
    installUtf8Console();
    // Queue the user's input before start-up: a click for the selection
    // screen, then a quit request for the board.
    SDL_Init(SDL_INIT_EVENTS);
    pushLeftClick(100, 100);
    pushQuit();
    pushLeftClick(500, 500);  // behind the quit: must stay queued
    App engine;
    engine.init();
    engine.run();
    bool stillQueued = SDL_PeepEvents(nullptr, 1, SDL_PEEKEVENT, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONDOWN) == 1;
    engine.shutdown();
    std::wcout << L"finished running=" << running << L" queued=" << stillQueued << std::endl;
}

} // namespace

TEST(Startup, ReachesTheFrameLoopAndAQuitRequestEndsItWithStatusZero) {
    ScratchDir dir;
    rvlpack::Module m;
    m.topics.push_back({L"Тема", {}});
    ASSERT_TRUE(rvlpack::writeModuleFile(m, dir.file("m.rvl")));
    writeChooser(dir, "m.rvl");
    ProcessResult r = runInChild(runReader);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> out = lines(r.out);
    ASSERT_FALSE(out.empty()) << r.err;
    EXPECT_NE(r.out.find("Тема: Тема0"), std::string::npos) << r.out;
    EXPECT_EQ(out.back(), "finished running=0 queued=1") << r.out;
}

TEST(Startup, RejectedModulePrintsItsMessageAndStartUpGoesOn) {
    ScratchDir dir;
    writeText(dir.file("bad.rvl"), "not a module");
    writeChooser(dir, "bad.rvl");
    ProcessResult r = runInChild(runReader);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Данный фаил не является игровым модулем Ravlin.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("finished running=0"), std::string::npos) << r.out;
}

TEST(Startup, MissingResourceEndsWithStatusZeroAndTheBoxNamesIt) {
    for (std::string missing : {"res", "res/Brush.ttf"}) {
        SCOPED_TRACE(missing);
        ScratchDir dir;
        remove(dir.file("res").c_str());
        if (missing != "res") {
            mkdir(dir.file("res").c_str(), 0755);
            for (const char* kept : {"bg.png", "sk.png", "FuturaC.ttf"})
                symlink((runDir() + "/res/" + kept).c_str(), dir.file(std::string("res/") + kept).c_str());
        }
        ProcessResult r = runInChild(runReader);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.out.find("finished"), std::string::npos) << r.out;
        std::string named = missing == "res" ? "IMG_Load(\"res/bg.png\")" : "TTF_OpenFont(\"res/Brush.ttf\")";
        EXPECT_NE(r.err.find("Can't load resource: " + named), std::string::npos) << r.err;
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
