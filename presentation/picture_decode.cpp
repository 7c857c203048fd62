// SPDX-License-Identifier: GPL-3.0-or-later
// Picture questions come from module files, which are untrusted. Only PNG and
// JPEG, the formats the reader initialises the image library for, are handed
// to a decoder, and only after their signature and declared size are checked.
#include "presentation/picture_decode.h"

#include <SDL_image.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

uint32_t be16(const unsigned char* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t be32(const unsigned char* p) { return be16(p) << 16 | be16(p + 2); }
uint32_t le16(const unsigned char* p) { return uint32_t(p[1]) << 8 | p[0]; }
uint32_t le24(const unsigned char* p) { return le16(p) | uint32_t(p[2]) << 16; }
uint32_t le32(const unsigned char* p) { return le16(p) | le16(p + 2) << 16; }

const unsigned char pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// PNG: the signature, then the IHDR chunk with width and height.
bool pngSize(const unsigned char* b, uint32_t size, uint32_t* w, uint32_t* h) {
    if (size < 24 || memcmp(b, pngSignature, 8) != 0 || memcmp(b + 12, "IHDR", 4) != 0) return false;
    *w = be32(b + 16);
    *h = be32(b + 20);
    return true;
}

// Frame header markers SOF0..SOF15; C4, C8 and CC share the range but are not.
bool isFrameHeader(unsigned char marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// JPEG: walks the marker segments up to the frame header, which holds the
// size. Scan data or the end before a frame header means no usable picture.
bool jpegSize(const unsigned char* b, uint32_t size, uint32_t* w, uint32_t* h) {
    if (size < 4 || b[0] != 0xFF || b[1] != 0xD8 || b[2] != 0xFF) return false;
    uint32_t pos = 2;
    while (size - pos >= 4) {
        if (b[pos] != 0xFF) return false;
        unsigned char marker = b[pos + 1];
        if (marker == 0xFF) {  // fill byte before a marker
            ++pos;
            continue;
        }
        pos += 2;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // markers without a segment
        if (marker == 0xD9 || marker == 0xDA) return false;
        uint32_t length = be16(b + pos);
        if (length < 2 || length > size - pos) return false;
        if (isFrameHeader(marker)) {
            if (length < 7) return false;
            *h = be16(b + pos + 3);
            *w = be16(b + pos + 5);
            return true;
        }
        pos += length;
    }
    return false;
}

// GIF: the logical screen, then the first image descriptor past the colour
// table and any extension blocks; the decoder sizes its surface by the frame.
bool gifSize(const unsigned char* b, uint32_t size, uint32_t* w, uint32_t* h) {
    if (size < 13) return false;
    *w = le16(b + 6);
    *h = le16(b + 8);
    uint64_t pos = 13 + (b[10] & 0x80 ? 3u << ((b[10] & 7) + 1) : 0);
    while (pos < size) {
        if (b[pos] == 0x21) {  // extension: label, then sub-blocks up to an empty one
            pos += 2;
            while (pos < size && b[pos] != 0) pos += 1 + uint64_t(b[pos]);
            ++pos;
        } else if (b[pos] == 0x2C && size - pos >= 10) {
            *w = std::max(*w, le16(b + pos + 5));
            *h = std::max(*h, le16(b + pos + 7));
            return true;
        } else {
            return false;
        }
    }
    return false;
}

// BMP: the info header's width and height (negative for top-down rows), or
// the old core header's 16-bit ones.
bool bmpSize(const unsigned char* b, uint32_t size, uint32_t* w, uint32_t* h) {
    if (size < 26) return false;
    if (le32(b + 14) == 12) {
        *w = le16(b + 18);
        *h = le16(b + 20);
        return true;
    }
    int32_t width = int32_t(le32(b + 18)), height = int32_t(le32(b + 22));
    if (width <= 0 || height == INT32_MIN) return false;
    *w = uint32_t(width);
    *h = uint32_t(height < 0 ? -height : height);
    return true;
}

// WebP: the canvas of an extended file, or the frame header of a lossy or
// lossless one.
bool webpSize(const unsigned char* b, uint32_t size, uint32_t* w, uint32_t* h) {
    if (size < 30) return false;
    const unsigned char* chunk = b + 12;
    const unsigned char* data = b + 20;
    if (memcmp(chunk, "VP8X", 4) == 0) {
        *w = le24(data + 4) + 1;
        *h = le24(data + 7) + 1;
    } else if (memcmp(chunk, "VP8 ", 4) == 0 && data[3] == 0x9D && data[4] == 0x01 && data[5] == 0x2A) {
        *w = le16(data + 6) & 0x3FFF;
        *h = le16(data + 8) & 0x3FFF;
    } else if (memcmp(chunk, "VP8L", 4) == 0 && data[0] == 0x2F) {
        uint32_t bits = le32(data + 1);
        *w = (bits & 0x3FFF) + 1;
        *h = (bits >> 14 & 0x3FFF) + 1;
    } else {
        return false;
    }
    return true;
}

// TIFF: ImageWidth and ImageLength of the first directory, the one decoded.
bool tiffSize(const unsigned char* b, uint32_t size, uint32_t* w, uint32_t* h) {
    bool little = b[0] == 'I';
    auto u16 = [&](uint64_t at) { return little ? le16(b + at) : be16(b + at); };
    auto u32 = [&](uint64_t at) { return little ? le32(b + at) : be32(b + at); };
    uint64_t dir = u32(4);
    if (dir + 2 > size) return false;
    uint32_t entries = u16(dir);
    bool gotW = false, gotH = false;
    for (uint32_t i = 0; i < entries && dir + 2 + 12 * uint64_t(i + 1) <= size; ++i) {
        uint64_t e = dir + 2 + 12 * uint64_t(i);
        uint32_t tag = u16(e), type = u16(e + 2);
        if ((tag != 256 && tag != 257) || (type != 3 && type != 4)) continue;
        uint32_t value = type == 3 ? u16(e + 8) : u32(e + 8);
        (tag == 256 ? *w : *h) = value;
        (tag == 256 ? gotW : gotH) = true;
    }
    return gotW && gotH;
}

} // namespace

PictureKind pictureKindOf(const unsigned char* b, uint32_t size) {
    if (size >= 8 && memcmp(b, pngSignature, 8) == 0) return PictureKind::png;
    if (size >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return PictureKind::jpeg;
    if (size >= 6 && (memcmp(b, "GIF87a", 6) == 0 || memcmp(b, "GIF89a", 6) == 0)) return PictureKind::gif;
    if (size >= 2 && memcmp(b, "BM", 2) == 0) return PictureKind::bmp;
    if (size >= 12 && memcmp(b, "RIFF", 4) == 0 && memcmp(b + 8, "WEBP", 4) == 0) return PictureKind::webp;
    if (size >= 8 && (memcmp(b, "II*\0", 4) == 0 || memcmp(b, "MM\0*", 4) == 0)) return PictureKind::tiff;
    return PictureKind::unknown;
}

bool acceptablePictureSize(uint32_t w, uint32_t h) {
    return w > 0 && h > 0 && w <= maxPictureSide && h <= maxPictureSide && uint64_t(w) * h <= maxPicturePixels;
}

bool declaredPicture(const unsigned char* bytes, uint32_t size, PictureKind& kind, uint32_t& w, uint32_t& h) {
    kind = bytes ? pictureKindOf(bytes, size) : PictureKind::unknown;
    w = h = 0;
    switch (kind) {
    case PictureKind::png: return pngSize(bytes, size, &w, &h);
    case PictureKind::jpeg: return jpegSize(bytes, size, &w, &h);
    case PictureKind::gif: return gifSize(bytes, size, &w, &h);
    case PictureKind::bmp: return bmpSize(bytes, size, &w, &h);
    case PictureKind::webp: return webpSize(bytes, size, &w, &h);
    case PictureKind::tiff: return tiffSize(bytes, size, &w, &h);
    default: return false;
    }
}

SDL_Surface* decodeQuestionPicture(const unsigned char* bytes, uint32_t size) {
    // The memory stream counts in a signed int: larger blocks would wrap.
    if (!bytes || size == 0 || size > uint32_t(INT_MAX)) return nullptr;
    PictureKind format = PictureKind::unknown;
    uint32_t w = 0, h = 0;
    if (!declaredPicture(bytes, size, format, w, h) || !acceptablePictureSize(w, h) ||
        (format != PictureKind::png && format != PictureKind::jpeg))
        return nullptr;
    SDL_RWops* stream = SDL_RWFromConstMem(bytes, int(size));
    if (!stream) return nullptr;
    // The format's own loader, so that no other decoder ever sees the bytes.
    SDL_Surface* picture = format == PictureKind::png ? IMG_LoadPNG_RW(stream) : IMG_LoadJPG_RW(stream);
    SDL_RWclose(stream);
    return picture;
}
