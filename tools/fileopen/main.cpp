// SPDX-License-Identifier: GPL-3.0-or-later
// fileopen.exe: the reader's file chooser. With the argument "-" it lets the
// user pick a module and writes the choice to "openfilename.rlt" in the
// current directory, where the reader picks it up.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "platform/chooser_record.h"
#include "tools/fileopen/dialogs.h"
#include "tools/fileopen/result_file.h"
#include "tools/fileopen/start_folder.h"
#include "tools/fileopen/texts.h"

namespace {

std::string currentDirectory() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string(".");
}

bool hasDisplay() {
    const char* x = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

bool terminalForced() {
    const char* forced = getenv("RVL_CHOOSER_TERMINAL");
    return forced && *forced && std::string(forced) != "0";
}

// The desktop dialog when there is one, else the terminal.
Answer askForModule(const std::string& startDir, const std::string& currentDir) {
    if (!terminalForced() && hasDisplay()) {
        Answer answer;
        std::string zenity = findOnPath("zenity");
        if (!zenity.empty()) answer = askZenity(zenity, startDir);
        if (answer.outcome != Outcome::Unavailable) return answer;
        std::string kdialog = findOnPath("kdialog");
        if (!kdialog.empty()) answer = askKdialog(kdialog, startDir);
        if (answer.outcome != Outcome::Unavailable) return answer;
        if (zenity.empty() && kdialog.empty())
            std::cerr << tr("fileopen.exe: no file dialog found: install the package zenity (or kdialog on KDE) to "
                            "choose packs with the mouse; asking on the terminal instead")
                      << std::endl;
    }
    return askTerminal(startDir, currentDir);
}

// Dialogs give absolute paths; inside the current directory the relative
// form names the same file in fewer units, so use it when the full one is
// too long for the result file.
std::string relativeIfInside(const std::string& path, const std::string& dir) {
    std::string prefix = dir == "/" ? dir : dir + "/";
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0) return path.substr(prefix.size());
    return path;
}

// Writes the record, or says on stderr why it could not.
bool leaveResult(const std::vector<uint8_t>& record) {
    std::string reason;
    if (writeResultFile(chooser::kResultFile, record, reason)) return true;
    std::cerr << "fileopen.exe: " << reason << std::endl;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    initTexts();
    // "Nothing chosen" stands in the result file before anything else
    // happens, and a choice replaces it at the end: a run that ends any
    // other way (a usage error, killed at its question, a failed write)
    // leaves no earlier run's choice for the reader to load again.
    if (!leaveResult(nothingChosen())) {
        // Not even that could be written: an answer would be lost, so the
        // user is not asked, and an earlier choice goes if it can.
        unlink(chooser::kResultFile);
        return 1;
    }
    if (argc != 2 || std::string(argv[1]) != "-") {
        std::cerr << tr("usage: fileopen.exe -\n"
                        "  Lets the user pick a quiz module (*.rvl) and writes the choice to openfilename.rlt\n"
                        "  in the current directory. RVL_CHOOSER_TERMINAL=1 asks on the terminal instead\n"
                        "  of showing a dialog.")
                  << std::endl;
        return 2;
    }
    std::string here = currentDirectory();
    Answer answer = askForModule(startFolder(here), here);

    std::vector<uint8_t> record = nothingChosen();
    if (answer.outcome == Outcome::Chosen) {
        std::string reason;
        if (!encodeResult(answer.path, record, reason) &&
            !encodeResult(relativeIfInside(answer.path, here), record, reason)) {
            std::cerr << format(tr("fileopen.exe: no pack chosen: %s: %s"), reason.c_str(), answer.path.c_str())
                      << std::endl;
            record = nothingChosen();
        } else {
            rememberFolderOf(answer.path, here);
        }
    }
    if (record == nothingChosen()) return 0;  // already in place
    return leaveResult(record) ? 0 : 1;
}
