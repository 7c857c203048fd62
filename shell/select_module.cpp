// SPDX-License-Identifier: GPL-3.0-or-later
// The module selection screen: a prompt drawn once, then a wait in which a
// left click runs the external chooser and reads the path it left behind.
#include "shell/select_module.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/chooser_record.h"
#include "platform/event_pump.h"
#include "platform/input_events.h"
#include "platform/run_command.h"
#include "platform/text_texture.h"
#include "shell/chooser_result.h"
#include "shell/globals.h"

namespace {

const char kChooserProgram[] = "fileopen.exe";
const char kChooserArgument[] = "-";

// Where no message box can be shown (no display server), the user still
// learns why the click gave nothing.
void showError(const char* text) {
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", text, window) != 0) {
        std::cerr << "Error: " << text << " (SDL_ShowSimpleMessageBox: " << SDL_GetError() << ")" << std::endl;
    }
}

// Copies one rendered line to the window: centred, or in the top-left corner.
void drawLine(const char* text, SDL_Color colour, bool centred) {
    TextTexture line = renderText(renderer, mainFont, text, colour);
    if (!line.texture) {
        std::cerr << line.failedCall << ": " << SDL_GetError() << std::endl;
        return;
    }
    const SDL_Rect at = centred ? centredOnScreen(line.w, line.h) : SDL_Rect{0, 0, line.w, line.h};
    copyText(renderer, line, at.x, at.y);
}

void drawScreen() {
    const SDL_Color w{255, 255, 255, 255};
    const SDL_Color w2{150, 150, 150, 150};
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    drawLine("Press on window and select <.rvl> file.", w, true);
    drawLine("F10 - exit(Only here and on the question board)", w2, false);
    SDL_RenderPresent(renderer);
}

// Opens the result file for reading, or null. Only a regular file counts:
// a FIFO or a device in its place would block the screen or never end, so
// it is opened without blocking and refused.
FILE* openResultFile() {
    int fd = open(chooser::kResultFile, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, "rb");
    if (!file) close(fd);
    return file;
}

// Runs the chooser and reads its answer. False, after telling the user, when
// there is no result file or it names nothing. The result file is the
// chooser's: it is read as the chooser left it, and never removed here (our
// chooser writes "nothing chosen" before it asks). False without a word when
// a quit signal came while the chooser ran: the screen then ends.
bool chooseModule(std::wstring& path) {
    runCommandHere(kChooserProgram, kChooserArgument);
    if (quitSignalled()) return false;
    FILE* file = openResultFile();
    if (!file) {
        showError("Can't open file!");
        return false;
    }
    bool chosen = readChooserResult(file, path);
    fclose(file);
    if (!chosen) showError("File not select!");
    return chosen;
}

} // namespace

std::wstring selectModuleFile() {
    drawScreen();
    for (;;) {
        // A quit signal ends this screen as its quit request does.
        if (quitSignalled()) exit(0);
        if (!pollEvent(&event)) continue;
        if (isQuitEvent(event)) exit(0);
        if (!isLeftPress(event)) continue;
        std::wstring buf;
        if (!chooseModule(buf)) continue;
        printChosenFile(buf);
        return buf;
    }
}

void printChosenFile(const std::wstring& path) { std::wcout << L"Фаил: " << path << std::endl; }
