// SPDX-License-Identifier: GPL-3.0-or-later
// Draws, synthesises and encodes the demo module's media. Everything is
// generated from code so the build needs no media files of its own.
#include "generators/demo/demo_media.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <utility>

#include "platform/sdl_handles.h"

namespace {

const double kPi = 3.14159265358979323846;
const int kSampleRate = 22050;

void put(SDL_Surface* s, int x, int y, int r, int g, int b) {
    Uint32* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
    row[x] = SDL_MapRGBA(s->format, Uint8(r), Uint8(g), Uint8(b), 255);
}

// Reads back a file the image library wrote, then removes it.
bool takeFile(const std::string& path, Bytes& out) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        fprintf(stderr, "fopen(%s) failed\n", path.c_str());
        return false;
    }
    out.clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    fclose(f);
    remove(path.c_str());
    return !out.empty();
}

// Saves through a memory stream so no file is needed for the pictures.
bool saveToMemory(SurfaceHandle s, bool jpeg, Bytes& out) {
    if (!s) {
        fprintf(stderr, "SDL_CreateRGBSurfaceWithFormat: %s\n", SDL_GetError());
        return false;
    }
    std::vector<uint8_t> buffer(4 << 20);
    SDL_RWops* rw = SDL_RWFromMem(buffer.data(), static_cast<int>(buffer.size()));
    int rc = rw ? (jpeg ? IMG_SaveJPG_RW(s.get(), rw, 0, 90) : IMG_SavePNG_RW(s.get(), rw, 0)) : -1;
    Sint64 size = rw ? SDL_RWtell(rw) : -1;
    if (rw) SDL_RWclose(rw);
    if (rc != 0 || size <= 0) {
        fprintf(stderr, "%s: %s\n", jpeg ? "IMG_SaveJPG_RW" : "IMG_SavePNG_RW", SDL_GetError());
        return false;
    }
    out.assign(buffer.begin(), buffer.begin() + size);
    return true;
}

void putU16LE(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void putU32LE(Bytes& out, uint32_t v) {
    putU16LE(out, v & 0xFFFF);
    putU16LE(out, v >> 16);
}

Bytes wavFromSamples(const std::vector<double>& samples) {
    Bytes out;
    uint32_t dataSize = static_cast<uint32_t>(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    putU32LE(out, 36 + dataSize);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putU32LE(out, 16);
    putU16LE(out, 1);  // PCM
    putU16LE(out, 1);  // mono
    putU32LE(out, kSampleRate);
    putU32LE(out, kSampleRate * 2);
    putU16LE(out, 2);
    putU16LE(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    putU32LE(out, dataSize);
    for (double v : samples) {
        double clipped = std::fmax(-1.0, std::fmin(1.0, v));
        putU16LE(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(clipped * 32000))));
    }
    return out;
}

// One note with a short attack and release so the notes do not click.
void addNote(std::vector<double>& samples, double freq, double seconds, double level) {
    size_t n = static_cast<size_t>(seconds * kSampleRate);
    size_t ramp = kSampleRate / 100;
    for (size_t i = 0; i < n; ++i) {
        double env = 1.0;
        if (i < ramp) env = double(i) / ramp;
        if (n - i < ramp) env = double(n - i) / ramp;
        samples.push_back(level * env * std::sin(2 * kPi * freq * double(i) / kSampleRate));
    }
}

// Reads the clip back: every frame must decode, and its four corners must
// show the ground (the end-to-end test looks there).
bool checkVideo(const std::string& path, int frames, const cv::Scalar& ground) {
    cv::VideoCapture cap(path);
    if (!cap.isOpened()) {
        fprintf(stderr, "cv::VideoCapture cannot open the clip just written (%s)\n", path.c_str());
        return false;
    }
    cv::Mat frame;
    int read = 0;
    while (cap.read(frame) && !frame.empty()) {
        ++read;
        for (cv::Point corner : {cv::Point(2, 2), cv::Point(frame.cols - 3, 2), cv::Point(2, frame.rows - 3),
                                 cv::Point(frame.cols - 3, frame.rows - 3)}) {
            cv::Vec3b p = frame.at<cv::Vec3b>(corner);
            for (int k = 0; k < 3; ++k) {
                if (std::abs(p[k] - ground[k]) > 24) {
                    fprintf(stderr, "frame %d of the clip decodes with a wrong corner at (%d,%d)\n", read, corner.x,
                            corner.y);
                    return false;
                }
            }
        }
    }
    if (read != frames) {
        fprintf(stderr, "the clip decodes to %d frames, %d were written\n", read, frames);
        return false;
    }
    return true;
}

} // namespace

