#pragma once
// Pictures made in code for the tests that need exact pixels or large sizes; the variants of
// each file format are pictures in tests/data/good.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace gw::imaging::testing {

using Bytes = std::vector<std::uint8_t>;

// Straight RGBA8, row 0 at the top.
struct Rgba {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    Bytes pixels;

    static Rgba solid(std::uint32_t w, std::uint32_t h, std::uint8_t r, std::uint8_t g,
                      std::uint8_t b, std::uint8_t a = 255);
    std::uint8_t* at(std::uint32_t x, std::uint32_t y) {
        return pixels.data() + (std::size_t{y} * width + x) * 4;
    }
};

// An 8-bit RGBA PNG around rows already filtered (each a filter type byte, then the row), in
// IDAT chunks of 8 KiB as libpng writes them, so that a file cut short still opens. A test can
// choose the filters, or break one.
Bytes pngFromFilteredRows(std::uint32_t width, std::uint32_t height, const Bytes& filteredRows);
// The picture as an 8-bit RGBA PNG with unfiltered rows.
Bytes encodePng(const Rgba& image);

// The picture as an RGB JPEG of the given quality.
Bytes encodeJpeg(const Rgba& image, int quality, bool progressive);

// Writes bytes to a fresh file under the test temporary folder and returns its path.
std::filesystem::path writeTemp(const std::string& name, const Bytes& bytes);

} // namespace gw::imaging::testing
