// SPDX-License-Identifier: GPL-3.0-or-later
// The audio library's own loadFromMemory sizes its sample store from the
// count the file's header claims, so a forged 44-byte WAV could demand
// gigabytes. Here the samples are read in slices, and only what the bytes
// really decode to is kept, up to a fixed bound.
#include "presentation/sound_decode.h"

#include <SFML/Audio/InputSoundFile.hpp>

#include <climits>
#include <cstring>
#include <iostream>
#include <vector>

uint64_t maxSoundSamples = uint64_t(48000) * 2 * 60 * 15;

namespace {

uint32_t le32(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// The audio library's WAV reader takes its sample size from the "fmt " chunk
// and divides the "data" chunk's length by it: a "data" chunk met before any
// "fmt " chunk divides by zero and kills the process. Walks the chunks the
// way that reader does (each chunk's end is its start plus its length, a
// position past the end stops at the end) and tells whether it would.
bool wavDataBeforeFormat(const unsigned char* bytes, uint32_t size) {
    if (size < 12 || memcmp(bytes, "RIFF", 4) != 0 || memcmp(bytes + 8, "WAVE", 4) != 0) return false;
    uint64_t pos = 12;
    while (size - pos >= 8) {
        const unsigned char* chunk = bytes + pos;
        if (memcmp(chunk, "fmt ", 4) == 0) return false;
        if (memcmp(chunk, "data", 4) == 0) return true;
        pos = pos + 8 + le32(chunk + 4);
        if (pos > size) pos = size;
    }
    return false;
}

} // namespace

bool loadQuestionSound(sf::SoundBuffer& buffer, const unsigned char* bytes, uint32_t size) {
    if (!bytes || size == 0) return false;
    if (wavDataBeforeFormat(bytes, size)) return false;
    sf::InputSoundFile file;
    if (!file.openFromMemory(bytes, size)) return false;
    unsigned int channels = file.getChannelCount();
    unsigned int sampleRate = file.getSampleRate();
    // The audio device takes the rate as a signed int: one past 2^31 - 1
    // reaches it negative and is refused there, while the library still
    // reports a loaded buffer, which then holds no sound.
    if (channels == 0 || sampleRate == 0 || sampleRate > unsigned(INT_MAX)) return false;

    std::vector<sf::Int16> samples;
    sf::Int16 slice[8192];
    for (;;) {
        sf::Uint64 got = file.read(slice, sizeof slice / sizeof slice[0]);
        if (got == 0) break;
        if (samples.size() + got > maxSoundSamples) {
            samples.insert(samples.end(), slice, slice + (maxSoundSamples - samples.size()));
            std::cerr << "Sound clip cut: only its first " << samples.size() / channels / sampleRate
                      << " s are played (decoding stops at " << maxSoundSamples << " samples)" << std::endl;
            break;
        }
        samples.insert(samples.end(), slice, slice + got);
    }
    // A clip cut short inside a frame would leave OpenAL a partial frame.
    samples.resize(samples.size() - samples.size() % channels);
    if (samples.empty()) return false;
    return buffer.loadFromSamples(samples.data(), samples.size(), channels, sampleRate);
}
