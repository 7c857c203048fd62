// SPDX-License-Identifier: GPL-3.0-or-later
// Picture conversion. SDL_image decodes (GIF gives its first frame), libexif
// reads the orientation, swscale's area filter scales down, SDL_image
// encodes the result.
#include "packing/convert/picture_convert.h"

#include <SDL.h>
#include <SDL_image.h>
#include <libexif/exif-data.h>

#include <cmath>

#include "packing/convert/av_support.h"
#include "packing/media_kind.h"
#include "packing/reader_probe.h"
#include "platform/sdl_handles.h"
#include "platform/texts.h"
#include "presentation/picture_decode.h"

namespace rvlpack {

namespace {

const int jpegQuality = 90;

// Where output pixel (x, y) of an image turned upright comes from in the
// stored one, for each EXIF orientation; w and h are the stored size.
void sourceOf(int orientation, int x, int y, int w, int h, int& sx, int& sy) {
    switch (orientation) {
    case 2: sx = w - 1 - x; sy = y; break;
    case 3: sx = w - 1 - x; sy = h - 1 - y; break;
    case 4: sx = x; sy = h - 1 - y; break;
    case 5: sx = y; sy = x; break;
    case 6: sx = y; sy = h - 1 - x; break;
    case 7: sx = w - 1 - y; sy = h - 1 - x; break;
    case 8: sx = w - 1 - y; sy = x; break;
    default: sx = x; sy = y;
    }
}

bool swapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// An SDL_RWops that appends everything written to a byte vector.
SDL_RWops* vectorWriter(std::vector<uint8_t>& out) {
    SDL_RWops* rw = SDL_AllocRW();
    if (!rw) return nullptr;
    rw->hidden.unknown.data1 = &out;
    rw->hidden.unknown.data2 = nullptr;  // write position, as an integer
    rw->type = SDL_RWOPS_UNKNOWN;
    rw->size = [](SDL_RWops* self) -> Sint64 {
        return static_cast<Sint64>(static_cast<std::vector<uint8_t>*>(self->hidden.unknown.data1)->size());
    };
    rw->seek = [](SDL_RWops* self, Sint64 offset, int whence) -> Sint64 {
        auto* bytes = static_cast<std::vector<uint8_t>*>(self->hidden.unknown.data1);
        Sint64 pos = reinterpret_cast<intptr_t>(self->hidden.unknown.data2);
        Sint64 base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? pos : static_cast<Sint64>(bytes->size());
        if (base + offset < 0) return -1;
        self->hidden.unknown.data2 = reinterpret_cast<void*>(static_cast<intptr_t>(base + offset));
        return base + offset;
    };
    rw->read = [](SDL_RWops*, void*, size_t, size_t) -> size_t { return 0; };
    rw->write = [](SDL_RWops* self, const void* data, size_t size, size_t count) -> size_t {
        auto* bytes = static_cast<std::vector<uint8_t>*>(self->hidden.unknown.data1);
        size_t pos = static_cast<size_t>(reinterpret_cast<intptr_t>(self->hidden.unknown.data2));
        size_t n = size * count;
        if (bytes->size() < pos + n) bytes->resize(pos + n);
        memcpy(bytes->data() + pos, data, n);
        self->hidden.unknown.data2 = reinterpret_cast<void*>(static_cast<intptr_t>(pos + n));
        return count;
    };
    rw->close = [](SDL_RWops* self) -> int {
        SDL_FreeRW(self);
        return 0;
    };
    return rw;
}

// The swscale layout of an SDL pixel format, by byte order in memory.
AVPixelFormat scalerFormat(Uint32 format) {
    switch (format) {
    case SDL_PIXELFORMAT_RGB24: return AV_PIX_FMT_RGB24;
    case SDL_PIXELFORMAT_BGR24: return AV_PIX_FMT_BGR24;
    case SDL_PIXELFORMAT_RGBA32: return AV_PIX_FMT_RGBA;
    case SDL_PIXELFORMAT_BGRA32: return AV_PIX_FMT_BGRA;
    case SDL_PIXELFORMAT_ARGB32: return AV_PIX_FMT_ARGB;
    case SDL_PIXELFORMAT_ABGR32: return AV_PIX_FMT_ABGR;
    default: return AV_PIX_FMT_NONE;
    }
}

bool hasTransparency(const SDL_Surface* rgba) {
    for (int y = 0; y < rgba->h; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(rgba->pixels) + static_cast<size_t>(y) * rgba->pitch;
        for (int x = 0; x < rgba->w; ++x)
            if (row[x * 4 + 3] != 255) return true;
    }
    return false;
}

} // namespace

int exifOrientation(const std::vector<uint8_t>& bytes) {
    if (mediaKind(bytes) != "JPEG" || bytes.size() > 0xFFFFFFFFu) return 1;
    ExifData* data = exif_data_new_from_data(bytes.data(), static_cast<unsigned>(bytes.size()));
    if (!data) return 1;
    int orientation = 1;
    if (ExifEntry* entry = exif_data_get_entry(data, EXIF_TAG_ORIENTATION)) {
        if (entry->format == EXIF_FORMAT_SHORT && entry->components >= 1) {
            int value = exif_get_short(entry->data, exif_data_get_byte_order(data));
            if (value >= 1 && value <= 8) orientation = value;
        }
    }
    exif_data_unref(data);
    return orientation;
}

std::string describePicture(const PictureFacts& f) {
    std::string text = f.kind + " " + std::to_string(f.width) + "x" + std::to_string(f.height);
    if (f.orientation != 1) text += format(tr(", EXIF orientation %d"), f.orientation);
    return text;
}

PictureOutcome preparePicture(const std::vector<uint8_t>& input, int maxWidth, int maxHeight,
                              std::vector<uint8_t>& output, PictureFacts& from, PictureFacts& to, std::string& error) {
    from.kind = mediaKind(input);
    if (from.kind.empty()) from.kind = "picture";
    from.orientation = exifOrientation(input);
    if (input.size() > INT32_MAX) {
        error = tr("it is larger than 2 GB");
        return PictureOutcome::Failed;
    }
    // Only the six formats, each by its own decoder, and only once the
    // header's size is known to fit: a forged header must not make a decoder
    // allocate gigabytes.
    PictureKind kind = PictureKind::unknown;
    uint32_t w = 0, h = 0;
    bool sized = declaredPicture(input.data(), static_cast<uint32_t>(input.size()), kind, w, h);
    if (kind == PictureKind::unknown) {
        error = tr("it is not a PNG, JPEG, GIF, BMP, WebP or TIFF picture");
        return PictureOutcome::Failed;
    }
    if (!sized || !acceptablePictureSize(w, h)) {
        from.width = static_cast<int>(std::min<uint32_t>(w, INT32_MAX));
        from.height = static_cast<int>(std::min<uint32_t>(h, INT32_MAX));
        error = !sized ? format(tr("its %s header cannot be read"), from.kind.c_str())
                       : format(tr("its header claims %ux%u pixels, more than the %u a side or %llu in all a picture "
                                   "may have"),
                                unsigned(w), unsigned(h), unsigned(maxPictureSide),
                                static_cast<unsigned long long>(maxPicturePixels));
        return sized ? PictureOutcome::TooLarge : PictureOutcome::Failed;
    }
    SurfaceHandle decoded;
    if (SDL_RWops* stream = SDL_RWFromConstMem(input.data(), static_cast<int>(input.size()))) {
        MutedStderr muted;  // libpng's and libjpeg's own lines; the error below says it once
        decoded.reset(kind == PictureKind::png    ? IMG_LoadPNG_RW(stream)
                      : kind == PictureKind::jpeg ? IMG_LoadJPG_RW(stream)
                      : kind == PictureKind::gif  ? IMG_LoadGIF_RW(stream)
                      : kind == PictureKind::bmp  ? IMG_LoadBMP_RW(stream)
                      : kind == PictureKind::webp ? IMG_LoadWEBP_RW(stream)
                                                  : IMG_LoadTIF_RW(stream));
        SDL_RWclose(stream);
    }
    if (!decoded) {
        error = format(tr("SDL_image cannot decode it (%s loader: %s)"), from.kind.c_str(), SDL_GetError());
        return PictureOutcome::Failed;
    }
    from.width = decoded->w;
    from.height = decoded->h;
    bool readerFormat = from.kind == "PNG" || from.kind == "JPEG";
    if (readerFormat && from.orientation == 1 && decoded->w <= maxWidth && decoded->h <= maxHeight)
        return PictureOutcome::Kept;

    // Scaled straight from the decoded pixels where swscale reads their
    // layout: one full-size surface at a time. Others (palettes) go to RGBA.
    AVPixelFormat layout = scalerFormat(decoded->format->format);
    SurfaceHandle rgba = layout != AV_PIX_FMT_NONE ? std::move(decoded)
                                                : SurfaceHandle(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_RGBA32, 0));
    decoded.reset();
    if (layout == AV_PIX_FMT_NONE) layout = AV_PIX_FMT_RGBA;
    if (!rgba) {
        error = format(tr("cannot convert its pixels (SDL_ConvertSurfaceFormat: %s)"), SDL_GetError());
        return PictureOutcome::Failed;
    }
    // The upright size, then the scale that fits it into the window.
    bool swap = swapsSides(from.orientation);
    int uprightW = swap ? rgba->h : rgba->w, uprightH = swap ? rgba->w : rgba->h;
    double scale = std::min({1.0, double(maxWidth) / uprightW, double(maxHeight) / uprightH});
    int outW = std::max(1, std::min(maxWidth, static_cast<int>(std::lround(uprightW * scale))));
    int outH = std::max(1, std::min(maxHeight, static_cast<int>(std::lround(uprightH * scale))));
    // Scale in the stored orientation, then turn.
    int scaledW = swap ? outH : outW, scaledH = swap ? outW : outH;
    SurfaceHandle scaled(SDL_CreateRGBSurfaceWithFormat(0, scaledW, scaledH, 32, SDL_PIXELFORMAT_RGBA32));
    if (!scaled) {
        error = format(tr("out of memory (SDL_CreateRGBSurfaceWithFormat: %s)"), SDL_GetError());
        return PictureOutcome::Failed;
    }
    SwsPtr sws(sws_getContext(rgba->w, rgba->h, layout, scaledW, scaledH, AV_PIX_FMT_RGBA,
                              SWS_AREA | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (!sws) {
        error = tr("cannot set up the scaler (sws_getContext)");
        return PictureOutcome::Failed;
    }
    const uint8_t* srcPlanes[1] = {static_cast<const uint8_t*>(rgba->pixels)};
    int srcStride[1] = {rgba->pitch};
    uint8_t* dstPlanes[1] = {static_cast<uint8_t*>(scaled->pixels)};
    int dstStride[1] = {scaled->pitch};
    sws_scale(sws.get(), srcPlanes, srcStride, 0, rgba->h, dstPlanes, dstStride);
    rgba.reset();

    SurfaceHandle upright(SDL_CreateRGBSurfaceWithFormat(0, outW, outH, 32, SDL_PIXELFORMAT_RGBA32));
    if (!upright) {
        error = format(tr("out of memory (SDL_CreateRGBSurfaceWithFormat: %s)"), SDL_GetError());
        return PictureOutcome::Failed;
    }
    for (int y = 0; y < outH; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(upright->pixels) + static_cast<size_t>(y) * upright->pitch);
        for (int x = 0; x < outW; ++x) {
            int sx = 0, sy = 0;
            sourceOf(from.orientation, x, y, scaledW, scaledH, sx, sy);
            row[x] = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(scaled->pixels) +
                                                       static_cast<size_t>(sy) * scaled->pitch)[sx];
        }
    }
    bool photo = from.kind == "JPEG" || from.kind == "WebP";
    bool png = !photo || hasTransparency(upright.get());
    output.clear();
    SDL_RWops* rw = vectorWriter(output);
    int code = !rw ? -1 : png ? IMG_SavePNG_RW(upright.get(), rw, 1) : IMG_SaveJPG_RW(upright.get(), rw, 1, jpegQuality);
    if (code != 0 || output.empty()) {
        error = format(tr("cannot encode the result (%s: %s)"), png ? "IMG_SavePNG_RW" : "IMG_SaveJPG_RW", SDL_GetError());
        return PictureOutcome::Failed;
    }
    to.kind = png ? "PNG" : "JPEG q90";
    to.width = outW;
    to.height = outH;
    return PictureOutcome::Converted;
}

} // namespace rvlpack
