#pragma once
// The cell grids a conversion fills and every output reads.

#include <cstdint>
#include <memory>

namespace gw {

inline constexpr int kGridCapacity = 513; // largest grid width, and largest height before halving
// Rows a grid can hold: the height is halved after it is capped at 513, so height2 never
// exceeds 256. Holding no more rows than that halves the grid and the memory a conversion
// touches.
inline constexpr int kGridRowCapacity = 256;
inline constexpr int kCharacterListCapacity = 224;

// Indexed [column][row], row 0 at the top. About 5.6 MB: allocate it once, on the heap, with
// makeCellGrid. Cells outside the last conversion's region keep older values.
struct CellGrid {
    int width2;  // columns of the last conversion
    int height2; // rows of the last conversion; the last row is never filled
    // Sampled pixel: red, green, blue corrected for alpha, then alpha as read.
    std::uint64_t data[kGridCapacity][kGridRowCapacity][4];
    // The chosen character's code; 0 when none was chosen.
    std::int32_t ascii[kGridCapacity][kGridRowCapacity];
    // Corrected red, green, blue as lower-case hex digit pairs; no terminator. A digit that
    // cannot be formed is stored as 0.
    char hexColor[kGridCapacity][kGridRowCapacity][6];
};

// The cells every output shows: columns 1 to width2 - 2 and rows 1 to height2 - 2; the outer
// frame of cells is never output.
struct VisibleCells {
    int columns = 0; // visible cells per row, from column 1
    int rows = 0;    // visible rows, from row 1
};

inline VisibleCells visibleCells(const CellGrid& grid) {
    const int width2 = grid.width2 < kGridCapacity ? grid.width2 : kGridCapacity;
    const int height2 = grid.height2 < kGridRowCapacity ? grid.height2 : kGridRowCapacity;
    return {width2 >= 3 ? width2 - 2 : 0, height2 >= 3 ? height2 - 2 : 0};
}

struct CellGridDeleter {
    void operator()(CellGrid* grid) const noexcept;
};
using CellGridPtr = std::unique_ptr<CellGrid, CellGridDeleter>;

// A zero-filled grid in a mapping of its own, backed by huge pages where the kernel allows.
// Returns null when memory is short.
CellGridPtr makeCellGrid();

} // namespace gw
