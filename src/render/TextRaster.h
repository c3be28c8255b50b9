#pragma once
// Text drawn as a text view lays it out: a fixed column and row pitch, a 5-point left padding,
// one pixel per point. Shared by the TIFF image and its tests.

#include "render/FontResolver.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gw::render {

// Pen positions are kept in quarter pixels: glyphs are drawn at four horizontal phases so that
// a column pitch that is not a whole number of pixels still spaces them evenly.
inline constexpr int kSubpixelPhases = 4;

// Whether a grid code stands for a character with ink: its low 8 bits as a Latin-1 character,
// neither a control nor a space.
bool isDrawnCode(std::int32_t code);

// What the layout needs to know of a face at one size, in pixels.
struct FaceMetrics {
    double advance = 0.0;    // the monospace advance, unhinted
    double lineHeight = 0.0; // the face's line spacing
    double ascender = 0.0;   // baseline below the top of a line
    // The union of the ink of every drawn character at every phase, relative to the pen on
    // the baseline: x from inkLeft to inkRight, y from -inkTop to inkBottom (y down).
    int inkLeft = 0;
    int inkRight = 0;
    int inkTop = 0;
    int inkBottom = 0;
};

struct TextLayout {
    int width = 0; // the image, in pixels: the text view's frame rounded up
    int height = 0;
    int columns = 0; // visible cells drawn
    int rows = 0;
    double left = 0.0; // pen of the first column
    double columnPitch = 0.0;
    int firstBaseline = 0;
    double rowPitch = 0.0;

    // The pen of visible column `column` (0-based) in quarter pixels.
    int penX(int column) const;
    int baseline(int row) const;
};

// The layout of a width2 x height2 grid at `pointSize`: every drawn character of every visible
// cell lies inside the frame. The pitches are the face's own unless the frame is too small for
// them; then they shrink to what fits.
TextLayout layoutText(const FaceMetrics& metrics, int width2, int height2, int pointSize);

// One glyph's coverage, 0 to 255, `left` and `top` from the pen on the baseline (y up).
struct GlyphBitmap {
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    std::vector<std::uint8_t> coverage;
};

// A FreeType face at one pixel size, with its glyphs rendered once per code and phase.
class GlyphSource {
public:
    // Null with `error` set when the font file cannot be read.
    static std::unique_ptr<GlyphSource> open(const ResolvedFont& font, int pixelSize,
                                             std::string& error);
    ~GlyphSource();
    GlyphSource(const GlyphSource&) = delete;
    GlyphSource& operator=(const GlyphSource&) = delete;

    const FaceMetrics& metrics() const { return metrics_; }
    // The glyph of a drawn code's low 8 bits at `phase` quarter pixels; null when the font
    // lacks it.
    const GlyphBitmap* glyph(std::int32_t code, int phase);
    // The same glyph once glyph() has made it, without making it: null until then. Safe to
    // call from several threads at once while nobody calls glyph().
    const GlyphBitmap* cachedGlyph(std::int32_t code, int phase) const {
        return cache_[static_cast<std::size_t>((code & 0xFF) * kSubpixelPhases +
                                               (phase & (kSubpixelPhases - 1)))]
            .get();
    }

private:
    struct Library;
    GlyphSource() = default;
    std::unique_ptr<Library> library_;
    FaceMetrics metrics_;
    std::array<std::unique_ptr<GlyphBitmap>, 256 * kSubpixelPhases> cache_;
    std::array<bool, 256 * kSubpixelPhases> tried_{};
};

} // namespace gw::render
