// Test helpers: scratch directories, child processes, SDL on the software
// renderer, and pushed input events.
#include "tests/support/test_support.h"

#include <SDL_image.h>
#include <SDL_ttf.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "board/board_state.h"
#include "presentation/presentations.h"
#include "presentation/video_module.h"
#include "shell/globals.h"

extern char** environ;

// Present only in a leak-checking (sanitizer) build.
extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace {

// The tests are built outside the run directory; the reader's video module
// waits in it.
const std::string videoModuleInRunDir = std::string(RVL_RUN_DIR) + "/" + videoModuleFileName;
const bool videoModuleFound = (videoModulePath = videoModuleInRunDir.c_str(), true);

} // namespace

namespace testing_support {

std::string runDir() { return RVL_RUN_DIR; }
std::string testBinDir() { return RVL_TEST_BIN_DIR; }

ScratchDir::ScratchDir() {
    char templ[] = "/tmp/rvl-test-XXXXXX";
    char* made = mkdtemp(templ);
    path_ = made ? made : "/tmp";
    char cwd[4096];
    previous_ = getcwd(cwd, sizeof cwd) ? cwd : "/";
    std::string res = runDir() + "/res";
    if (symlink(res.c_str(), file("res").c_str()) != 0) perror("symlink res");
    mkdir(file("temp").c_str(), 0755);
    if (chdir(path_.c_str()) != 0) perror("chdir");
}

ScratchDir::~ScratchDir() {
    if (chdir(previous_.c_str()) != 0) perror("chdir back");
    std::string command = "rm -rf '" + path_ + "'";
    if (path_.rfind("/tmp/rvl-test-", 0) == 0 && system(command.c_str()) != 0) perror("rm");
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return;
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

void writeText(const std::string& path, const std::string& text, bool executable) {
    writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    if (executable) chmod(path.c_str(), 0755);
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return bytes;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

namespace {

// Reads both pipes to their ends, feeding input to the child's stdin.
void collect(int outFd, int errFd, int inFd, const std::string& input, ProcessResult& result) {
    size_t written = 0;
    if (inFd >= 0 && input.empty()) { close(inFd); inFd = -1; }
    while (outFd >= 0 || errFd >= 0) {
        pollfd fds[3];
        int n = 0;
        if (outFd >= 0) fds[n++] = {outFd, POLLIN, 0};
        if (errFd >= 0) fds[n++] = {errFd, POLLIN, 0};
        if (inFd >= 0) fds[n++] = {inFd, POLLOUT, 0};
        if (poll(fds, n, -1) < 0) break;
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents) continue;
            if (fds[i].fd == inFd) {
                ssize_t w = write(inFd, input.data() + written, input.size() - written);
                if (w > 0) written += static_cast<size_t>(w);
                if (w <= 0 || written == input.size()) { close(inFd); inFd = -1; }
                continue;
            }
            char buf[65536];
            ssize_t r = read(fds[i].fd, buf, sizeof buf);
            if (r <= 0) {
                close(fds[i].fd);
                if (fds[i].fd == outFd) outFd = -1; else errFd = -1;
            } else {
                (fds[i].fd == outFd ? result.out : result.err).append(buf, static_cast<size_t>(r));
            }
        }
    }
    if (inFd >= 0) close(inFd);
}

void finish(pid_t pid, ProcessResult& result) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::string& input) {
    ProcessResult result;
    int out[2], err[2], in[2];
    if (pipe(out) || pipe(err) || pipe(in)) return result;
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0); dup2(out[1], 1); dup2(err[1], 2);
        close(in[1]); close(out[0]); close(err[0]);
        for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        perror("execv");
        _exit(127);
    }
    close(in[0]); close(out[1]); close(err[1]);
    signal(SIGPIPE, SIG_IGN);
    collect(out[0], err[0], in[1], input, result);
    finish(pid, result);
    return result;
}

