// SPDX-License-Identifier: GPL-3.0-or-later
// The points' digits.
#include "board/board_text.h"

namespace boardtext {

// No printf width or flag: a padded string would be squeezed into a sliver
// once stretched over the cell.
std::wstring pointsText(uint16_t points) { return std::to_wstring(unsigned(points)); }

} // namespace boardtext
