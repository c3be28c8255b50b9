#pragma once
// PNG's row filters undone. Internal to the imaging library.
//
// Rows are `size` bytes of `bpp`-byte pixels. The unfilters read the filtered row `in` and write
// `out`, so that no load waits on a store that overlaps it; `prior` is the unfiltered row above
// (zeros for a pass's first row). Unfiltered rows carry at least 4 bytes of slack at the end:
// 3-byte pixels are loaded and stored 4 bytes at a time. Filtered rows have none.

#include <cstddef>
#include <cstdint>

namespace gw::imaging::detail::png {

// Plain byte-by-byte unfilters, for any pixel size and every filter type; the fast unfilters
// below must give the same rows. False for a filter type beyond 4.
bool unfilterReference(std::uint8_t type, const std::uint8_t* in, std::uint8_t* out,
                       const std::uint8_t* prior, std::size_t size, std::size_t bpp);

// The fast unfilters: vectorised for 3- and 4-byte pixels where the build has SSE2, the
// reference otherwise. False for a filter type beyond 4.
bool unfilterRow(std::uint8_t type, const std::uint8_t* in, std::uint8_t* out,
                 const std::uint8_t* prior, std::size_t size, std::size_t bpp);

// Whether two Paeth rows can be unfiltered at once, for this pixel size.
bool hasPaethPair(std::size_t bpp);

// Two Paeth rows at once: `in0` below the row `out1` holds, `in1` below that. The lower row is
// written over the row above the pair, each pixel after the upper row has read it. Only where
// hasPaethPair(bpp).
void unfilterPaethPair(const std::uint8_t* in0, const std::uint8_t* in1, std::uint8_t* out0,
                       std::uint8_t* out1, std::size_t size, std::size_t bpp);

} // namespace gw::imaging::detail::png
