// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the decoding of a picture question's media block: whatever the
// bytes, it returns; a picture it accepts is a PNG or JPEG with real pixels,
// every byte of which can be read.
#include <SDL.h>
#include <SDL_image.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "presentation/picture_decode.h"

// Loads the codecs once instead of at each input.
void fuzzTargetSetUp() { IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SDL_Surface* picture = decodeQuestionPicture(data, static_cast<uint32_t>(size));
    if (!picture) return 0;
    const unsigned char png[] = {0x89, 'P', 'N', 'G'};
    const unsigned char jpeg[] = {0xFF, 0xD8};
    bool accepted = (size >= 4 && memcmp(data, png, 4) == 0) || (size >= 2 && memcmp(data, jpeg, 2) == 0);
    fuzzCheck(accepted, "only PNG and JPEG pictures are decoded");
    fuzzCheck(picture->w > 0 && picture->h > 0 && picture->pixels, "a decoded picture has pixels");
    // Every byte of every row, padding included: ASan sees a short buffer.
    volatile unsigned sink = 0;
    SDL_LockSurface(picture);
    const unsigned char* pixels = static_cast<const unsigned char*>(picture->pixels);
    for (size_t i = 0; i < static_cast<size_t>(picture->pitch) * picture->h; ++i) sink = sink + pixels[i];
    SDL_UnlockSurface(picture);
    SDL_FreeSurface(picture);
    return 0;
}
