// Clips and sound tracks made on the spot for the video player's tests and
// benchmark: frames written with OpenCV's own writer, sound as a WAV block.
// Header-only so the benchmark can use it without the test library.
#pragma once

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace video_clips {

// Frame i's colour (blue, green, red): far enough apart from its neighbours
// that a lossy codec cannot blur one into another.
inline cv::Scalar frameColour(int i) {
    static const int levels[] = {20, 110, 200};
    return cv::Scalar(levels[i % 3], levels[(i / 3) % 3], levels[(i / 9) % 3]);
}

// Index of the frame colour nearest to the given blue, green, red sample.
inline int nearestFrame(int frameCount, int b, int g, int r) {
    int best = -1;
    double bestDistance = 1e18;
    for (int i = 0; i < frameCount; ++i) {
        cv::Scalar c = frameColour(i);
        double d = (c[0] - b) * (c[0] - b) + (c[1] - g) * (c[1] - g) + (c[2] - r) * (c[2] - r);
        if (d < bestDistance) { bestDistance = d; best = i; }
    }
    return best;
}

using Painter = std::function<void(cv::Mat& frame, int index)>;

inline void paintSolid(cv::Mat& frame, int index) { frame.setTo(frameColour(index)); }

// Writes frameCount frames of width x height at fps with the given codec
// ("MJPG" for .avi, "mp4v" or "avc1" for .mp4). False when the writer refuses.
inline bool writeClip(const std::string& path, const char* fourcc, int width, int height, double fps, int frameCount,
                      const Painter& paint = paintSolid) {
    cv::VideoWriter writer(path, cv::VideoWriter::fourcc(fourcc[0], fourcc[1], fourcc[2], fourcc[3]), fps,
                           cv::Size(width, height));
    if (!writer.isOpened()) return false;
    cv::Mat frame(height, width, CV_8UC3);
    for (int i = 0; i < frameCount; ++i) {
        paint(frame, i);
        writer.write(frame);
    }
    writer.release();
    return true;
}

inline std::vector<uint8_t> fileBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return bytes;
}

// A mono 16-bit PCM WAV file of a 440 Hz tone.
inline std::vector<uint8_t> toneWav(double seconds, uint32_t rate = 22050) {
    uint32_t samples = static_cast<uint32_t>(seconds * rate);
    uint32_t dataBytes = samples * 2;
    std::vector<uint8_t> w;
    auto u32 = [&w](uint32_t v) { for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i))); };
    auto u16 = [&w](uint16_t v) { w.push_back(static_cast<uint8_t>(v)); w.push_back(static_cast<uint8_t>(v >> 8)); };
    // Byte by byte: GCC 12 at -O3 misreads a range insert into the empty
    // vector as an overflow (-Wstringop-overflow).
    auto tag = [&w](const char* t) { for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(t[i])); };
    tag("RIFF"); u32(36 + dataBytes); tag("WAVE");
    tag("fmt "); u32(16); u16(1); u16(1); u32(rate); u32(rate * 2); u16(2); u16(16);
    tag("data"); u32(dataBytes);
    for (uint32_t i = 0; i < samples; ++i) {
        double v = std::sin(2.0 * 3.14159265358979 * 440.0 * i / rate) * 8000.0;
        u16(static_cast<uint16_t>(static_cast<int16_t>(v)));
    }
    return w;
}

} // namespace video_clips
