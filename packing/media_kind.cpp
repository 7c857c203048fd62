// SPDX-License-Identifier: GPL-3.0-or-later
// Media kinds by signature. Pictures are told apart by the reader's own
// decoder, so the pack tool and the reader never disagree on one; sound and
// video containers by their magic numbers here.
#include "packing/media_kind.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "presentation/picture_decode.h"

namespace rvlpack {

namespace {

bool startsWith(const std::vector<uint8_t>& b, size_t at, const char* text) {
    size_t n = strlen(text);
    return b.size() >= at + n && memcmp(b.data() + at, text, n) == 0;
}

// Each kind's name and extension; pictures also by the reader's kind.
const struct {
    const char* kind;
    const char* extension;
    PictureKind picture = PictureKind::unknown;
} kKinds[] = {{"PNG", ".png", PictureKind::png},   {"JPEG", ".jpg", PictureKind::jpeg}, {"GIF", ".gif", PictureKind::gif},
              {"BMP", ".bmp", PictureKind::bmp},   {"WebP", ".webp", PictureKind::webp}, {"TIFF", ".tif", PictureKind::tiff},
              {"WAV", ".wav"}, {"AVI", ".avi"}, {"Ogg", ".ogg"}, {"FLAC", ".flac"}, {"MP3", ".mp3"}, {"MP4", ".mp4"},
              {"Matroska", ".mkv"}};

} // namespace

std::string mediaKind(const std::vector<uint8_t>& b) {
    // Signatures lie in the first bytes: a longer block is looked at no further.
    PictureKind picture = pictureKindOf(b.data(), static_cast<uint32_t>(std::min<size_t>(b.size(), UINT32_MAX)));
    for (const auto& row : kKinds) {
        if (picture != PictureKind::unknown && picture == row.picture) return row.kind;
    }
    if (startsWith(b, 0, "RIFF") && startsWith(b, 8, "WAVE")) return "WAV";
    if (startsWith(b, 0, "RIFF") && startsWith(b, 8, "AVI ")) return "AVI";
    if (startsWith(b, 0, "OggS")) return "Ogg";
    if (startsWith(b, 0, "fLaC")) return "FLAC";
    if (startsWith(b, 0, "ID3") || (b.size() >= 2 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0)) return "MP3";
    if (startsWith(b, 4, "ftyp")) return "MP4";
    if (b.size() >= 4 && b[0] == 0x1A && b[1] == 0x45 && b[2] == 0xDF && b[3] == 0xA3) return "Matroska";
    return "";
}

std::string mediaExtension(const std::vector<uint8_t>& bytes) {
    std::string kind = mediaKind(bytes);
    for (const auto& row : kKinds) {
        if (kind == row.kind) return row.extension;
    }
    return ".bin";
}

} // namespace rvlpack
