#pragma once
// Text forms of a converted grid. Every output covers the visible cells only: columns 1 to
// width2 - 2 and rows 1 to height2 - 2, row by row from the top.

#include "engine/CellGrid.h"

#include <string>

namespace gw {

// The plain text: per visible row one byte per cell (the low 8 bits of its code), then a line
// feed. These are exactly the bytes of the exported plain text file.
std::string plainText(const CellGrid& grid);

// Text for a terminal. In colour each character carries its cell's corrected colour as a
// 24-bit foreground, and every row ends in a reset; without colour it is the plain text.
// Control bytes and bytes above 127 from an unusual table are shown as '?' so that they
// cannot drive the terminal.
std::string ansiText(const CellGrid& grid, bool color);

} // namespace gw
