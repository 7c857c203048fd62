// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of a question's sound clip (an audio question, or a video
// question's sound track) into a sound buffer, from memory.
#pragma once

#include <SFML/Audio/SoundBuffer.hpp>

#include <cstdint>

// Longest clip decoded, in samples of all channels together: a quarter of an
// hour of 48 kHz stereo. A longer clip plays its beginning up to it, and
// stderr says it was cut. A variable, so tests can stand in a short one.
extern uint64_t maxSoundSamples;

// Fills buffer with the clip's samples; false, with buffer left without
// samples, when the bytes hold no sound the audio library can decode.
bool loadQuestionSound(sf::SoundBuffer& buffer, const unsigned char* bytes, uint32_t size);
