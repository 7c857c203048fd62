// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the reader plays a sound block and opens a video block as they
// are, asked of the reader's own decoders, so build converts only what the
// reader would refuse.
#pragma once

#include <cstdint>
#include <vector>

namespace rvlpack {

bool readerPlaysSound(const std::vector<uint8_t>& bytes);
bool readerOpensVideo(const std::vector<uint8_t>& bytes);

} // namespace rvlpack
