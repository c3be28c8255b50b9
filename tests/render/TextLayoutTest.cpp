// Every character the grid can hold stays inside the text view's frame, for every size and
// every font the font menu offers, and is never cut.
#include "render/TextRaster.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>
#include <map>
#include <utility>

namespace gw::render {
namespace {

const char* const kMenuFonts[] = {"Monaco", "Courier", "Courier New", "Andale Mono"};

// The fonts that stand for the menu's, each once. Every one resolves: the machine has at least
// the monospace font the build installs.
std::map<std::pair<std::string, int>, ResolvedFont> menuFonts() {
    std::map<std::pair<std::string, int>, ResolvedFont> fonts;
    for (const char* name : kMenuFonts) {
        const ResolvedFont font = resolveMonospaceFont(name);
        EXPECT_FALSE(font.file.empty()) << name;
        if (!font.file.empty()) fonts.emplace(std::pair{font.file, font.faceIndex}, font);
    }
    return fonts;
}

TEST(TextLayoutTest, EveryCellLiesInsideTheFrameAtEverySize) {
    for (const auto& [key, font] : menuFonts()) {
        const std::string& file = key.first;
        for (int size = 1; size <= 73; ++size) {
            std::string error;
            const auto glyphs = GlyphSource::open(font, size, error);
            ASSERT_NE(glyphs, nullptr) << error;
            const FaceMetrics& m = glyphs->metrics();
            for (const auto& [width2, height2] :
                 {std::pair{3, 3}, {4, 256}, {80, 40}, {513, 256}}) {
                SCOPED_TRACE(file + " at " + std::to_string(size) + " points, " +
                             std::to_string(width2) + " x " + std::to_string(height2));
                const TextLayout layout = layoutText(m, width2, height2, size);
                EXPECT_EQ(layout.width,
                          static_cast<int>(std::ceil(width2 * 7.1 * size / 12.0 + 70.0 - 1e-6)));
                EXPECT_EQ(layout.height,
                          static_cast<int>(std::ceil((size * height2 * 15) / 12.0 + 20.0 - 1e-6)));
                const int lastColumn = layout.columns - 1;
                const int lastRow = layout.rows - 1;
                EXPECT_GE(layout.penX(0) / kSubpixelPhases + m.inkLeft, 0);
                EXPECT_GE(layout.penX(0) / kSubpixelPhases, 5);
                EXPECT_LE(layout.penX(lastColumn) / kSubpixelPhases + m.inkRight, layout.width);
                EXPECT_GE(layout.baseline(0) - m.inkTop, 0);
                EXPECT_LE(layout.baseline(lastRow) + m.inkBottom, layout.height);
                // The font's own pitch wherever it keeps the text inside the frame; squeezed
                // otherwise: a line taller than the frame's 1.25 em per row (Noto Sans Mono's
                // 1.36 em, or a hinted line at 3 points) or a long line of wide columns.
                const bool ownRowsFit =
                    layout.firstBaseline + (layout.rows - 1) * m.lineHeight + m.inkBottom <=
                    layout.height;
                if (ownRowsFit) {
                    EXPECT_EQ(layout.rowPitch, m.lineHeight);
                } else {
                    EXPECT_LT(layout.rowPitch, m.lineHeight);
                    EXPECT_GT(layout.rowPitch, 0.8 * m.lineHeight);
                }
                if (width2 <= 80) {
                    EXPECT_EQ(layout.columnPitch, m.advance);
                }
                EXPECT_GT(layout.columnPitch, 0.95 * m.advance);
            }
        }
    }
}

// The ink box the layout reserves holds every glyph as FreeType renders it, so the glyph
// cache's crop to that box never cuts a character.
TEST(TextLayoutTest, InkBoxHoldsEveryRenderedGlyph) {
    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    for (const auto& [key, font] : menuFonts()) {
        const std::string& file = key.first;
        FT_Face face = nullptr;
        ASSERT_EQ(FT_New_Face(library, file.c_str(), key.second, &face), 0);
        for (const int size : {1, 7, 12, 73}) {
            std::string error;
            const auto glyphs = GlyphSource::open(font, size, error);
            ASSERT_NE(glyphs, nullptr) << error;
            const FaceMetrics& m = glyphs->metrics();
            ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, size), 0);
            for (int code = 1; code < 256; ++code) {
                if (!isDrawnCode(code)) continue;
                for (int phase = 0; phase < kSubpixelPhases; ++phase) {
                    SCOPED_TRACE(file + " " + std::to_string(size) + " code " +
                                 std::to_string(code) + " phase " + std::to_string(phase));
                    ASSERT_EQ(FT_Load_Char(face, code, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT),
                              0);
                    FT_Outline_Translate(&face->glyph->outline, phase * 64 / kSubpixelPhases, 0);
                    ASSERT_EQ(FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL), 0);
                    const FT_GlyphSlot g = face->glyph;
                    if (g->bitmap.width == 0) continue;
                    EXPECT_GE(g->bitmap_left, m.inkLeft);
                    EXPECT_LE(g->bitmap_left + static_cast<int>(g->bitmap.width), m.inkRight);
                    EXPECT_LE(g->bitmap_top, m.inkTop);
                    EXPECT_LE(static_cast<int>(g->bitmap.rows) - g->bitmap_top, m.inkBottom);
                }
            }
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
}

} // namespace
} // namespace gw::render
