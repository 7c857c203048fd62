// Screen geometry of the board, derived from the window size in integer
// arithmetic with the division first (1024 / 100 * 35 = 350, not 358).
#pragma once

#include <cstdint>

#include "shell/globals.h"

namespace boardgeo {

inline int32_t headerHeight() { return int32_t(screenHeight) / 100 * 25; }
inline int32_t panelWidth() { return int32_t(screenWidth) / 100 * 35; }
inline int32_t listAreaHeight() { return int32_t(screenHeight) - headerHeight(); }
inline int32_t gridAreaWidth() { return int32_t(screenWidth) - panelWidth(); }
inline int32_t rowHeight() { return int32_t(topicRowHeight); }
// Topics beyond what any module holds still must not overflow the sums.
inline int64_t listHeight(size_t topicCount) { return int64_t(topicRowHeight) * int64_t(topicCount); }

} // namespace boardgeo
