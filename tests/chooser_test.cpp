// SPDX-License-Identifier: GPL-3.0-or-later
// The chooser program fileopen.exe, run as a real process: typed answers on
// its terminal, and stand-in zenity/kdialog programs for the desktop dialog.
// Every result file is read back with the reader's own readChooserResult.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "shell/chooser_result.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

using Bytes = std::vector<uint8_t>;

std::string chooser() { return runDir() + "/fileopen.exe"; }

const std::wstring kNothing = L"<nothing chosen>", kGrin = {0xD83D, 0xDE00};  // U+1F600 as its surrogate pair

// Reads "openfilename.rlt" as the reader does.
std::wstring chosenPath() {
    FILE* file = fopen("openfilename.rlt", "rb");
    if (!file) return L"<no result file>";
    std::wstring path;
    bool chosen = readChooserResult(file, path);
    fclose(file);
    return chosen ? path : kNothing;
}

std::wstring ascii(const std::string& s) { return std::wstring(s.begin(), s.end()); }

} // namespace

TEST(Chooser, TerminalAnswers) {
    struct Row {
        const char* name;
        std::vector<std::string> files;  // created before the run
        std::string input;
        std::wstring expected;
        std::string errNeedle;  // must appear on stderr; "": stderr stays empty
    };
    std::string dots;  // 250 units that name the directory itself
    while (dots.size() < 250) dots += "./";
    std::vector<Row> rows = {
        {"Cyrillic, and an emoji as a surrogate pair", {"😀 пак.rvl"}, "😀 пак.rvl\n", kGrin + L" пак.rvl", ""},
        {"line ended by CR LF", {"m.rvl"}, "m.rvl\r\n", L"m.rvl", ""},
        {"empty line cancels", {"m.rvl"}, "\nm.rvl\n", kNothing, ""},
        {"missing file asked again", {"m.rvl"}, "nosuch.rvl\nm.rvl\n", L"m.rvl", "nosuch.rvl"},
        {"directory asked again, then input ends", {}, ".\n", kNothing, "."},
        {"255 units", {"m.rvl"}, dots + "m.rvl\n", ascii(dots + "m.rvl"), ""},
        {"256 units refused", {"mm.rvl"}, dots + "mm.rvl\n", kNothing, "256"},
        {"name that is not UTF-8 kept byte for byte", {"\xFF.rvl"}, "\xFF.rvl\n", std::wstring{0xDCFF} + L".rvl", ""},
        {"control characters shown escaped", {}, "a\x1B[2J\x07.rvl\n", kNothing, "a\\x1B[2J\\x07.rvl"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        for (const std::string& f : row.files) writeText(dir.file(f), "RVL1");
        writeFile(dir.file("openfilename.rlt"), {3, 0, 'o', 0, 'l', 0, 'd'});  // an earlier answer
        ProcessResult r = runProcess(
            {chooser(), "-"},
            {"RVL_CHOOSER_TERMINAL=1", "DISPLAY=", "WAYLAND_DISPLAY=", "XDG_CONFIG_HOME=" + dir.file("config"), "LC_ALL=C"},
            row.input);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(chosenPath(), row.expected) << r.err;
        if (row.expected == kNothing) {
            EXPECT_EQ(readFile(dir.file("openfilename.rlt")), Bytes{0}) << "nothing chosen is one 0 byte";
        }
        if (row.errNeedle.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_NE(r.err.find(row.errNeedle), std::string::npos) << r.err;
        }
        EXPECT_NE(r.out.find("*.rvl"), std::string::npos) << "the question names the module type: " << r.out;
    }
}

TEST(Chooser, DesktopDialogs) {
    // Stand-in dialogs record their arguments one per line and answer like the
    // real ones: the path on stdout with status 0, status 1 on cancel.
    struct Row {
        const char* name;
        std::string zenity, kdialog;  // script bodies, "" for no such program
        std::string display, input;   // input: typed on the terminal if it comes to that
        std::string answer;           // the path chosen, "" for nothing; "$PWD" stands for the directory
        std::string ran;              // the stand-in that must have run, "" for none
    };
    const std::string longDir = std::string(120, 'd') + "/" + std::string(120, 'e');
    std::vector<Row> rows = {
        {"zenity answers", "echo \"$PWD/m.rvl\"", "", ":0", "", "$PWD/m.rvl", "zenity"},
        {"zenity cancelled", "exit 1", "exit 0", ":0", "", "", "zenity"},
        {"zenity without a display falls back to the terminal", "exit 255", "", ":0", "m.rvl\n", "m.rvl", "zenity"},
        {"kdialog when there is no zenity", "", "echo \"$PWD/m.rvl\"", ":0", "", "$PWD/m.rvl", "kdialog"},
        {"no display: terminal even with zenity installed", "echo \"$PWD/m.rvl\"", "", "", "m.rvl\n", "m.rvl", ""},
        {"no dialog installed: which to install, then the terminal", "", "", ":0", "m.rvl\n", "m.rvl", ""},
        {"long absolute path shortened inside the directory", "echo \"$PWD/" + longDir + "/m.rvl\"", "", ":0", "",
         longDir + "/m.rvl", "zenity"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        const std::string& here = dir.path();
        writeText(dir.file("m.rvl"), "RVL1");
        mkdir(dir.file(std::string(120, 'd')).c_str(), 0755);
        mkdir(dir.file(longDir).c_str(), 0755);
        writeText(dir.file(longDir + "/m.rvl"), "RVL1");
        mkdir(dir.file("bin").c_str(), 0755);
        for (const auto& [program, body] :
             {std::make_pair("zenity", row.zenity), std::make_pair("kdialog", row.kdialog)}) {
            std::string script = "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + std::string(program) + "-args\n" + body;
            if (!body.empty()) writeText(dir.file("bin/") + program, script, true);
        }
        // The display counts only when non-empty; the chooser must not be forced to the terminal.
        ProcessResult r = runProcess({chooser(), "-"},
                                     {"PATH=" + dir.file("bin"), "DISPLAY=" + row.display, "WAYLAND_DISPLAY=",
                                      "RVL_CHOOSER_TERMINAL=", "XDG_CONFIG_HOME=" + dir.file("config"),
                                      "LC_ALL=", "LC_MESSAGES=", "LANG=ru_RU.UTF-8"},
                                     row.input);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::string answer = row.answer.rfind("$PWD", 0) == 0 ? here + row.answer.substr(4) : row.answer;
        EXPECT_EQ(chosenPath(), answer.empty() ? kNothing : ascii(answer)) << r.err;
        for (std::string program : {"zenity", "kdialog"})
            EXPECT_EQ(fileExists(dir.file(program + "-args")), program == row.ran) << program;
        // In Russian, where no dialog is: which package to install.
        EXPECT_EQ(r.err.find("установите пакет zenity") != std::string::npos, row.zenity + row.kdialog + row.display == ":0");
        // zenity's arguments: below, in both languages.
        if (row.ran == "kdialog") {
            EXPECT_EQ(readText(dir.file("kdialog-args")), "--title\nВыберите игровой модуль\n--getopenfilename\n" + here +
                                                          "\n*.rvl|Игровые модули (*.rvl)\n")
                << "starts in the current directory, in Russian";
        }
    }
}

// "Nothing chosen" is written before anything else, so no earlier choice
// outlives a usage error either; a FIFO in its place, which a plain open for
// writing would wait on, is replaced.
TEST(Chooser, UsageErrorsLeaveNothingChosen) {
    ScratchDir dir;
    for (const std::vector<std::string>& argv :
         {std::vector<std::string>{chooser()}, {chooser(), "x"}, {chooser(), "-", "-"}}) {
        unlink("openfilename.rlt");
        if (argv.size() > 1) writeFile(dir.file("openfilename.rlt"), {1, 0, 'x'});
        else ASSERT_EQ(mkfifo("openfilename.rlt", 0600), 0);
        ProcessResult r =
            runProcess(argv, {"RVL_CHOOSER_TERMINAL=1", "XDG_CONFIG_HOME=" + dir.file("c"), "LC_ALL=C"}, "m.rvl\n");
        EXPECT_EQ(r.exitCode, 2) << argv.size();
        EXPECT_NE(r.err.find("usage"), std::string::npos) << r.err;
        EXPECT_EQ(readFile(dir.file("openfilename.rlt")), Bytes{0});
    }
}

TEST(Chooser, SpeaksTheDesktopLanguageAndOpensInTheLastPacksFolder) {
    ScratchDir dir;
    const std::string& here = dir.path();  // holds no pack: without a remembered folder the dialog opens in HOME
    for (const char* d : {"home", "games", "bin"}) mkdir(dir.file(d).c_str(), 0755);
    writeText(dir.file("games/m.rvl"), "RVL1");
    writeText(dir.file("bin/zenity"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > zenity-args\n/bin/cat answer\n", true);
    auto run = [&](const std::string& lang, bool terminal, const std::string& input) {
        return runProcess({chooser(), "-"}, {"PATH=" + dir.file("bin"), "DISPLAY=:0", "WAYLAND_DISPLAY=",
                                             "RVL_CHOOSER_TERMINAL=" + std::string(terminal ? "1" : ""),
                                             "XDG_CONFIG_HOME=" + dir.file("config"), "HOME=" + dir.file("home"),
                                             "LC_ALL=", "LC_MESSAGES=" + lang, "LANG=C"},
                          input);
    };
    auto zenityArgs = [&] { return readText(dir.file("zenity-args")); };
    writeText(dir.file("answer"), here + "/games/m.rvl\n");
    ProcessResult r = run("en_US.UTF-8", false, "");
    EXPECT_EQ(zenityArgs(), "--file-selection\n--title=Choose a quiz pack\n--filename=" + here +
                                "/home/\n--file-filter=Quiz packs (*.rvl) | *.rvl\n--file-filter=All files | *\n")
        << "nothing remembered: home, in English";
    writeText(dir.file("answer"), "");
    r = run("ru_RU.UTF-8", false, "");
    EXPECT_NE(zenityArgs().find("--title=Выберите игровой модуль\n--filename=" + here + "/games/\n"), std::string::npos)
        << "the last pack's folder, in Russian: " << zenityArgs();
    r = run("de_DE.UTF-8", true, "m.rvl\n");
    EXPECT_NE(r.out.find("Packs in " + here + "/games:\n  m.rvl\nPath of the quiz pack"), std::string::npos) << r.out;
    EXPECT_EQ(chosenPath(), ascii(here + "/games/m.rvl")) << "a bare name is a pack of that folder";
    remove(dir.file("games/m.rvl").c_str());
    rmdir(dir.file("games").c_str());
    r = run("ru", false, "");
    EXPECT_NE(zenityArgs().find("--filename=" + here + "/home/\n"), std::string::npos)
        << "a remembered folder that is gone is ignored: " << zenityArgs();
    remove(dir.file("config/last-folder").c_str());
    mkfifo(dir.file("config/last-folder").c_str(), 0600);
    writeText(dir.file("answer"), here + "/bin/zenity\n");
    r = run("ru", false, "");
    EXPECT_NE(zenityArgs().find("--filename=" + here + "/home/\n"), std::string::npos)
        << "a FIFO for the remembered folder is neither waited for nor replaced: " << zenityArgs();
}
