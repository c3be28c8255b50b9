#pragma once
// The IDAT walker: PNG image data read, inflated and unfiltered here rather than by libpng.
// Internal to the imaging library.

#include "Decoding.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace gw::imaging::detail {

// A PNG integer.
std::uint32_t bigEndian(const std::uint8_t* p);

// Reads the rows of `bpp`-byte pixels (1 for grey, 2 grey and alpha, 3 RGB, 4 RGBA, 8 bits a
// sample) from where the cursor stands, just past the header of the first IDAT chunk, whose
// data is `firstLength` bytes, and pushes them into the resampler (grey as RGB, grey and alpha
// as RGBA). False with a reason for damaged data; the rows before the damage are pushed.
bool decodeIdatRows(SourceCursor& cursor, std::uint32_t firstLength, std::uint32_t width,
                    std::uint32_t height, std::size_t bpp, Resampler& resampler,
                    std::string& reason);

} // namespace gw::imaging::detail
