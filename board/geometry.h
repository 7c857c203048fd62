// SPDX-License-Identifier: GPL-3.0-or-later
// Screen geometry of the board, derived from the window size in integer
// arithmetic with the division first (1024 / 100 * 35 = 350, not 358), and
// the board's own layout constants.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shell/app_state.h"

// Pixels one mouse-wheel event scrolls the topic list.
inline constexpr int32_t wheelStep = 25;
// x of a header label from its panel's left edge.
inline constexpr uint16_t headerTextIndent = 50;
inline constexpr uint16_t topicRowHeight = 70;
// x of a topic name inside its row.
inline constexpr uint16_t topicTextIndent = 10;

namespace boardgeo {

// The grid shows a topic's questions this many to a row.
inline constexpr int32_t gridColumns = 4;

constexpr int32_t headerHeight() { return int32_t(screenHeight) / 100 * 25; }
constexpr int32_t panelWidth() { return int32_t(screenWidth) / 100 * 35; }
constexpr int32_t listAreaHeight() { return int32_t(screenHeight) - headerHeight(); }
constexpr int32_t gridAreaWidth() { return int32_t(screenWidth) - panelWidth(); }
constexpr int32_t rowHeight() { return int32_t(topicRowHeight); }
// Topics beyond what any module holds still must not overflow the sums.
constexpr int64_t listHeight(size_t topicCount) { return int64_t(topicRowHeight) * int64_t(topicCount); }
constexpr int32_t cellWidth() { return gridAreaWidth() / gridColumns; }
// Truncated, not rounded: 134.4 gives 134.
constexpr int32_t cellHeight() { return int32_t(cellWidth() / 100.0 * 80.0); }
// Rows of the grid the list area shows, the last one only in part.
constexpr int32_t visibleGridRows() { return (listAreaHeight() + cellHeight() - 1) / cellHeight(); }

} // namespace boardgeo
