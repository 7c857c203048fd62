// SPDX-License-Identifier: GPL-3.0-or-later
// What a media block holds, told from its first bytes: a short name for
// messages and the file extension unpack gives it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rvlpack {

// A short name of the content ("PNG", "GIF", "WAV", ...) or "" when unknown.
std::string mediaKind(const std::vector<uint8_t>& bytes);
// ".png", ".jpg", ".wav", ".avi", ... from the first bytes; ".bin" when unknown.
std::string mediaExtension(const std::vector<uint8_t>& bytes);

} // namespace rvlpack
