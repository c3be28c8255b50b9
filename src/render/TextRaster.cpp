#include "render/TextRaster.h"

#include "engine/CellGrid.h"
#include "output/TextFrame.h"

#include "render/FontLibraries.h"

#include <algorithm>
#include <cmath>

namespace gw::render {
namespace {

// Glyphs are hinted vertically only (the light target), so their horizontal shape survives the
// quarter-pixel phases; the outline is used even where the font carries bitmaps.
constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT;

// 26.6 fixed point to whole pixels.
int floorPixels(FT_Pos v) {
    return static_cast<int>(v >= 0 ? v / 64 : -((-v + 63) / 64));
}
int ceilPixels(FT_Pos v) {
    return -floorPixels(-v);
}

} // namespace

bool isDrawnCode(std::int32_t code) {
    const int c = code & 0xFF;
    return (c > 0x20 && c < 0x7F) || c > 0xA0;
}

int TextLayout::penX(int column) const {
    return static_cast<int>(std::floor((left + column * columnPitch) * kSubpixelPhases));
}

int TextLayout::baseline(int row) const {
    return firstBaseline + static_cast<int>(std::floor(row * rowPitch));
}

TextLayout layoutText(const FaceMetrics& metrics, int width2, int height2, int pointSize) {
    TextLayout layout;
    width2 = std::clamp(width2, 0, kGridCapacity);
    height2 = std::clamp(height2, 0, kGridRowCapacity);
    const FrameSize frame = textViewFrame(width2, height2, pointSize);
    // A hair below a whole number is the rounding error of 7.1, not a fraction of a pixel.
    layout.width = static_cast<int>(std::ceil(frame.width - 1e-6));
    layout.height = static_cast<int>(std::ceil(frame.height - 1e-6));
    layout.columns = width2 >= 3 ? width2 - 2 : 0;
    layout.rows = height2 >= 3 ? height2 - 2 : 0;

    // The frame allows 7.1 / 12 em per column, less than many monospace fonts advance (DejaVu
    // Sans Mono: 0.602 em); a long line at a large size would run out of the frame, so the
    // pitch shrinks to what fits.
    layout.left = std::max(5, -metrics.inkLeft);
    layout.columnPitch = metrics.advance;
    if (layout.columns > 1) {
        const double fit = (layout.width - layout.left - metrics.inkRight) /
                           static_cast<double>(layout.columns - 1);
        layout.columnPitch = std::clamp(fit, 0.0, metrics.advance);
    }
    layout.firstBaseline =
        std::max(metrics.inkTop, static_cast<int>(std::ceil(metrics.ascender - 1e-6)));
    layout.rowPitch = metrics.lineHeight;
    if (layout.rows > 1) {
        const double fit = (layout.height - layout.firstBaseline - metrics.inkBottom) /
                           static_cast<double>(layout.rows - 1);
        layout.rowPitch = std::clamp(fit, 0.0, metrics.lineHeight);
    }
    return layout;
}

struct GlyphSource::Library {
    const detail::FreeTypeApi& ft = detail::freeType();
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Library() {
        if (face != nullptr) ft.FT_Done_Face(face);
        if (library != nullptr) ft.FT_Done_FreeType(library);
    }
};

std::unique_ptr<GlyphSource> GlyphSource::open(const ResolvedFont& font, int pixelSize,
                                               std::string& error) {
    std::unique_ptr<GlyphSource> source(new GlyphSource);
    source->library_ = std::make_unique<Library>();
    Library& lib = *source->library_;
    const detail::FreeTypeApi& ft = lib.ft;
    if (!ft.failure.empty()) {
        error = ft.failure;
        return nullptr;
    }
    if (ft.FT_Init_FreeType(&lib.library) != 0) {
        error = "the font engine cannot start";
        return nullptr;
    }
    if (font.file.empty()) {
        error = "no monospace font is installed";
        return nullptr;
    }
    if (ft.FT_New_Face(lib.library, font.file.c_str(), font.faceIndex, &lib.face) != 0 ||
        ft.FT_Set_Pixel_Sizes(lib.face, 0, static_cast<FT_UInt>(std::max(pixelSize, 1))) != 0) {
        error = font.file + ": cannot be read as a font";
        return nullptr;
    }
    FT_Face face = lib.face;
    FaceMetrics& m = source->metrics_;
    m.lineHeight = face->size->metrics.height / 64.0;
    m.ascender = face->size->metrics.ascender / 64.0;
    FT_Pos xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    FT_Fixed advance = 0;
    for (int code = 1; code < 256; ++code) {
        const FT_UInt index = isDrawnCode(code) ? ft.FT_Get_Char_Index(face, code) : 0;
        if (index == 0 || ft.FT_Load_Glyph(face, index, kLoadFlags) != 0) continue;
        advance = std::max(advance, face->glyph->linearHoriAdvance);
        if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE || face->glyph->outline.n_points == 0)
            continue;
        FT_BBox box;
        ft.FT_Outline_Get_CBox(&face->glyph->outline, &box);
        xMin = std::min(xMin, box.xMin);
        xMax = std::max(xMax, box.xMax);
        yMin = std::min(yMin, box.yMin);
        yMax = std::max(yMax, box.yMax);
    }
    m.advance = advance / 65536.0;
    // A pixel of margin on every side absorbs the rasteriser's rounding; the last phase moves
    // the outline right by three quarters of a pixel.
    m.inkLeft = floorPixels(xMin) - 1;
    m.inkRight = ceilPixels(xMax + 64 * (kSubpixelPhases - 1) / kSubpixelPhases) + 1;
    m.inkTop = ceilPixels(yMax) + 1;
    m.inkBottom = -floorPixels(yMin) + 1;
    return source;
}

