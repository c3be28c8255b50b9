#include "engine/CellGrid.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <type_traits>

namespace gw {

static_assert(std::is_trivially_default_constructible_v<CellGrid>);
static_assert(std::is_trivially_destructible_v<CellGrid>);

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kMappedSize = (sizeof(CellGrid) + kHugePage - 1) / kHugePage * kHugePage;

} // namespace

// The grid lives in its own anonymous mapping: fresh zero pages, and, where the kernel allows,
// 2 MB pages. A conversion writes a thin slice of every column, so with 4 KB pages it touches
// some 1600 pages, and on a virtual machine their first-touch faults cost more than the
// conversion itself; a handful of huge pages avoid that.
void CellGridDeleter::operator()(CellGrid* grid) const noexcept {
    if (grid != nullptr) ::munmap(grid, kMappedSize);
}

CellGridPtr makeCellGrid() {
    void* block = ::mmap(nullptr, kMappedSize + kHugePage, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return CellGridPtr();
    // Trim the mapping to a huge-page boundary at both ends so that the kernel can back it
    // with huge pages.
    const auto raw = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t aligned = (raw + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > raw) ::munmap(block, aligned - raw);
    const std::uintptr_t tail = aligned + kMappedSize;
    const std::uintptr_t end = raw + kMappedSize + kHugePage;
    if (end > tail) ::munmap(reinterpret_cast<void*>(tail), end - tail);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), kMappedSize, MADV_HUGEPAGE);
#endif
    return CellGridPtr(new (reinterpret_cast<void*>(aligned)) CellGrid);
}

} // namespace gw
