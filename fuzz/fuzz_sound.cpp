// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the decoding of an audio question's media block: whatever the
// bytes, it returns; a sound it accepts has samples that can all be read.
#include <SFML/Audio/SoundBuffer.hpp>
#include <SFML/System/Err.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "presentation/sound_decode.h"

void fuzzTargetSetUp() {
    // No sound device; the audio library's complaints about bad files would
    // drown the fuzzer's own output.
    setenv("ALSOFT_DRIVERS", "null", 0);
    sf::err().rdbuf(nullptr);
    // The audio device lives while any buffer does; without one kept alive
    // it is opened and closed again for every input, at a few dozen a second.
    static sf::SoundBuffer* keepDeviceOpen = new sf::SoundBuffer;
    (void)keepDeviceOpen;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sf::SoundBuffer buffer;
    if (!loadQuestionSound(buffer, data, static_cast<uint32_t>(size))) return 0;
    fuzzCheck(buffer.getChannelCount() >= 1 && buffer.getSampleRate() > 0, "a decoded sound has channels and a rate");
    const sf::Int16* samples = buffer.getSamples();
    volatile long sink = 0;
    for (sf::Uint64 i = 0; i < buffer.getSampleCount(); ++i) sink = sink + samples[i];
    return 0;
}
