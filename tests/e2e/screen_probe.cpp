// Reads screenshots and recorded sound for the end-to-end test: pixel colours
// at known places, counts of board-yellow and card-white pixels, the question
// grid, differences from the background, and loudness and pitch of a WAV file.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Image {
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * w + x) * 4]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
};

bool loadImage(const char* path, Image& img) {
    SDL_Surface* raw = IMG_Load(path);
    if (!raw) {
        fprintf(stderr, "IMG_Load(%s): %s\n", path, SDL_GetError());
        return false;
    }
    SDL_Surface* s = SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_RGBA32, 0);
    SDL_FreeSurface(raw);
    if (!s) {
        fprintf(stderr, "SDL_ConvertSurfaceFormat(%s): %s\n", path, SDL_GetError());
        return false;
    }
    img.w = s->w;
    img.h = s->h;
    img.rgba.resize(size_t(s->w) * s->h * 4);
    for (int y = 0; y < s->h; ++y)
        memcpy(&img.rgba[size_t(y) * s->w * 4], static_cast<uint8_t*>(s->pixels) + y * s->pitch, size_t(s->w) * 4);
    SDL_FreeSurface(s);
    return true;
}

// The board's text and lines: opaque yellow, allowing for anti-aliased edges
// and the additive band over a chosen topic.
bool isYellow(const uint8_t* p) { return p[0] >= 200 && p[1] >= 200 && p[2] <= 110; }
// The card's text.
bool isWhite(const uint8_t* p) { return p[0] >= 215 && p[1] >= 215 && p[2] >= 215; }

bool classify(const std::string& cls, const uint8_t* p) {
    if (cls == "yellow") return isYellow(p);
    if (cls == "white") return isWhite(p);
    if (cls == "light") return p[0] >= 180 && p[1] >= 180 && p[2] >= 180;
    if (cls == "black") return p[0] <= 10 && p[1] <= 10 && p[2] <= 10;
    if (cls == "grey") return p[0] >= 70 && p[0] <= 180 && std::abs(p[0] - p[1]) <= 12 && std::abs(p[1] - p[2]) <= 12;
    fprintf(stderr, "unknown colour class %s\n", cls.c_str());
    exit(2);
}

long countClass(const Image& img, int x0, int y0, int w, int h, const std::string& cls) {
    long n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            if (img.inside(x, y) && classify(cls, img.at(x, y))) ++n;
    return n;
}

int toInt(const char* s) { return static_cast<int>(strtol(s, nullptr, 10)); }

int usage() {
    fprintf(stderr,
            "usage: screen_probe near IMG X Y R G B TOL\n"
            "       screen_probe count IMG X Y W H yellow|white|light|black|grey\n"
            "       screen_probe facts IMG BG\n"
            "       screen_probe diff A B X Y W H TOL\n"
            "       screen_probe wav FILE FREQ\n");
    return 2;
}

long diff(const Image& a, const Image& b, int x0, int y0, int w, int h, int tol);

// Prints what one screenshot shows, against the background picture BG:
// board=1 when the header line and the divider are yellow where nothing
// covers them; cells, the grid cells with points in them (four columns of
// 168 pixels from x 350, rows of 134 from y 175, without their first pixel
// row and column, where the lines show through); white, the card-white
// pixels of the middle band; above and below, the pixels around that band
// that differ from BG.
int facts(const Image& img, const Image& bg) {
    int cells = 0;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 4; ++c)
            cells += countClass(img, 351 + 168 * c, 176 + 134 * r, 167, (r == 4 ? 593 - 4 * 134 : 134) - 1, "yellow") > 1000;
    bool board = isYellow(img.at(1022, 175)) && isYellow(img.at(350, 100));
    printf("%d %d %ld %ld %ld\n", int(board), cells, countClass(img, 0, 300, 1024, 168, "white"),
           diff(img, bg, 0, 0, 1024, 300, 3), diff(img, bg, 0, 468, 1024, 300, 3));
    return 0;
}

long diff(const Image& a, const Image& b, int x0, int y0, int w, int h, int tol) {
    long differ = 0;
    for (int y = y0; y < y0 + h; ++y) {
        for (int x = x0; x < x0 + w; ++x) {
            if (!a.inside(x, y) || !b.inside(x, y)) continue;
            const uint8_t *p = a.at(x, y), *q = b.at(x, y);
            for (int k = 0; k < 3; ++k) {
                if (std::abs(p[k] - q[k]) > tol) {
                    ++differ;
                    break;
                }
            }
        }
    }
    return differ;
}

uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
}

// Prints the length of a WAV file in seconds, how many seconds of it are
// loud, and how many of those carry a tone near freq (by zero crossings).
// A file still being written has no final sizes in its header: then the
// data run to the end of the file.
int wav(const char* path, double freq) {
    FILE* f = fopen(path, "rb");
    if (!f) {
        printf("seconds 0 loud 0 tone 0\n");
        return 0;
    }
    std::vector<uint8_t> b;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + n);
    fclose(f);
    if (b.size() < 12 || memcmp(&b[0], "RIFF", 4) != 0 || memcmp(&b[8], "WAVE", 4) != 0) {
        fprintf(stderr, "%s: not a WAV file\n", path);
        return 1;
    }
    unsigned format = 0, channels = 0, rate = 0, bits = 0;
    size_t data = 0, dataSize = 0;
    for (size_t at = 12; at + 8 <= b.size();) {
        size_t size = le(b, at + 4, 4);
        if (memcmp(&b[at], "fmt ", 4) == 0 && at + 24 <= b.size()) {
            format = le(b, at + 8, 2);
            channels = le(b, at + 10, 2);
            rate = le(b, at + 12, 4);
            bits = le(b, at + 22, 2);
            if (format == 0xFFFE && at + 34 <= b.size()) format = le(b, at + 32, 2);
        } else if (memcmp(&b[at], "data", 4) == 0) {
            data = at + 8;
            dataSize = (size == 0 || size > b.size() - data) ? b.size() - data : size;
            break;
        }
        if (size > b.size() - at - 8) break;
        at += 8 + size + (size & 1);
    }
    if (!data || !channels || !rate || (bits != 8 && bits != 16 && bits != 32)) {
        fprintf(stderr, "%s: no usable fmt/data chunks (format %u, %u bits)\n", path, format, bits);
        return 1;
    }
    size_t frameBytes = channels * bits / 8;
    size_t frames = dataSize / frameBytes;
    auto sample = [&](size_t i) -> double {
        size_t at = data + i * frameBytes;  // first channel only
        if (bits == 8) return (b[at] - 128) / 128.0;
        if (bits == 16) return int16_t(le(b, at, 2)) / 32768.0;
        uint32_t v = le(b, at, 4);
        if (format == 3) {
            float fv;
            memcpy(&fv, &v, 4);
            return fv;
        }
        return int32_t(v) / 2147483648.0;
    };
    size_t window = rate / 10;
    int loud = 0, tone = 0;
    for (size_t start = 0; start + window <= frames; start += window) {
        double sum = 0;
        int crossings = 0;
        double prev = sample(start);
        for (size_t i = start; i < start + window; ++i) {
            double v = sample(i);
            sum += v * v;
            if ((v >= 0) != (prev >= 0)) ++crossings;
            prev = v;
        }
        if (std::sqrt(sum / window) < 0.02) continue;
        ++loud;
        double measured = crossings / 2.0 * 10.0;
        if (std::fabs(measured - freq) <= freq * 0.1) ++tone;
    }
    printf("seconds %.1f loud %.1f tone %.1f\n", double(frames) / rate, loud / 10.0, tone / 10.0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    std::string cmd = argv[1];
    if (cmd == "wav" && argc == 4) return wav(argv[2], atof(argv[3]));
    Image a, b;
    if (!loadImage(argv[2], a)) return 2;
    if (cmd == "near" && argc == 9) {
        int x = toInt(argv[3]), y = toInt(argv[4]), tol = toInt(argv[8]);
        if (!a.inside(x, y)) return 2;
        const uint8_t* p = a.at(x, y);
        printf("%d %d %d\n", p[0], p[1], p[2]);
        for (int k = 0; k < 3; ++k)
            if (std::abs(p[k] - toInt(argv[5 + k])) > tol) return 1;
        return 0;
    }
    if (cmd == "count" && argc == 8) {
        printf("%ld\n", countClass(a, toInt(argv[3]), toInt(argv[4]), toInt(argv[5]), toInt(argv[6]), argv[7]));
        return 0;
    }

    if (cmd == "facts" && argc == 4) return loadImage(argv[3], b) ? facts(a, b) : 2;
    if (cmd == "diff" && argc == 9) {
        if (!loadImage(argv[3], b)) return 2;
        printf("%ld\n", diff(a, b, toInt(argv[4]), toInt(argv[5]), toInt(argv[6]), toInt(argv[7]), toInt(argv[8])));
        return 0;
    }
    return usage();
}
