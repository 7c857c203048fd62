// SPDX-License-Identifier: GPL-3.0-or-later
// The chooser's words in the desktop's language, by gettext: English in the
// source, other languages from the catalogues of po/. gettext's own rule
// (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) picks the language.
#pragma once

#include <string>

// Sets the process locale from the environment and finds the catalogues:
// locale/ beside the program in a build's run directory, else
// PREFIX/share/locale for the installed PREFIX/libexec/rvl-reader/.
void initTexts();

// The message in the user's language.
const char* tr(const char* english);

// printf-style formatting of a translated message.
std::string format(const char* message, ...) __attribute__((format(printf, 1, 2)));
