// The chooser's words in the desktop's language: Russian where LC_ALL,
// LC_MESSAGES or LANG (the first one set) starts with "ru", English otherwise.
#pragma once

struct ChooserTexts {
    const char* title;
    const char* zenityPacks;   // zenity's filter "NAME | PATTERN"
    const char* zenityAll;
    const char* kdialogPacks;  // kdialog's filter "PATTERN|NAME"
    const char* packsIn;       // followed by a folder and ":"
    const char* question;
    const char* noSuchFile;
    const char* noWindow;      // followed by the exit code and ")"
};

const ChooserTexts& chooserTexts();
