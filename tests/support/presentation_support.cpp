// Test helpers for the question presentations (see presentation_support.h).
#include "tests/support/presentation_support.h"

#include <SDL_image.h>
#include <SFML/Audio/OutputSoundFile.hpp>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/globals.h"
#include "tests/support/test_support.h"

namespace testing_support {

namespace {

std::vector<std::string> savedFrames() {
    std::vector<std::string> names;
    DIR* dir = opendir(".");
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.rfind("SDL_window", 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0)
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// An SDL stream that writes into a growing byte vector (seeks included, for
// writers that go back to fill in sizes).
struct Sink {
    std::vector<uint8_t> bytes;
    size_t position = 0;
};

Sint64 sinkSize(SDL_RWops* rw) { return Sint64(static_cast<Sink*>(rw->hidden.unknown.data1)->bytes.size()); }

Sint64 sinkSeek(SDL_RWops* rw, Sint64 offset, int whence) {
    Sink* sink = static_cast<Sink*>(rw->hidden.unknown.data1);
    Sint64 base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? Sint64(sink->position) : Sint64(sink->bytes.size());
    if (base + offset < 0) return -1;
    sink->position = size_t(base + offset);
    return Sint64(sink->position);
}

size_t sinkRead(SDL_RWops*, void*, size_t, size_t) { return 0; }

size_t sinkWrite(SDL_RWops* rw, const void* data, size_t size, size_t count) {
    Sink* sink = static_cast<Sink*>(rw->hidden.unknown.data1);
    size_t n = size * count;
    if (sink->bytes.size() < sink->position + n) sink->bytes.resize(sink->position + n);
    if (n) memcpy(sink->bytes.data() + sink->position, data, n);
    sink->position += n;
    return count;
}

int sinkClose(SDL_RWops* rw) {
    SDL_FreeRW(rw);
    return 0;
}

SDL_RWops* openSink(Sink* sink) {
    SDL_RWops* rw = SDL_AllocRW();
    rw->size = sinkSize;
    rw->seek = sinkSeek;
    rw->read = sinkRead;
    rw->write = sinkWrite;
    rw->close = sinkClose;
    rw->hidden.unknown.data1 = sink;
    return rw;
}

Uint32 pushLeftPressNow(Uint32, void*) {
    pushLeftClick(700, 600);
    return 0;
}

void putLe16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void putLe32(std::vector<uint8_t>& out, uint32_t v) {
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}
uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

std::vector<int16_t> tone(double seconds, int sampleRate, int channels) {
    size_t frames = size_t(seconds * sampleRate);
    std::vector<int16_t> samples;
    samples.reserve(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) samples.push_back((i / 50) % 2 ? 16000 : -16000);
    return samples;
}

} // namespace

FrameRecorder::FrameRecorder() : before_(savedFrames()) { setenv("SDL_VIDEO_DUMMY_SAVE_FRAMES", "1", 1); }

FrameRecorder::~FrameRecorder() {
    unsetenv("SDL_VIDEO_DUMMY_SAVE_FRAMES");
    for (const std::string& name : frames()) remove(name.c_str());
}

std::vector<std::string> FrameRecorder::frames() const {
    std::vector<std::string> now = savedFrames(), added;
    for (const std::string& name : now)
        if (std::find(before_.begin(), before_.end(), name) == before_.end()) added.push_back(name);
    return added;
}

SDL_Surface* loadFrame(const std::string& path) {
    SDL_Surface* raw = SDL_LoadBMP(path.c_str());
    if (!raw) return nullptr;
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_RGBA32, 0);
    SDL_FreeSurface(raw);
    return rgba;
}

SDL_Color pixelOf(SDL_Surface* rgba, int x, int y) {
    if (!rgba || x < 0 || y < 0 || x >= rgba->w || y >= rgba->h) return SDL_Color{0, 0, 0, 0};
    const Uint8* p = static_cast<const Uint8*>(rgba->pixels) + y * rgba->pitch + x * 4;
    return SDL_Color{p[0], p[1], p[2], p[3]};
}

long countDifferences(SDL_Surface* a, SDL_Surface* b, int tolerance) {
    if (!a || !b || a->w != b->w || a->h != b->h) return -1;
    long differences = 0;
    for (int y = 0; y < a->h; ++y) {
        for (int x = 0; x < a->w; ++x) {
            SDL_Color p = pixelOf(a, x, y), q = pixelOf(b, x, y);
            if (std::abs(p.r - q.r) > tolerance || std::abs(p.g - q.g) > tolerance || std::abs(p.b - q.b) > tolerance)
                ++differences;
        }
    }
    return differences;
}

std::string describe(SDL_Color c) {
    char buf[48];
    snprintf(buf, sizeof buf, "(%d,%d,%d,%d)", c.r, c.g, c.b, c.a);
    return buf;
}

SDL_Surface* captureWindow() {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, screenWidth, screenHeight, 32, SDL_PIXELFORMAT_RGBA32);
    if (s) SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGBA32, s->pixels, s->pitch);
    return s;
}

LeftPressAfterFrames::LeftPressAfterFrames(const FrameRecorder& recorder, size_t frames)
    : recorder_(recorder), frames_(frames) {
    timer_ = SDL_AddTimer(2, tick, this);
}

LeftPressAfterFrames::~LeftPressAfterFrames() {
    SDL_RemoveTimer(timer_);
    SDL_Delay(5);  // let a callback already running finish before this object goes
}

Uint32 LeftPressAfterFrames::tick(Uint32 interval, void* self) {
    LeftPressAfterFrames* gate = static_cast<LeftPressAfterFrames*>(self);
    if (gate->pushed() || gate->recorder_.frames().size() < gate->frames_) return interval;
    pushLeftPressNow(0, nullptr);
    SDL_AtomicSet(&gate->pushed_, 1);
    return 0;
}