ProcessResult runInChild(const std::function<void()>& body) {
    ProcessResult result;
    int out[2], err[2];
    if (pipe(out) || pipe(err)) return result;
    fflush(nullptr);
    std::wcout.flush();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1); dup2(err[1], 2);
        close(out[0]); close(err[0]);
        int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) dup2(devnull, 0);
        body();
        std::wcout.flush();
        fflush(nullptr);
        // _exit skips the sanitizer's leak check at exit; run it here so the
        // code a child ran is checked too (its report goes to the captured
        // stderr, and the status tells the test).
        if (__lsan_do_recoverable_leak_check && __lsan_do_recoverable_leak_check() != 0) _exit(23);
        _exit(0);
    }
    close(out[1]); close(err[1]);
    collect(out[0], err[0], -1, "", result);
    finish(pid, result);
    return result;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

SdlWindow::SdlWindow() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        std::cerr << "SDL_Init: " << SDL_GetError() << "\n";
        return;
    }
    IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG);
    if (TTF_Init() != 0) return;
    window = SDL_CreateWindow("RVL Reader", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, screenWidth, screenHeight,
                              SDL_WINDOW_SHOWN);
    if (!window) {
        std::cerr << "SDL_CreateWindow: " << SDL_GetError() << "\n";
        return;
    }
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
    if (!renderer) {
        std::cerr << "SDL_CreateRenderer: " << SDL_GetError() << "\n";
        return;
    }
    std::string res = runDir() + "/res/";
    SDL_Surface* bg = IMG_Load((res + "bg.png").c_str());
    SDL_Surface* sk = IMG_Load((res + "sk.png").c_str());
    if (!bg || !sk) return;
    bgTexture = SDL_CreateTextureFromSurface(renderer, bg);
    skTexture = SDL_CreateTextureFromSurface(renderer, sk);
    skRect = {screenWidth / 2 - sk->w / 2, screenHeight / 2 - sk->h / 2, sk->w, sk->h};
    SDL_FreeSurface(bg);
    SDL_FreeSurface(sk);
    mainFont = TTF_OpenFont((res + "FuturaC.ttf").c_str(), 40);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    ok_ = bgTexture && skTexture && mainFont;
}

SdlWindow::~SdlWindow() {
    // Fonts die with the font library, so the app-wide handles must go too.
    if (cardFont) TTF_CloseFont(cardFont);
    if (pointsFont) TTF_CloseFont(pointsFont);
    if (mainFont) TTF_CloseFont(mainFont);
    cardFont = pointsFont = mainFont = nullptr;
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    renderer = nullptr;
    window = nullptr;
    bgTexture = skTexture = boardBackground = nullptr;
    board = BoardState{};
    TTF_Quit();
    IMG_Quit();
    SDL_Quit();
}

SDL_Color SdlWindow::pixel(int x, int y) const {
    Uint8 rgba[4] = {0, 0, 0, 0};
    SDL_Rect r{x, y, 1, 1};
    SDL_RenderReadPixels(renderer, &r, SDL_PIXELFORMAT_RGBA32, rgba, 4);
    return SDL_Color{rgba[0], rgba[1], rgba[2], rgba[3]};
}

std::vector<uint8_t> SdlWindow::capture() const {
    std::vector<uint8_t> pixels(size_t(screenWidth) * screenHeight * 4);
    SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGBA32, pixels.data(), screenWidth * 4);
    return pixels;
}

void pushButton(Uint8 button, Uint32 type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    e.button.button = button;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
}

void pushLeftClick(int x, int y) { pushButton(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONDOWN, x, y); }

void pushMotion(int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
}

void pushWheel(int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    SDL_PushEvent(&e);
}

void pushKey(SDL_Scancode scancode, Uint32 type) {
    SDL_Event e{};
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = scancode;
    e.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    SDL_PushEvent(&e);
}

void pushQuit() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
}

} // namespace testing_support
