// Helpers shared by the tests: scratch directories, files, child processes
// and an SDL window on the software renderer.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh directory holding a link to the run directory's res/ and an empty
// temp/; the process works in it until the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::string previous_;
};

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
void writeText(const std::string& path, const std::string& text, bool executable = false);
std::vector<uint8_t> readFile(const std::string& path);
bool fileExists(const std::string& path);

struct ProcessResult {
    int exitCode = -1;   // -1 when the process did not exit normally
    int signal = 0;
    std::string out;
    std::string err;
};

// Runs argv (argv[0] a path) with extra environment "NAME=VALUE" entries.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                         const std::string& input = "");

// Runs body in a forked child whose stdout and stderr are captured; the child
// exits with status 0 when body returns.
ProcessResult runInChild(const std::function<void()>& body);

// Output lines split at '\n'.
std::vector<std::string> lines(const std::string& text);

std::string runDir();         // the assembled run directory
std::string testBinDir();     // where the test helpers are built

// Initialises SDL (dummy video), opens the 1024x768 window on the software
// renderer and sets the app-wide window, renderer and shared pictures.
class SdlWindow {
public:
    SdlWindow();
    ~SdlWindow();
    bool ok() const { return ok_; }
    // Reads back one pixel of the current render target as RGBA.
    SDL_Color pixel(int x, int y) const;
    // Reads back the whole window, 4 bytes per pixel RGBA.
    std::vector<uint8_t> capture() const;

private:
    bool ok_ = false;
};

void pushLeftClick(int x = 10, int y = 10);
void pushButton(Uint8 button, Uint32 type = SDL_MOUSEBUTTONDOWN, int x = 10, int y = 10);
void pushMotion(int x, int y);
void pushWheel(int y);
void pushKey(SDL_Scancode scancode, Uint32 type = SDL_KEYDOWN);
void pushQuit();

} // namespace testing_support
