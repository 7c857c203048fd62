// SPDX-License-Identifier: GPL-3.0-or-later
// Makes a picture the reader shows whole and upright: decodes what
// SDL_image reads, turns it by its EXIF orientation, scales it down to fit
// the window, and stores it as JPEG (photos) or PNG (transparency, lossless).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rvlpack {

struct PictureFacts {
    std::string kind;  // "PNG", "JPEG", "GIF", ...
    int width = 0;
    int height = 0;
    int orientation = 1;  // EXIF orientation, 1 (upright) to 8
};

// EXIF orientation of a JPEG (1 when it has none or an unknown value).
int exifOrientation(const std::vector<uint8_t>& bytes);

enum class PictureOutcome { Kept, Converted, Failed, TooLarge };

// Kept (output untouched) for a PNG or JPEG that fits maxWidth x maxHeight
// and needs no turning; otherwise Converted into output, or Failed with
// error set. TooLarge, before anything is decoded, for a header claiming
// more pixels than the reader's limits (from holds the size).
PictureOutcome preparePicture(const std::vector<uint8_t>& input, int maxWidth, int maxHeight,
                              std::vector<uint8_t>& output, PictureFacts& from, PictureFacts& to, std::string& error);

// "JPEG 4000x3000, turned by EXIF orientation 6"
std::string describePicture(const PictureFacts& facts);

} // namespace rvlpack