bool makePngPicture(Bytes& out) {
    const int w = 400, h = 300;
    SurfaceHandle image(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32));
    SDL_Surface* s = image.get();
    if (!s) return saveToMemory(std::move(image), false, out);
    const uint8_t* red = DemoColours::pngCentre;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double dx = x - w / 2.0, dy = y - h / 2.0;
            bool disc = dx * dx + dy * dy < 80.0 * 80.0;
            bool square = x >= 20 && x < 100 && y >= 20 && y < 100;
            bool triangle = y >= 200 && y < 280 && std::fabs(x - 340.0) < (y - 200) * 0.6;
            bool frame = x < 6 || y < 6 || x >= w - 6 || y >= h - 6;
            if (disc) put(s, x, y, red[0], red[1], red[2]);
            else if (square) put(s, x, y, 40, 70, 210);
            else if (triangle) put(s, x, y, 30, 170, 60);
            else if (frame) put(s, x, y, 60, 60, 60);
            else put(s, x, y, 240, 236, 220);
        }
    }
    return saveToMemory(std::move(image), false, out);
}

bool makeJpegPicture(Bytes& out) {
    const int w = 480, h = 320;
    SurfaceHandle image(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32));
    SDL_Surface* s = image.get();
    if (!s) return saveToMemory(std::move(image), true, out);
    const uint8_t* sun = DemoColours::jpegCentre;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double dx = x - w / 2.0, dy = y - h / 2.0;
            double t = double(y) / h;
            if (dx * dx + dy * dy < 60.0 * 60.0) {
                put(s, x, y, sun[0], sun[1], sun[2]);
            } else if (y > 220) {
                // Sea with a few waves.
                int wave = int(20 * std::sin(x / 17.0 + y / 5.0));
                put(s, x, y, 20, 60 + wave / 2, 120 + wave);
            } else {
                put(s, x, y, int(120 + 120 * t), int(40 + 60 * t), int(110 - 60 * t));
            }
        }
    }
    return saveToMemory(std::move(image), true, out);
}

Bytes makeMelodyWav() {
    // A rising scale, then the tonic again: eight notes, 2.2 seconds.
    const double notes[] = {261.63, 293.66, 329.63, 349.23, 392.00, 440.00, 493.88, 523.25};
    std::vector<double> samples;
    for (double f : notes) addNote(samples, f, 0.25, 0.6);
    addNote(samples, 261.63, 0.2, 0.6);
    return wavFromSamples(samples);
}

Bytes makeBeepWav(double seconds) {
    std::vector<double> samples;
    for (double t = 0; t + 0.25 <= seconds + 1e-9; t += 0.25) {
        addNote(samples, 880.0, 0.2, 0.5);
        addNote(samples, 880.0, 0.05, 0.05);  // quiet tail keeps the tone continuous
    }
    return wavFromSamples(samples);
}

bool makeVideo(int frames, double fps, const std::string& scratchPath, Bytes& out) {
    const int w = 640, h = 360;
    // FFmpeg's encoder first: OpenCV's own MJPEG writer leaves the odd frame
    // with a cut-off last block, which decoders show as a garbled corner.
    cv::VideoWriter writer;
    int fourcc = cv::VideoWriter::fourcc('M', 'J', 'P', 'G');
    if (!writer.open(scratchPath, cv::CAP_FFMPEG, fourcc, fps, cv::Size(w, h)) &&
        !writer.open(scratchPath, cv::CAP_OPENCV_MJPEG, fourcc, fps, cv::Size(w, h))) {
        fprintf(stderr, "cv::VideoWriter::open(%s) failed\n", scratchPath.c_str());
        return false;
    }
    const uint8_t* g = DemoColours::videoGround;
    cv::Scalar ground(g[2], g[1], g[0]);  // OpenCV frames are blue, green, red
    for (int i = 0; i < frames; ++i) {
        cv::Mat frame(h, w, CV_8UC3, ground);
        double t = double(i) / frames;
        // Shapes stay inside a margin of 40 pixels so the corners keep the ground.
        int cx = 60 + int(520 * t);
        cv::circle(frame, cv::Point(cx, 120), 40, cv::Scalar(40, 40, 230), cv::FILLED);
        int sy = 60 + int(180 * (0.5 + 0.5 * std::sin(2 * kPi * t)));
        cv::rectangle(frame, cv::Rect(440 - int(300 * t), sy, 70, 70), cv::Scalar(230, 160, 30), cv::FILLED);
        cv::Point tri[3] = {{320, 180 - 50}, {320 - 45, 180 + 30}, {320 + 45, 180 + 30}};
        cv::Mat rot = cv::getRotationMatrix2D(cv::Point2f(320, 160), 360 * t, 1.0);
        std::vector<cv::Point2f> in(tri, tri + 3), rotated;
        cv::transform(in, rotated, rot);
        std::vector<cv::Point> poly(rotated.begin(), rotated.end());
        cv::fillConvexPoly(frame, poly, cv::Scalar(40, 220, 240));
        char label[32];
        snprintf(label, sizeof label, "frame %02d / %02d", i + 1, frames);
        cv::putText(frame, label, cv::Point(190, 320), cv::FONT_HERSHEY_SIMPLEX, 1.0, cv::Scalar(255, 255, 255), 2);
        writer.write(frame);
    }
    writer.release();
    return checkVideo(scratchPath, frames, ground) && takeFile(scratchPath, out);
}
