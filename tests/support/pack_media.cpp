// Media makers for the pack tests; each goes through a scratch file because
// the libraries save to files.
#include "tests/support/pack_media.h"

#include <SDL.h>
#include <SDL_image.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <opencv2/videoio.hpp>

#include "tests/support/test_support.h"

namespace testing_support {

namespace {

std::string scratchFile(const char* suffix) {
    char name[] = "/tmp/rvl-media-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    unlink(name);
    return std::string(name) + suffix;
}

SDL_Surface* gradient(int w, int h) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
    if (!s) return nullptr;
    for (int y = 0; y < h; ++y) {
        Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
        for (int x = 0; x < w; ++x) row[x] = SDL_MapRGBA(s->format, Uint8(x * 7), Uint8(y * 5), 200, 255);
    }
    return s;
}

std::vector<uint8_t> saved(SDL_Surface* s, bool png) {
    std::string path = scratchFile(png ? ".png" : ".bmp");
    if (s) png ? IMG_SavePNG(s, path.c_str()) : SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
    std::vector<uint8_t> bytes = readFile(path);
    unlink(path.c_str());
    return bytes;
}

void putLE(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

std::vector<uint8_t> makePng(int w, int h) { return saved(gradient(w, h), true); }
std::vector<uint8_t> makeBmp(int w, int h) { return saved(gradient(w, h), false); }

std::vector<uint8_t> makeWav(int milliseconds, int rate) {
    uint32_t samples = static_cast<uint32_t>(rate) * static_cast<uint32_t>(milliseconds) / 1000;
    std::vector<uint8_t> w = {'R', 'I', 'F', 'F'};
    putLE(w, 36 + samples * 2, 4);
    for (char c : std::string("WAVEfmt ")) w.push_back(static_cast<uint8_t>(c));
    putLE(w, 16, 4);
    putLE(w, 1, 2);                         // PCM
    putLE(w, 1, 2);                         // mono
    putLE(w, static_cast<uint32_t>(rate), 4);
    putLE(w, static_cast<uint32_t>(rate) * 2, 4);
    putLE(w, 2, 2);
    putLE(w, 16, 2);
    for (char c : std::string("data")) w.push_back(static_cast<uint8_t>(c));
    putLE(w, samples * 2, 4);
    for (uint32_t i = 0; i < samples; ++i)
        putLE(w, static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / rate))), 2);
    return w;
}

std::vector<uint8_t> makeMjpgAvi(int frames, double fps, int w, int h) {
    std::string path = scratchFile(".avi");
    {
        cv::VideoWriter writer(path, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), fps, cv::Size(w, h));
        for (int i = 0; i < frames && writer.isOpened(); ++i) {
            cv::Mat frame(h, w, CV_8UC3, cv::Scalar(40 * i % 255, 100, 200));
            frame(cv::Rect(i * 4 % (w - 10), 4, 10, 10)).setTo(cv::Scalar(255, 255, 255));
            writer.write(frame);
        }
    }
    std::vector<uint8_t> bytes = readFile(path);
    unlink(path.c_str());
    return bytes;
}

} // namespace testing_support
