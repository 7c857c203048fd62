// Both sets of the chooser's words.
#include "tools/fileopen/texts.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

const ChooserTexts kRussian = {
    "Выберите игровой модуль",
    "--file-filter=Игровые модули (*.rvl) | *.rvl",
    "--file-filter=Все файлы | *",
    "*.rvl|Игровые модули (*.rvl)",
    "Модули в папке ",
    "Путь к игровому модулю (*.rvl), пустая строка - отмена: ",
    "fileopen.exe: нет такого файла: ",
    " не смог показать окно (код ",
};

const ChooserTexts kEnglish = {
    "Choose a quiz pack",
    "--file-filter=Quiz packs (*.rvl) | *.rvl",
    "--file-filter=All files | *",
    "*.rvl|Quiz packs (*.rvl)",
    "Packs in ",
    "Path of the quiz pack (*.rvl), empty line to cancel: ",
    "fileopen.exe: no such file: ",
    " could not show its window (code ",
};

bool desktopSpeaksRussian() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(name);
        if (value && *value) return strncmp(value, "ru", 2) == 0;
    }
    return false;
}

} // namespace

const ChooserTexts& chooserTexts() { return desktopSpeaksRussian() ? kRussian : kEnglish; }
