// Picture questions come from module files, which are untrusted. Only PNG and
// JPEG, the formats the reader initialises the image library for, are handed
// to a decoder, and only after their signature and declared size are checked.
#include "presentation/picture_decode.h"

#include <SDL_image.h>

#include <climits>
#include <cstring>

namespace {

enum class PictureFormat { unknown, png, jpeg };

uint32_t be16(const unsigned char* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t be32(const unsigned char* p) { return be16(p) << 16 | be16(p + 2); }

bool acceptableSize(uint32_t w, uint32_t h) {
    return w > 0 && h > 0 && w <= maxPictureSide && h <= maxPictureSide && uint64_t(w) * h <= maxPicturePixels;
}

// PNG: the signature, then the IHDR chunk with width and height.
bool pngSize(const unsigned char* b, uint32_t size, uint32_t* w, uint32_t* h) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 24 || memcmp(b, signature, 8) != 0 || memcmp(b + 12, "IHDR", 4) != 0) return false;
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

PictureFormat acceptedFormat(const unsigned char* bytes, uint32_t size) {
    uint32_t w = 0, h = 0;
    if (pngSize(bytes, size, &w, &h)) return acceptableSize(w, h) ? PictureFormat::png : PictureFormat::unknown;
    if (jpegSize(bytes, size, &w, &h)) return acceptableSize(w, h) ? PictureFormat::jpeg : PictureFormat::unknown;
    return PictureFormat::unknown;
}

} // namespace

SDL_Surface* decodeQuestionPicture(const unsigned char* bytes, uint32_t size) {
    // The memory stream counts in a signed int: larger blocks would wrap.
    if (!bytes || size == 0 || size > uint32_t(INT_MAX)) return nullptr;
    PictureFormat format = acceptedFormat(bytes, size);
    if (format == PictureFormat::unknown) return nullptr;
    SDL_RWops* stream = SDL_RWFromConstMem(bytes, int(size));
    if (!stream) return nullptr;
    // The format's own loader, so that no other decoder ever sees the bytes.
    SDL_Surface* picture = format == PictureFormat::png ? IMG_LoadPNG_RW(stream) : IMG_LoadJPG_RW(stream);
    SDL_RWclose(stream);
    return picture;
}
