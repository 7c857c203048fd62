// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' fixtures (see test_support.h): files and processes, the window
// and its frames, pushed input, and media written by the libraries' own
// encoders.
#include "tests/support/test_support.h"

#include <SDL_image.h>
#include <SDL_ttf.h>
#include <SFML/Audio/OutputSoundFile.hpp>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <utility>
#include <opencv2/videoio.hpp>

#include "board/board_state.h"
#include "module/loader.h"
#include "presentation/presentations.h"
#include "presentation/video_module.h"
#include "shell/globals.h"

// Present only in a leak-checking (sanitizer) build.
extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace {

// The tests are built outside the run directory; the reader's video module
// waits in it.
const std::string videoModuleInRunDir = std::string(RVL_RUN_DIR) + "/" + videoModuleFileName;
const bool videoModuleFound = (videoModulePath = videoModuleInRunDir.c_str(), true);

// Every test program runs headless (scripts/headless.env), whoever starts it.
[[maybe_unused]] const bool headless = [] {
    std::istringstream entries(RVL_HEADLESS_ENV);
    for (std::string entry; entries >> entry;)
        if (size_t eq = entry.find('='); eq != std::string::npos)
            setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
    return true;
}();

} // namespace

namespace testing_support {

ScratchDir::ScratchDir() {
    char templ[] = "/tmp/rvl-test-XXXXXX";
    char* made = mkdtemp(templ);
    path_ = made ? made : "/tmp";
    char cwd[4096];
    previous_ = getcwd(cwd, sizeof cwd) ? cwd : "/";
    if (symlink((runDir() + "/res").c_str(), file("res").c_str()) != 0) perror("symlink res");
    mkdir(file("temp").c_str(), 0755);
    if (chdir(path_.c_str()) != 0) perror("chdir");
}

ScratchDir::~ScratchDir() {
    if (chdir(previous_.c_str()) != 0) perror("chdir back");
    std::error_code ignored;
    if (path_.rfind("/tmp/rvl-test-", 0) == 0) std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void writeText(const std::string& path, const std::string& text, bool executable) {
    writeFile(path, Bytes(text.begin(), text.end()));
    if (executable) chmod(path.c_str(), 0755);
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string readText(const std::string& path) {
    Bytes bytes = readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

namespace {

std::string drain(FILE* f) {
    std::string text;
    rewind(f);
    for (int c; (c = fgetc(f)) != EOF;) text += char(c);
    fclose(f);
    return text;
}

// Forks with stdin, stdout and stderr on scratch files (stdin holds input,
// or is /dev/null); the child runs body, the parent waits for it and reads
// what it wrote.
ProcessResult forkCaptured(const std::string* input, const std::function<void()>& body) {
    ProcessResult result;
    FILE *in = input ? tmpfile() : fopen("/dev/null", "r"), *out = tmpfile(), *err = tmpfile();
    if (!in || !out || !err) return result;
    if (input) fwrite(input->data(), 1, input->size(), in), rewind(in);
    fflush(nullptr);
    std::wcout.flush();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fileno(in), 0), dup2(fileno(out), 1), dup2(fileno(err), 2);
        body();
        _exit(0);
    }
    fclose(in);
    int status = 0;
    waitpid(pid, &status, 0);
    result.out = drain(out), result.err = drain(err);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::string& input) {
    return forkCaptured(&input, [&] {
        for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        perror("execv");
        _exit(127);
    });
}

ProcessResult runInChild(const std::function<void()>& body) {
    return forkCaptured(nullptr, [&] {
        body();
        std::wcout.flush();
        fflush(nullptr);
        // _exit skips the sanitizer's leak check at exit; run it here so the
        // code a child ran is checked too.
        if (__lsan_do_recoverable_leak_check && __lsan_do_recoverable_leak_check() != 0) _exit(23);
    });
}

// --- modules ------------------------------------------------------------

Bytes exampleModule() {
    return {'R', 'V', 'L', '1', 0, 0, 0, 0, 0, 0, 1, 1, 0, 0x41, 1, 0x54, 2, 0, 0x51, 0, 0x3F, 1, 0, 0x42, 0, 0x64};
}

rvlpack::Question ask(char type, uint16_t points, Bytes media, Bytes video) {
    return {type, L"Вопрос " + std::wstring(1, wchar_t(type)), L"Ответ", points, std::move(media), std::move(video)};
}

Bytes moduleBytes(const rvlpack::Module& m) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(rvlpack::writeModule(m, bytes, &error)) << error;
    return bytes;
}

bool loadBytes(const Bytes& bytes, std::string* trace) {
    ScratchDir dir;
    writeFile(dir.file("m.rvl"), bytes);
    unloadModule();
    testing::internal::CaptureStdout();
    bool ok = loadModule(L"m.rvl");
    std::string out = testing::internal::GetCapturedStdout();
    if (trace) *trace = out;
    return ok;
}

// --- the window ---------------------------------------------------------

SDL_Color Frame::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= w || y >= h) return SDL_Color{0, 0, 0, 0};
    const uint8_t* p = &px[(size_t(y) * size_t(w) + size_t(x)) * 4];
    return SDL_Color{p[0], p[1], p[2], p[3]};
}

