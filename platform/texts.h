// SPDX-License-Identifier: GPL-3.0-or-later
// The tools' words in the desktop's language, by gettext (domain rvl-reader):
// English in the source, other languages from the catalogues of po/.
// gettext's own rule (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) picks the language.
#pragma once

#include <string>

// Sets the process locale from the environment and finds the catalogues:
// locale/ beside the program in a build's run directory, else share/locale
// of the installed prefix (PREFIX/bin or PREFIX/libexec/rvl-reader). Only the
// tools' entry functions call it: the reader's texts stay as they are in
// every locale, and without it every message is the English one.
void initTexts();

// The message in the user's language.
const char* tr(const char* english) __attribute__((format_arg(1)));

// Marks a message kept in a table, to be translated where it is used.
constexpr const char* N_(const char* english) { return english; }

// The form of the message that goes with the number n ("%zu topic",
// "%zu topics"), in the user's language.
const char* trn(const char* one, const char* many, unsigned long n) __attribute__((format_arg(1)));

// printf-style formatting of a translated message. A translation may put
// the values in its own order with "%2$s" and the like.
std::string format(const char* message, ...) __attribute__((format(printf, 1, 2)));
