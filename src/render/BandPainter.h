#pragma once
// The art as an image, drawn band by band: the text view's frame at one pixel per point (72
// dpi), filled with the background, the visible characters drawn in the chosen monospace font at
// the chosen size, each in its cell's colour or in the ink that contrasts with the background
// (inkOn: black on light backgrounds, white on dark ones). The TIFF and the PNG writers share it,
// so both files hold the same pixels. Memory is a band and the glyph cache, whatever the picture's
// size.

#include "engine/CellGrid.h"
#include "output/Outputs.h"
#include "render/TextRaster.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gw::render {

// The font, its size, colour or black and white, and the background (output/Outputs.h).
using ImageOptions = ArtStyle;

// A colour component (0 to 1) as an 8-bit sample, as the page's colour string has it:
// times 255.99998474121094, truncated. A cell's data / 256 thus gives back its data.
std::uint8_t sampleOf(double component);

class BandPainter {
public:
    // Null with `error` ("<name>: <reason>") when the font cannot be opened.
    static std::unique_ptr<BandPainter> open(const CellGrid& grid, const ImageOptions& options,
                                             const std::string& name, std::string& error);

    int width() const { return layout_.width; }
    int height() const { return layout_.height; }
    std::size_t rowBytes() const { return rowBytes_; } // RGB, 3 bytes a pixel
    // Rows of about `bandBytes` bytes each, at least one, at most the image.
    int bandRows(std::size_t bandBytes) const;

    // Scanlines y0 to y1 (exclusive) into `band`, rowBytes() apart.
    void paint(int y0, int y1, std::uint8_t* band);

private:
    BandPainter(const CellGrid& grid, std::unique_ptr<GlyphSource> glyphs, const TextLayout& layout,
                const ImageOptions& options);
    void blit(const GlyphBitmap& glyph, int x, int y, const std::uint8_t ink[3], int y0, int y1,
              std::uint8_t* band) const;

    const CellGrid& grid_;
    std::unique_ptr<GlyphSource> glyphs_;
    TextLayout layout_;
    bool color_;
    std::array<std::uint8_t, 3> ink_{}; // of black and white
    std::size_t rowBytes_ = 0;
    std::vector<int> pens_;
    std::vector<std::uint8_t> backgroundRow_;
};

// An image written to a stream named "standard output" or "output": `write` hands its bytes to
// the sink it is given. A failed write or flush sets `error` with the system's reason.
using ByteSink = std::function<bool(std::string_view)>;
bool writeImageToStream(std::FILE* out, std::string& error,
                        const std::function<bool(const std::string& name, const ByteSink&)>& write);

} // namespace gw::render
