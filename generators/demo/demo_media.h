// SPDX-License-Identifier: GPL-3.0-or-later
// Media of the demo module, all made here: pictures drawn on SDL surfaces,
// tones written as WAV, and a short MJPG clip drawn frame by frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Colours the end-to-end test looks for at the centre of the window.
struct DemoColours {
    static constexpr uint8_t pngCentre[3] = {220, 30, 30};    // red disc of the PNG picture
    static constexpr uint8_t jpegCentre[3] = {250, 170, 40};  // sun of the JPEG picture
    static constexpr uint8_t videoGround[3] = {20, 90, 50};   // ground of every video frame
};

// Each returns false with a message on stderr when a library call fails.
bool makePngPicture(Bytes& out);   // 400 x 300, red disc in the middle
bool makeJpegPicture(Bytes& out);  // 480 x 320 sunset, sun in the middle

// A melody of short notes (all below 600 Hz), 16-bit mono WAV.
Bytes makeMelodyWav();
// The video's own sound track: 880 Hz beeps for `seconds`, 16-bit mono WAV.
Bytes makeBeepWav(double seconds);

// A 640 x 360 MJPG AVI of `frames` frames at `fps`: shapes moving over a
// green ground and a frame counter. scratchPath is used to let the encoder
// write a file and is removed afterwards.
bool makeVideo(int frames, double fps, const std::string& scratchPath, Bytes& out);
