#include "engine/CellGrid.h"

#include <cstdlib>
#include <type_traits>

namespace gw {

// calloc instead of value-initialising new: the allocator hands out fresh zero pages for a
// block this size, where a value-initialising new would write all 11 MB.
static_assert(std::is_trivially_default_constructible_v<CellGrid>);
static_assert(std::is_trivially_destructible_v<CellGrid>);

void CellGridDeleter::operator()(CellGrid* grid) const noexcept {
    std::free(grid);
}

CellGridPtr makeCellGrid() {
    return CellGridPtr(static_cast<CellGrid*>(std::calloc(1, sizeof(CellGrid))));
}

} // namespace gw
