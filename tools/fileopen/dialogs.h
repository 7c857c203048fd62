// SPDX-License-Identifier: GPL-3.0-or-later
// The ways the chooser asks for a module: the desktop's file dialog (zenity
// or kdialog) or, without one, a question on its own terminal.
#pragma once

#include <string>

enum class Outcome { Chosen, Cancelled, Unavailable };

struct Answer {
    Outcome outcome = Outcome::Unavailable;
    std::string path;  // UTF-8, as the dialog or the user gave it
};

// Full path of an executable found on PATH, or "" when there is none.
std::string findOnPath(const std::string& name);

// The desktop dialogs, starting in startDir and offering "*.rvl" files.
// Unavailable when the program could not run or failed without an answer.
Answer askZenity(const std::string& program, const std::string& startDir);
Answer askKdialog(const std::string& program, const std::string& startDir);

// Asks on stdin/stdout until an existing file is named, after listing the
// packs of startDir; a bare name of one of them names it. An empty line or
// the end of input cancels.
Answer askTerminal(const std::string& startDir, const std::string& currentDir);
