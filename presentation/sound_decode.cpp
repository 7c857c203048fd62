// The audio library's own loadFromMemory sizes its sample store from the
// count the file's header claims, so a forged 44-byte WAV could demand
// gigabytes. Here the samples are read in slices, and only what the bytes
// really decode to is kept, up to a fixed bound.
#include "presentation/sound_decode.h"

#include <SFML/Audio/InputSoundFile.hpp>

#include <vector>

bool loadQuestionSound(sf::SoundBuffer& buffer, const unsigned char* bytes, uint32_t size) {
    if (!bytes || size == 0) return false;
    sf::InputSoundFile file;
    if (!file.openFromMemory(bytes, size)) return false;
    unsigned int channels = file.getChannelCount();
    unsigned int sampleRate = file.getSampleRate();
    if (channels == 0 || sampleRate == 0) return false;

    std::vector<sf::Int16> samples;
    sf::Int16 slice[8192];
    for (;;) {
        sf::Uint64 got = file.read(slice, sizeof slice / sizeof slice[0]);
        if (got == 0) break;
        if (samples.size() + got > maxSoundSamples) return false;
        samples.insert(samples.end(), slice, slice + got);
    }
    // A clip cut short inside a frame would leave OpenAL a partial frame.
    samples.resize(samples.size() - samples.size() % channels);
    if (samples.empty()) return false;
    return buffer.loadFromSamples(samples.data(), samples.size(), channels, sampleRate);
}