Frame capture() {
    Frame f{screenWidth, screenHeight, Bytes(size_t(screenWidth) * size_t(screenHeight) * 4)};
    SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGBA32, f.px.data(), f.w * 4);
    return f;
}

namespace {

// A frame the dummy video driver saved, or an empty frame.
Frame loadFrame(const std::string& path) {
    Frame f;
    SDL_Surface* raw = SDL_LoadBMP(path.c_str());
    SDL_Surface* s = raw ? SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_RGBA32, 0) : nullptr;
    SDL_FreeSurface(raw);
    if (!s) return f;
    // A converted 32-bit surface has no padding: its rows are w * 4 bytes.
    const uint8_t* pixels = static_cast<const uint8_t*>(s->pixels);
    f = Frame{s->w, s->h, Bytes(pixels, pixels + size_t(s->h) * size_t(s->pitch))};
    SDL_FreeSurface(s);
    return f;
}

} // namespace

std::string describe(SDL_Color c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + "," +
           std::to_string(c.a) + ")";
}

std::string describe(const SDL_Rect& r) {
    return "{" + std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.w) + "x" +
           std::to_string(r.h) + "}";
}

Ink inkBetween(const Frame& a, const Frame& b, const SDL_Rect& rect, int tolerance) {
    Ink ink;
    if (a.w != b.w || a.h != b.h) return Ink{-1, {0, 0, 0, 0}};
    int x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
    for (int y = rect.y; y < rect.y + rect.h; ++y)
        for (int x = rect.x; x < rect.x + rect.w; ++x) {
            SDL_Color p = a.at(x, y), q = b.at(x, y);
            if (std::max({std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)}) <= tolerance) continue;
            ++ink.count;
            x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
        }
    if (ink.count) ink.box = SDL_Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
    return ink;
}

SdlWindow::SdlWindow() {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0 || TTF_Init() != 0) {
        std::cerr << "SDL_Init/TTF_Init: " << SDL_GetError() << "\n";
        return;
    }
    IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG);
    window = SDL_CreateWindow("RVL Reader", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, screenWidth, screenHeight,
                              SDL_WINDOW_SHOWN);
    renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE) : nullptr;
    if (!renderer) {
        std::cerr << "SDL_CreateWindow/SDL_CreateRenderer: " << SDL_GetError() << "\n";
        return;
    }
    std::string res = runDir() + "/res/";
    bgTexture = IMG_LoadTexture(renderer, (res + "bg.png").c_str());
    skTexture = IMG_LoadTexture(renderer, (res + "sk.png").c_str());
    int w = 0, h = 0;
    SDL_QueryTexture(skTexture, nullptr, nullptr, &w, &h);
    skRect = {screenWidth / 2 - w / 2, screenHeight / 2 - h / 2, w, h};
    mainFont = TTF_OpenFont((res + "FuturaC.ttf").c_str(), 40);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    ok_ = bgTexture && skTexture && mainFont;
}

SdlWindow::~SdlWindow() {
    // Fonts die with the font library, so the app-wide handles must go too.
    for (TTF_Font** font : {&cardFont, &pointsFont, &mainFont}) TTF_CloseFont(std::exchange(*font, nullptr));
    if (renderer) SDL_DestroyRenderer(std::exchange(renderer, nullptr));
    if (window) SDL_DestroyWindow(std::exchange(window, nullptr));
    bgTexture = skTexture = boardBackground = nullptr;
    board = BoardState{};
    TTF_Quit();
    IMG_Quit();
    SDL_Quit();
}

SDL_Event wheelEvent(int y) {
    SDL_Event e{SDL_MOUSEWHEEL};
    e.wheel.y = y;
    return e;
}

