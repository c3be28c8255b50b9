#pragma once
// The cell grids a conversion fills and every output reads.

#include <cstdint>
#include <memory>

namespace gw {

inline constexpr int kGridCapacity = 513; // largest grid width, and largest height before halving
inline constexpr int kCharacterListCapacity = 224;

// Indexed [column][row], row 0 at the top. About 11 MB: allocate it once, on the heap, with
// makeCellGrid. Cells outside the last conversion's region keep older values.
struct CellGrid {
    int width2;  // columns of the last conversion
    int height2; // rows of the last conversion; the last row is never filled
    // Sampled pixel: red, green, blue corrected for alpha, then alpha as read.
    std::uint64_t data[kGridCapacity][kGridCapacity][4];
    // The chosen character's code; 0 when none was chosen.
    std::int32_t ascii[kGridCapacity][kGridCapacity];
    // Corrected red, green, blue as lower-case hex digit pairs; no terminator. A digit that
    // cannot be formed is stored as 0.
    char hexColor[kGridCapacity][kGridCapacity][6];
};

struct CellGridDeleter {
    void operator()(CellGrid* grid) const noexcept;
};
using CellGridPtr = std::unique_ptr<CellGrid, CellGridDeleter>;

// A zero-filled grid. Its pages are mapped lazily, so a small conversion touches little of it.
// Returns null when memory is short.
CellGridPtr makeCellGrid();

} // namespace gw
