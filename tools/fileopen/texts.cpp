// SPDX-License-Identifier: GPL-3.0-or-later
// Catalogue lookup and formatting of the chooser's messages.
#include "tools/fileopen/texts.h"

#include <libintl.h>

#include <clocale>
#include <cstdarg>
#include <cstdio>

#include "platform/files.h"

namespace {

const char kDomain[] = "rvl-reader";

} // namespace

void initTexts() {
    setlocale(LC_ALL, "");
    std::string dir = executableDirectory();
    if (dir.empty()) dir = ".";
    std::string beside = dir + "/locale";
    bindtextdomain(kDomain, (isDirectory(beside) ? beside : dir + "/../../share/locale").c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
}

const char* tr(const char* english) { return dgettext(kDomain, english); }

std::string format(const char* message, ...) {
    va_list args;
    va_start(args, message);
    va_list again;
    va_copy(again, args);
    int size = vsnprintf(nullptr, 0, message, args);
    va_end(args);
    std::string text(size > 0 ? size_t(size) : 0, '\0');
    if (size > 0) vsnprintf(&text[0], text.size() + 1, message, again);
    va_end(again);
    return text;
}
