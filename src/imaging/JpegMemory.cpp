// libjpeg's large blocks, served here instead of by its own malloc-based allocator.
//
// A progressive JPEG keeps every DCT coefficient of the picture in memory until its last scan:
// some 90 MB for a 5120 x 2880 photograph, which libjpeg then clears. With 4 KB pages the first
// touch of each page costs more than the entropy decoding of its coefficients on a virtual
// machine. Blocks this large get a mapping of their own, backed by 2 MB pages where the kernel
// allows; small blocks still come from malloc.
//
// libjpeg calls these through its procedure linkage table, so the program's definitions take
// the place of the library's.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>

#include <jpeglib.h>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kMapThreshold = std::size_t{8} << 20;
// Keeps the returned block aligned as malloc would, and holds the mapping's extent.
constexpr std::size_t kHeader = 64;

struct BlockHeader {
    void* mapping;      // null for a malloc block
    std::size_t length; // of the mapping
};
static_assert(sizeof(BlockHeader) <= kHeader);

void* mapLarge(std::size_t size) {
    if (size > SIZE_MAX - kHeader - 2 * kHugePage) return nullptr;
    const std::size_t wanted = (size + kHeader + kHugePage - 1) / kHugePage * kHugePage;
    const std::size_t length = wanted + kHugePage;
    void* mapping =
        ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) return nullptr;
    // Start the block on a huge-page boundary so that the kernel can back all of it.
    const auto base = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t aligned = (base + kHugePage - 1) & ~(kHugePage - 1);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), wanted, MADV_HUGEPAGE);
#endif
    auto* header = reinterpret_cast<BlockHeader*>(aligned);
    header->mapping = mapping;
    header->length = length;
    return reinterpret_cast<std::uint8_t*>(aligned) + kHeader;
}

} // namespace

extern "C" {

void* jpeg_get_large(j_common_ptr, std::size_t size) {
    if (size >= kMapThreshold) return mapLarge(size);
    if (size > SIZE_MAX - kHeader) return nullptr;
    void* block = std::malloc(size + kHeader);
    if (block == nullptr) return nullptr;
    auto* header = static_cast<BlockHeader*>(block);
    header->mapping = nullptr;
    header->length = 0;
    return static_cast<std::uint8_t*>(block) + kHeader;
}

void jpeg_free_large(j_common_ptr, void* object, std::size_t) {
    if (object == nullptr) return;
    auto* header = reinterpret_cast<BlockHeader*>(static_cast<std::uint8_t*>(object) - kHeader);
    if (header->mapping != nullptr) {
        ::munmap(header->mapping, header->length);
    } else {
        std::free(header);
    }
}

} // extern "C"