void push(SDL_Event e) { SDL_PushEvent(&e); }

SDL_Event keyEvent(SDL_Scancode scancode, Uint32 type) {
    SDL_Event e{type};
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = scancode;
    e.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    return e;
}

void pushOtherInput() {
    pushButton(SDL_BUTTON_RIGHT), pushButton(SDL_BUTTON_MIDDLE), pushButton(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONUP);
    for (const SDL_Event& e : {motionEvent(300, 300), wheelEvent(1), keyEvent(SDL_SCANCODE_F10), keyEvent(SDL_SCANCODE_F10, SDL_KEYUP),
          keyEvent(SDL_SCANCODE_ESCAPE), SDL_Event{SDL_QUIT}})
        push(e);
}

bool queueEmpty() { return SDL_PeepEvents(nullptr, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 0; }

namespace {

std::vector<std::string> savedFrames() {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(".", ignored)) {
        std::string name = entry.path().filename();
        if (name.rfind("SDL_window", 0) == 0 && entry.path().extension() == ".bmp") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

FrameRecorder::FrameRecorder() : before_(savedFrames()) { setenv("SDL_VIDEO_DUMMY_SAVE_FRAMES", "1", 1); }

FrameRecorder::~FrameRecorder() {
    unsetenv("SDL_VIDEO_DUMMY_SAVE_FRAMES");
    for (const std::string& name : frames()) remove(name.c_str());
}

std::vector<std::string> FrameRecorder::frames() const {
    std::vector<std::string> added;
    for (const std::string& name : savedFrames())
        if (std::find(before_.begin(), before_.end(), name) == before_.end()) added.push_back(name);
    return added;
}

std::vector<Frame> FrameRecorder::loaded() const {
    std::vector<Frame> result;
    for (const std::string& name : frames()) result.push_back(loadFrame(name));
    return result;
}

LeftPressAfterFrames::LeftPressAfterFrames(const FrameRecorder& recorder, size_t frames, int count)
    : recorder_(recorder), frames_(frames), count_(count), timer_(SDL_AddTimer(2, tick, this)) {}

LeftPressAfterFrames::~LeftPressAfterFrames() { stop(); }

void LeftPressAfterFrames::stop() {
    if (!timer_) return;
    SDL_RemoveTimer(timer_);
    timer_ = 0;
    SDL_Delay(5);  // let a callback already running finish before this object goes
}

Uint32 LeftPressAfterFrames::tick(Uint32 interval, void* self) {
    LeftPressAfterFrames* gate = static_cast<LeftPressAfterFrames*>(self);
    // Only once the loop has read everything queued before: input that wrongly
    // ends it then ends it before the press exists, which the test sees.
    if (gate->pushed() || gate->recorder_.frames().size() < gate->frames_ || !queueEmpty()) return interval;
    SDL_Event events[4];
    std::fill(events, events + 4, buttonEvent(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONDOWN, 600, 500));
    // Marked before the push: the loop may take the press and return before
    // this thread runs again.
    SDL_AtomicSet(&gate->pushed_, 1);
    // All under one lock: one polling pass sees them all.
    SDL_PeepEvents(events, std::min(gate->count_, 4), SDL_ADDEVENT, 0, 0);
    return 0;
}

// --- media --------------------------------------------------------------

namespace {

std::string scratchName(const std::string& extension) {
    char name[] = "/tmp/rvl-media-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    unlink(name);
    return std::string(name) + "." + extension;
}

// The bytes a library saved to a scratch file, which then goes.
Bytes takeFile(const std::string& path) {
    Bytes bytes = readFile(path);
    unlink(path.c_str());
    return bytes;
}

} // namespace

SDL_Color patternColour(int x, int y) {
    return SDL_Color{Uint8(x & 255), Uint8(y & 255), Uint8(((x >> 8) << 4 | (y >> 8)) & 255), 255};
}

SDL_Surface* patternSurface(int w, int h) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
    for (int y = 0; s && y < h; ++y)
        for (int x = 0; x < w; ++x) {
            SDL_Color c = patternColour(x, y);
            static_cast<Uint32*>(s->pixels)[y * s->pitch / 4 + x] = SDL_MapRGBA(s->format, c.r, c.g, c.b, c.a);
        }
    return s;
}

Bytes encodePicture(SDL_Surface* surface, const std::string& extension) {
    std::string path = scratchName(extension);
    if (surface) {
        if (extension == "png") IMG_SavePNG(surface, path.c_str());
        else if (extension == "jpg") IMG_SaveJPG(surface, path.c_str(), 95);
        else SDL_SaveBMP(surface, path.c_str());
    }
    SDL_FreeSurface(surface);
    return takeFile(path);
}

Bytes makeEncodedClip(const std::string& extension, double seconds, int sampleRate, int channels) {
    std::string path = scratchName(extension);
    std::vector<int16_t> samples;
    for (size_t i = 0; i < size_t(seconds * sampleRate); ++i) {
        double t = double(i) / sampleRate;
        samples.insert(samples.end(), size_t(channels), int16_t(8000 * std::sin(2 * M_PI * 440 * t)));
    }
    {
        sf::OutputSoundFile file;
        if (file.openFromFile(path, unsigned(sampleRate), unsigned(channels))) file.write(samples.data(), samples.size());
    }
    return takeFile(path);
}

void useWaveOutput(const std::string& wavePath) {
    std::string config = wavePath + ".conf";
    writeText(config, "[general]\nchannels = mono\nsample-type = int16\nfrequency = 44100\n[wave]\nfile = " + wavePath +
                          "\n");
    setenv("ALSOFT_CONF", config.c_str(), 1);
    setenv("ALSOFT_DRIVERS", "wave", 1);
}

double recordedSoundSeconds(const std::string& wavePath) {
    // The samples start after "data" and its size; a writer that was never
    // closed leaves that size unset, so they run to the end of the file.
    Bytes b = readFile(wavePath);
    const char tag[] = "data";
    auto data = std::search(b.begin(), b.end(), tag, tag + 4);
    if (b.size() < 12 || data == b.end() || b.end() - data < 8) return -1;
    long first = -1, last = -1, n = 0;
    for (auto p = data + 8; b.end() - p >= 2; p += 2, ++n) {
        if (std::abs(int(int16_t(p[0] | p[1] << 8))) <= 1000) continue;
        if (first < 0) first = n;
        last = n;
    }
    return first < 0 ? 0.0 : double(last - first + 1) / 44100.0;
}

cv::Scalar frameColour(int i) {
    static const int levels[] = {20, 110, 200};
    return cv::Scalar(levels[i % 3], levels[(i / 3) % 3], levels[(i / 9) % 3]);
}

int nearestFrame(int frameCount, int b, int g, int r) {
    int best = -1;
    double bestDistance = 1e18;
    for (int i = 0; i < frameCount; ++i) {
        double d = cv::norm(frameColour(i) - cv::Scalar(b, g, r));
        if (d < bestDistance) bestDistance = d, best = i;
    }
    return best;
}

Bytes makeClip(const std::string& extension, const char* fourcc, int frames, int w, int h, double fps,
               const Painter& paint) {
    std::string path = scratchName(extension);
    {
        cv::VideoWriter writer(path, cv::VideoWriter::fourcc(fourcc[0], fourcc[1], fourcc[2], fourcc[3]), fps,
                               cv::Size(w, h));
        if (!writer.isOpened()) return {};
        cv::Mat frame(h, w, CV_8UC3);
        for (int i = 0; i < frames; ++i) {
            if (paint) paint(frame, i);
            else frame.setTo(frameColour(i));
            writer.write(frame);
        }
    }
    return takeFile(path);
}

namespace {
void le16(Bytes& b, unsigned v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
void le32(Bytes& b, unsigned v) { le16(b, v & 0xFFFF), le16(b, v >> 16); }
} // namespace

Bytes forgedGif() {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    le16(b, 65535), le16(b, 65535);
    b.insert(b.end(), {0, 0, 0, 0x2C, 0, 0, 0, 0});
    le16(b, 65535), le16(b, 65535);
    b.insert(b.end(), {0, 2, 1, 0, 0, 0x3B});
    return b;
}

Bytes forgedBmp() {
    Bytes b = {'B', 'M'};
    le32(b, 54 + 1024 + 2), le32(b, 0), le32(b, 54 + 1024);
    le32(b, 40), le32(b, 20000), le32(b, 20000), le16(b, 1), le16(b, 8), le32(b, 1 /* RLE8 */), le32(b, 2);
    le32(b, 2835), le32(b, 2835), le32(b, 256), le32(b, 0);
    b.resize(b.size() + 1024);
    b.insert(b.end(), {0, 1});
    return b;
}

} // namespace testing_support