std::vector<uint8_t> encodePng(SDL_Surface* surface) {
    Sink sink;
    IMG_SavePNG_RW(surface, openSink(&sink), 1);
    return sink.bytes;
}

std::vector<uint8_t> encodeJpeg(SDL_Surface* surface, int quality) {
    Sink sink;
    IMG_SaveJPG_RW(surface, openSink(&sink), 1, quality);
    return sink.bytes;
}

std::vector<uint8_t> encodeBmp(SDL_Surface* surface) {
    Sink sink;
    SDL_SaveBMP_RW(surface, openSink(&sink), 1);
    return sink.bytes;
}

SDL_Color patternColour(int x, int y) {
    return SDL_Color{Uint8(x & 255), Uint8(y & 255), Uint8(((x >> 8) << 4 | (y >> 8)) & 255), 255};
}

SDL_Surface* patternSurface(int w, int h) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
    if (!s) return nullptr;
    for (int y = 0; y < h; ++y) {
        Uint8* row = static_cast<Uint8*>(s->pixels) + y * s->pitch;
        for (int x = 0; x < w; ++x) {
            SDL_Color c = patternColour(x, y);
            row[4 * x] = c.r;
            row[4 * x + 1] = c.g;
            row[4 * x + 2] = c.b;
            row[4 * x + 3] = c.a;
        }
    }
    return s;
}

SDL_Surface* solidSurface(int w, int h, SDL_Color c) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
    if (s) SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, c.r, c.g, c.b, c.a));
    return s;
}

std::vector<uint8_t> makeWav(double seconds, int sampleRate, int channels) {
    std::vector<int16_t> samples = tone(seconds, sampleRate, channels);
    uint32_t dataBytes = uint32_t(samples.size() * 2);
    std::vector<uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    putLe32(out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLe32(out, 16);
    putLe16(out, 1);
    putLe16(out, uint32_t(channels));
    putLe32(out, uint32_t(sampleRate));
    putLe32(out, uint32_t(sampleRate * channels * 2));
    putLe16(out, uint32_t(channels * 2));
    putLe16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    putLe32(out, dataBytes);
    for (int16_t s : samples) putLe16(out, uint16_t(s));
    return out;
}

std::vector<uint8_t> makeEncodedClip(const std::string& extension, double seconds, int sampleRate, int channels) {
    std::string path = "/tmp/rvl-clip-XXXXXX." + extension;
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    int fd = mkstemps(name.data(), int(extension.size() + 1));
    if (fd < 0) return {};
    close(fd);
    std::vector<int16_t> samples = tone(seconds, sampleRate, channels);
    {
        sf::OutputSoundFile file;
        if (!file.openFromFile(name.data(), unsigned(sampleRate), unsigned(channels))) {
            remove(name.data());
            return {};
        }
        file.write(samples.data(), samples.size());
    }
    std::vector<uint8_t> bytes = readFile(name.data());
    remove(name.data());
    return bytes;
}

void useWaveOutput(const std::string& configPath, const std::string& wavePath) {
    writeText(configPath, "[general]\nchannels = mono\nsample-type = int16\nfrequency = 44100\n"
                          "[wave]\nfile = " + wavePath + "\n");
    setenv("ALSOFT_CONF", configPath.c_str(), 1);
    setenv("ALSOFT_DRIVERS", "wave", 1);
}

Recording readRecording(const std::string& wavePath) {
    Recording r;
    std::vector<uint8_t> b = readFile(wavePath);
    if (b.size() < 12 || memcmp(b.data(), "RIFF", 4) != 0 || memcmp(b.data() + 8, "WAVE", 4) != 0) {
        r.error = "no RIFF/WAVE file at " + wavePath + " (" + std::to_string(b.size()) + " bytes)";
        return r;
    }
    size_t pos = 12;
    int bits = 0, blockAlign = 0;
    while (b.size() - pos >= 8) {
        uint32_t length = le32(&b[pos + 4]);
        size_t body = pos + 8;
        if (memcmp(&b[pos], "fmt ", 4) == 0 && b.size() - body >= 16) {
            r.sampleRate = int(le32(&b[body + 4]));
            blockAlign = int(le16(&b[body + 12]));
            bits = int(le16(&b[body + 14]));
        } else if (memcmp(&b[pos], "data", 4) == 0) {
            if (bits != 16 || blockAlign < 2 || r.sampleRate <= 0) {
                r.error = "recording is not 16-bit PCM: bits " + std::to_string(bits);
                return r;
            }
            // A writer that was not closed leaves the size unset: take the rest.
            size_t available = b.size() - body;
            size_t bytes = (length == 0 || length > available) ? available : length;
            r.frames = long(bytes / size_t(blockAlign));
            for (long f = 0; f < r.frames; ++f) {
                for (int c = 0; c < blockAlign / 2; ++c) {
                    int16_t s = int16_t(le16(&b[body + size_t(f) * blockAlign + size_t(c) * 2]));
                    if (std::abs(int(s)) > 1000) {
                        if (r.firstSound < 0) r.firstSound = f;
                        r.lastSound = f;
                    }
                }
            }
            r.ok = true;
            return r;
        }
        pos = body + length + (length & 1);
        if (pos > b.size()) break;
    }
    r.error = "no data chunk in " + wavePath;
    return r;
}

std::map<std::string, std::string> keyValues(const std::string& text) {
    std::map<std::string, std::string> values;
    for (const std::string& line : lines(text)) {
        size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

} // namespace testing_support
