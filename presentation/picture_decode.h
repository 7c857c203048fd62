// Decoding of a picture question's bytes, kept apart from the screen so that
// the fuzz targets can feed it directly.
#pragma once

#include <SDL.h>

#include <cstdint>

// Largest picture accepted, per side and in pixels: room for any camera photo,
// too little for a forged header to make the decoder allocate gigabytes.
constexpr uint32_t maxPictureSide = 16384;
constexpr uint64_t maxPicturePixels = uint64_t(1) << 26;

// The decoded picture, or null when the bytes are not a PNG or JPEG picture
// of an acceptable size, or do not decode. The caller frees the surface.
SDL_Surface* decodeQuestionPicture(const unsigned char* bytes, uint32_t size);
