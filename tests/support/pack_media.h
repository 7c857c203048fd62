// Small real media files for the pack tests: pictures saved by SDL_image,
// PCM WAV sounds written here, and MJPEG AVI clips written by OpenCV.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// A w x h picture as PNG (IMG_SavePNG) or BMP (SDL_SaveBMP) file bytes.
std::vector<uint8_t> makePng(int w, int h);
std::vector<uint8_t> makeBmp(int w, int h);
// 16-bit mono PCM WAV, a 440 Hz tone of the given length.
std::vector<uint8_t> makeWav(int milliseconds, int rate = 8000);
// An MJPEG AVI of frames pictures at fps, written by cv::VideoWriter.
std::vector<uint8_t> makeMjpgAvi(int frames, double fps = 10, int w = 64, int h = 48);

} // namespace testing_support
