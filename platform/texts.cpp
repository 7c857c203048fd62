// SPDX-License-Identifier: GPL-3.0-or-later
// Catalogue lookup and formatting of the tools' messages.
#include "platform/texts.h"

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
    for (const char* catalogues : {"/locale", "/../share/locale", "/../../share/locale"}) {
        if (!isDirectory(dir + catalogues)) continue;
        bindtextdomain(kDomain, (dir + catalogues).c_str());
        break;
    }
    bind_textdomain_codeset(kDomain, "UTF-8");
}

const char* tr(const char* english) { return dgettext(kDomain, english); }

const char* trn(const char* one, const char* many, unsigned long n) { return dngettext(kDomain, one, many, n); }

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
