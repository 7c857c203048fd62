// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of a picture question's bytes, kept apart from the screen so that
// the fuzz targets can feed it directly.
#pragma once

#include <SDL.h>

#include <cstdint>

// Largest picture accepted, per side and in pixels: room for any camera photo,
// too little for a forged header to make the decoder allocate gigabytes.
constexpr uint32_t maxPictureSide = 16384;
constexpr uint64_t maxPicturePixels = uint64_t(1) << 26;

// The picture formats told apart by their signatures. The reader shows PNG
// and JPEG; the pack tool converts the others.
enum class PictureKind { unknown, png, jpeg, gif, bmp, webp, tiff };

// The format the first bytes name, unknown when none; nothing else is read.
PictureKind pictureKindOf(const unsigned char* bytes, uint32_t size);

// The format of bytes and the size its header declares, read before any
// decoder sees them; false (kind still set when the signature is known) when
// the header cannot be read. A GIF's size is the larger of its screen and
// first frame.
bool declaredPicture(const unsigned char* bytes, uint32_t size, PictureKind& kind, uint32_t& width, uint32_t& height);
// Within maxPictureSide a side and maxPicturePixels in all.
bool acceptablePictureSize(uint32_t width, uint32_t height);

// The decoded picture, or null when the bytes are not a PNG or JPEG picture
// of an acceptable size, or do not decode. The caller frees the surface.
SDL_Surface* decodeQuestionPicture(const unsigned char* bytes, uint32_t size);
