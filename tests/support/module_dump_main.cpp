// SPDX-License-Identifier: GPL-3.0-or-later
// Test helper: loads the module named on the command line and prints the
// loader's trace and the listing to stdout, exactly as the reader does.
#include <iostream>

#include "module/listing.h"
#include "module/loader.h"
#include "module/records.h"
#include "platform/console.h"
#include "platform/locale.h"
#include "platform/utf16.h"

int main(int argc, char** argv) {
    setRussianLocale();
    installUtf8Console();
    if (argc != 2) return 2;
    if (!loadModule(utf8ToUtf16(argv[1]))) std::wcout << Ravlin::RM_Reader::loaderError << std::endl;
    printModule();
    return 0;
}
