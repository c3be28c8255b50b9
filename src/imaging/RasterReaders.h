#pragma once
// Readers of our own for BMP, TGA and PSD. They work on bytes in memory, check every size
// against the header and the data before allocating or reading, and never trust a count.
// Internal to the imaging library.

#include "ZeroedBuffer.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace gw::imaging::detail {

struct DecodeLimits {
    std::uint64_t maxPixels = 0; // refuse pictures with more pixels than this (width * height)
};

// Straight (not premultiplied) RGBA, 8 bits per sample, row 0 at the top, rows packed.
// Pixels no data reached stay transparent black.
struct RgbaImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    ZeroedBuffer rgba;
    // One byte per row, non-zero where a pixel was stored, for readers whose data may skip
    // whole rows (RLE escapes); empty when every row holds data. Skipped rows cost nothing
    // to draw.
    ZeroedBuffer rowsWritten;
    bool rowWritten(std::uint32_t y) const { return rowsWritten.empty() || rowsWritten[y] != 0; }
};

// Content sniffing. TGA has no signature; looksLikeTga checks the header fields for
// plausibility and is asked last.
bool looksLikeBmp(std::span<const std::uint8_t> bytes);
bool looksLikePsd(std::span<const std::uint8_t> bytes);
bool looksLikeTga(std::span<const std::uint8_t> bytes);

// Header-only size probes. On failure they return false and set `reason` to a short phrase
// for a user, without the file name ("truncated header", "unsupported PSD colour mode 4 (CMYK)").
bool probeBmp(std::span<const std::uint8_t> bytes, std::uint32_t& width, std::uint32_t& height,
              std::string& reason);
bool probeTga(std::span<const std::uint8_t> bytes, std::uint32_t& width, std::uint32_t& height,
              std::string& reason);
bool probePsd(std::span<const std::uint8_t> bytes, std::uint32_t& width, std::uint32_t& height,
              std::string& reason);

// Full decodes into `out`. 16-bit samples are reduced to 8 bits with rounding.
bool decodeBmp(std::span<const std::uint8_t> bytes, const DecodeLimits& limits, RgbaImage& out,
               std::string& reason);
bool decodeTga(std::span<const std::uint8_t> bytes, const DecodeLimits& limits, RgbaImage& out,
               std::string& reason);
bool decodePsd(std::span<const std::uint8_t> bytes, const DecodeLimits& limits, RgbaImage& out,
               std::string& reason);

} // namespace gw::imaging::detail
