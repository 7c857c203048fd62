// Decoding of a question's sound clip (an audio question, or a video
// question's sound track) into a sound buffer, from memory.
#pragma once

#include <SFML/Audio/SoundBuffer.hpp>

#include <cstdint>

// Longest clip decoded, in samples of all channels together: a quarter of an
// hour of 48 kHz stereo. A clip beyond it is refused whole.
constexpr uint64_t maxSoundSamples = uint64_t(48000) * 2 * 60 * 15;

// Fills buffer with the clip's samples; false, with buffer left without
// samples, when the bytes hold no sound the audio library can decode.
bool loadQuestionSound(sf::SoundBuffer& buffer, const unsigned char* bytes, uint32_t size);