GlyphSource::~GlyphSource() = default;

const GlyphBitmap* GlyphSource::glyph(std::int32_t code, int phase) {
    const int slot = (code & 0xFF) * kSubpixelPhases + (phase & (kSubpixelPhases - 1));
    if (tried_[slot]) return cache_[slot].get();
    tried_[slot] = true;
    const detail::FreeTypeApi& ft = library_->ft;
    FT_Face face = library_->face;
    const FT_UInt index = isDrawnCode(code) ? ft.FT_Get_Char_Index(face, code & 0xFF) : 0;
    if (index == 0 || ft.FT_Load_Glyph(face, index, kLoadFlags) != 0 ||
        face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return nullptr;
    ft.FT_Outline_Translate(&face->glyph->outline,
                            (phase & (kSubpixelPhases - 1)) * 64 / kSubpixelPhases, 0);
    if (ft.FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return nullptr;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.pitch < 0) return nullptr;
    // Cropped to the ink box the layout reserved, so that no glyph can leave the frame.
    const int left = std::max(face->glyph->bitmap_left, metrics_.inkLeft);
    const int right =
        std::min(face->glyph->bitmap_left + static_cast<int>(bitmap.width), metrics_.inkRight);
    const int top = std::min(face->glyph->bitmap_top, metrics_.inkTop);
    const int bottom =
        std::max(face->glyph->bitmap_top - static_cast<int>(bitmap.rows), -metrics_.inkBottom);
    auto glyph = std::make_unique<GlyphBitmap>();
    glyph->left = left;
    glyph->top = top;
    glyph->width = std::max(right - left, 0);
    glyph->rows = std::max(top - bottom, 0);
    glyph->coverage.resize(static_cast<std::size_t>(glyph->width) * glyph->rows);
    for (int r = 0; r < glyph->rows; ++r) {
        const unsigned char* from =
            bitmap.buffer +
            static_cast<std::ptrdiff_t>(face->glyph->bitmap_top - top + r) * bitmap.pitch +
            (left - face->glyph->bitmap_left);
        std::copy_n(from, glyph->width,
                    glyph->coverage.begin() + static_cast<std::ptrdiff_t>(r) * glyph->width);
    }
    cache_[slot] = std::move(glyph);
    return cache_[slot].get();
}

} // namespace gw::render
