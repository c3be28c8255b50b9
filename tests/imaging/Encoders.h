#pragma once
// PNG and JPEG encoders for the tests: they write pictures with the system libraries so that every
// case states its pixels in code instead of relying on files of unknown make.

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

struct PngOptions {
    int colourType = 6; // PNG_COLOR_TYPE_RGBA
    int bitDepth = 8;
    bool interlaced = false;
    int filters = 0; // libpng PNG_FILTER_* flags to choose from; 0 leaves libpng's default
};
// Writes `image` as PNG. For colour type 3 (palette) the picture's distinct colours form the
// palette, with a tRNS chunk when any is not opaque. 16-bit depths repeat each byte.
Bytes encodePng(const Rgba& image, const PngOptions& options = {});
// A PNG of one raw sample layout: `rows` are already in the file's sample format; a grey
// transparency key is two bytes, big-endian.
Bytes encodePngRaw(std::uint32_t width, std::uint32_t height, int colourType, int bitDepth,
                   const std::vector<Bytes>& rows, const Bytes& palette = {},
                   const Bytes& trns = {}, bool interlaced = false, int filters = 0);

struct JpegOptions {
    int quality = 100;
    bool progressive = false;
    bool grey = false;
    int orientation = 0; // 0: no EXIF block
};
Bytes encodeJpeg(const Rgba& image, const JpegOptions& options = {});

// Writes bytes to a fresh file under the test temporary folder and returns its path.
std::filesystem::path writeTemp(const std::string& name, const Bytes& bytes);

} // namespace gw::imaging::testing
