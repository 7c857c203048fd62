// SPDX-License-Identifier: GPL-3.0-or-later
// Reads screenshots and recorded sound for the end-to-end test: a pixel's
// colour, counts of pixels of a colour class, the question grid, and how long
// a recording (16-bit mono) is loud.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Image {
    SDL_Surface* s = nullptr;  // RGBA32
    bool inside(int x, int y) const { return s && x >= 0 && y >= 0 && x < s->w && y < s->h; }
    const uint8_t* at(int x, int y) const { return static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * 4; }
};

Image load(const char* path) {
    SDL_Surface* raw = IMG_Load(path);
    Image img{raw ? SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_RGBA32, 0) : nullptr};
    if (!img.s) fprintf(stderr, "IMG_Load/SDL_ConvertSurfaceFormat(%s): %s\n", path, SDL_GetError());
    SDL_FreeSurface(raw);
    return img;
}

// Board yellow allows for anti-aliased edges and the band over a chosen topic.
bool is(const std::string& cls, const uint8_t* p) {
    if (cls == "yellow") return p[0] >= 200 && p[1] >= 200 && p[2] <= 110;
    if (cls == "white") return p[0] >= 215 && p[1] >= 215 && p[2] >= 215;
    if (cls == "dark") return p[0] <= 25 && p[1] <= 25 && p[2] <= 25;  // the game's panels over the background
    return p[0] <= 10 && p[1] <= 10 && p[2] <= 10;  // black
}

long count(const Image& img, int x0, int y0, int w, int h, const std::string& cls) {
    long n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) n += img.inside(x, y) && is(cls, img.at(x, y));
    return n;
}

// Tenths of a second that are loud, and of those the ones whose zero
// crossings give a tone near freq. A recording still being written has no
// final sizes: its samples run to the end of the file.
void wav(const char* path, double freq) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    size_t data = bytes.find("data");
    std::vector<int16_t> s((data == std::string::npos ? 0 : bytes.size() - std::min(bytes.size(), data + 8)) / 2);
    if (!s.empty()) memcpy(s.data(), &bytes[data + 8], s.size() * 2);
    int loud = 0, tone = 0;
    for (size_t start = 0; start + 4410 <= s.size(); start += 4410) {
        double sum = 0;
        int crossings = 0;
        for (size_t i = start; i < start + 4410; ++i) {
            sum += double(s[i]) * s[i];
            crossings += i > start && (s[i] >= 0) != (s[i - 1] >= 0);
        }
        if (std::sqrt(sum / 4410) < 650) continue;
        ++loud;
        tone += std::fabs(crossings * 5.0 - freq) <= freq * 0.1;
    }
    printf("loud %.1f tone %.1f\n", loud / 10.0, tone / 10.0);
}

} // namespace

int main(int argc, char** argv) {
    // The displays SDL sees on $DISPLAY, as the reader will.
    if (argc == 2 && std::string(argv[1]) == "displays") {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) return fprintf(stderr, "SDL_Init: %s\n", SDL_GetError()), 1;
        printf("%d\n", SDL_GetNumVideoDisplays());
        SDL_Quit();
        return 0;
    }
    std::string cmd = argc > 2 ? argv[1] : "";
    auto n = [&](int i) { return int(strtol(argv[i], nullptr, 10)); };
    if (cmd == "wav" && argc == 4) return wav(argv[2], atof(argv[3])), 0;
    Image a = argc > 2 ? load(argv[2]) : Image{};
    if (cmd == "near" && argc == 9 && a.inside(n(3), n(4))) {
        const uint8_t* p = a.at(n(3), n(4));
        printf("%d %d %d\n", p[0], p[1], p[2]);
        return std::abs(p[0] - n(5)) > n(8) || std::abs(p[1] - n(6)) > n(8) || std::abs(p[2] - n(7)) > n(8);
    }
    if (cmd == "count" && argc == 8 && a.s) return printf("%ld\n", count(a, n(3), n(4), n(5), n(6), argv[7])), 0;
    // The grid cells with points in them: four columns of 168 from x 350,
    // rows of 134 from y 175, without the first pixel row and column.
    if (cmd == "cells" && argc == 3 && a.s) {
        int cells = 0;
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 4; ++c)
                cells += count(a, 351 + 168 * c, 176 + 134 * r, 167, r == 4 ? 56 : 133, "yellow") > 1000;
        return printf("%d\n", cells), 0;
    }
    fprintf(stderr, "usage: screen_probe near IMG X Y R G B TOL | count IMG X Y W H yellow|white|black|dark | cells IMG\n"
                    "       | wav FILE FREQ | displays\n");
    return 2;
}
