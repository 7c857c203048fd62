// SPDX-License-Identifier: GPL-3.0-or-later
// "Russian" is the Windows name; Linux systems know "ru_RU.UTF-8" when it is
// generated, and "C.UTF-8" always gives UTF-8 character handling. Only the C
// locale changes: the C++ streams keep the classic number formatting, so
// numbers print as plain digits whatever the locale groups them by.
#include "platform/locale.h"

#include <clocale>

const char* setRussianLocale() {
    const char* names[] = {"Russian", "ru_RU.UTF-8", "ru_RU.utf8", "C.UTF-8"};
    for (const char* name : names) {
        if (const char* set = setlocale(LC_ALL, name)) return set;
    }
    return nullptr;
}
