// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the reader's two pictures: the background (dark blue, on which yellow
// and white text read well) and the speaker shown while a sound plays; and,
// for the desktop, the program's icon.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/resource_files.h"
#include "platform/sdl_handles.h"

namespace {

void put(SDL_Surface* s, int x, int y, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
    row[x] = SDL_MapRGBA(s->format, r, g, b, a);
}

SDL_Surface* drawBackground() {
    const int w = 1024, h = 768;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
    if (!s) return nullptr;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double t = double(y) / h;
            double glow = std::exp(-((x - 512.0) * (x - 512.0) + (y - 300.0) * (y - 300.0)) / (2 * 380.0 * 380.0));
            bool grid = (x % 64 == 0) || (y % 64 == 0);
            int r = int(8 + 20 * glow);
            int g = int(14 + 30 * glow + 10 * (1 - t));
            int b = int(60 + 70 * glow - 30 * t);
            if (grid) { r += 6; g += 8; b += 14; }
            put(s, x, y, Uint8(r), Uint8(g), Uint8(b), 255);
        }
    }
    return s;
}

// A loudspeaker with three sound arcs, on a transparent ground.
SDL_Surface* drawSpeaker() {
    const int w = 301, h = 201;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
    if (!s) return nullptr;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double cy = y - 100.0;
            bool body = x >= 40 && x < 90 && std::fabs(cy) < 35;
            bool cone = x >= 90 && x < 150 && std::fabs(cy) < 35 + (x - 90) * 1.1;
            double dx = x - 150.0, r = std::sqrt(dx * dx + cy * cy);
            bool arc = dx > 0 && std::fabs(cy) < dx * 1.2 &&
                       (std::fabs(r - 45) < 7 || std::fabs(r - 85) < 7 || std::fabs(r - 125) < 7);
            if (body || cone) put(s, x, y, 250, 250, 235, 255);
            else if (arc) put(s, x, y, 255, 220, 0, 255);
            else put(s, x, y, 0, 0, 0, 0);
        }
    }
    return s;
}

// The board in small: a dark blue tile with rounded corners, a yellow header
// line and divider, and four point cells.
SDL_Surface* drawIcon() {
    const int n = 128;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, n, n, 32, SDL_PIXELFORMAT_RGBA32);
    if (!s) return nullptr;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            double cx = std::max(0.0, std::fabs(x - 63.5) - 44), cy = std::max(0.0, std::fabs(y - 63.5) - 44);
            bool inside = cx * cx + cy * cy < 18.0 * 18.0;
            bool line = (y == 40 || y == 41) && x > 10 && x < 117;
            bool divider = (x == 44 || x == 45) && y > 12 && y < 115;
            bool cell = x >= 56 && x < 112 && y >= 50 && y < 110 && (x - 56) % 30 < 24 && (y - 50) % 32 < 26;
            bool topic = x >= 14 && x < 38 && y >= 52 && y < 106 && (y - 52) % 14 < 6;
            if (!inside) put(s, x, y, 0, 0, 0, 0);
            else if (line || divider || cell || topic) put(s, x, y, 255, 255, 0, 255);
            else put(s, x, y, 18, 34, 110, 255);
        }
    }
    return s;
}

bool save(SurfaceHandle s, const std::string& path) {
    if (!s || IMG_SavePNG(s.get(), path.c_str()) != 0) {
        fprintf(stderr, "IMG_SavePNG(%s): %s\n", path.c_str(), SDL_GetError());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        fprintf(stderr, "usage: %s RES_DIR [ICON_FILE]\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    bool ok = save(SurfaceHandle(drawBackground()), resource::inDirectory(dir, resource::backgroundPicture)) &&
              save(SurfaceHandle(drawSpeaker()), resource::inDirectory(dir, resource::speakerPicture)) &&
              (argc == 2 || save(SurfaceHandle(drawIcon()), argv[2]));
    return ok ? 0 : 1;
}
