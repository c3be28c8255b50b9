// Each band of scanlines is filled with the background, and the glyphs of the text rows that
// reach into it are blended in.
#include "render/BandPainter.h"

#include "render/FontResolver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace gw::render {
namespace {

std::uint8_t sampleOfData(std::uint64_t value) {
    return static_cast<std::uint8_t>(std::min<std::uint64_t>(value, 255));
}

// round(v / 255) for v up to 255 * 255.
inline std::uint8_t divide255(unsigned v) {
    v += 128;
    return static_cast<std::uint8_t>((v + (v >> 8)) >> 8);
}

} // namespace

std::uint8_t sampleOf(double component) {
    if (!(component > 0.0)) return 0;
    return static_cast<std::uint8_t>(std::min(component * 255.99998474121094, 255.0));
}

std::unique_ptr<BandPainter> BandPainter::open(const CellGrid& grid, const ImageOptions& options,
                                               const std::string& name, std::string& error) {
    const int pointSize =
        options.pointSize >= 1 && options.pointSize <= 73 ? options.pointSize : 12;
    std::string reason;
    std::unique_ptr<GlyphSource> glyphs =
        GlyphSource::open(resolveMonospaceFont(options.fontName), pointSize, reason);
    if (!glyphs) {
        error = name + ": " + reason;
        return nullptr;
    }
    const TextLayout layout = layoutText(glyphs->metrics(), grid.width2, grid.height2, pointSize);
    return std::unique_ptr<BandPainter>(new BandPainter(grid, std::move(glyphs), layout, options));
}

BandPainter::BandPainter(const CellGrid& grid, std::unique_ptr<GlyphSource> glyphs,
                         const TextLayout& layout, const ImageOptions& options)
    : grid_(grid), glyphs_(std::move(glyphs)), layout_(layout), color_(options.color) {
    const std::uint8_t background[3] = {sampleOf(options.background.red),
                                        sampleOf(options.background.green),
                                        sampleOf(options.background.blue)};
    const RgbColor ink = inkOn(options.background);
    ink_ = {sampleOf(ink.red), sampleOf(ink.green), sampleOf(ink.blue)};
    rowBytes_ = static_cast<std::size_t>(layout_.width) * 3;
    pens_.resize(static_cast<std::size_t>(layout_.columns));
    for (int c = 0; c < layout_.columns; ++c)
        pens_[static_cast<std::size_t>(c)] = layout_.penX(c);
    backgroundRow_.reserve(rowBytes_);
    for (std::size_t i = 0; i < rowBytes_; ++i)
        backgroundRow_.push_back(background[i % 3]);
}

int BandPainter::bandRows(std::size_t bandBytes) const {
    if (rowBytes_ == 0 || layout_.height <= 0) return 1;
    return static_cast<int>(std::clamp<std::size_t>(bandBytes / rowBytes_, 1,
                                                    static_cast<std::size_t>(layout_.height)));
}

void BandPainter::paint(int y0, int y1, std::uint8_t* band) {
    for (int y = y0; y < y1; ++y)
        std::memcpy(band + static_cast<std::size_t>(y - y0) * rowBytes_, backgroundRow_.data(),
                    rowBytes_);
    const FaceMetrics& m = glyphs_->metrics();
    for (int row = 0; row < layout_.rows; ++row) {
        const int baseline = layout_.baseline(row);
        if (baseline + m.inkBottom <= y0) continue;
        if (baseline - m.inkTop >= y1) break;
        for (int column = 0; column < layout_.columns; ++column) {
            const std::int32_t code = grid_.ascii[column + 1][row + 1];
            if (!isDrawnCode(code)) continue;
            const int pen = pens_[static_cast<std::size_t>(column)];
            const GlyphBitmap* glyph = glyphs_->glyph(code, pen % kSubpixelPhases);
            if (glyph == nullptr || glyph->width == 0) continue;
            std::array<std::uint8_t, 3> ink = ink_;
            if (color_) {
                for (std::size_t i = 0; i < 3; ++i)
                    ink[i] = sampleOfData(grid_.data[column + 1][row + 1][i]);
            }
            blit(*glyph, pen / kSubpixelPhases + glyph->left, baseline - glyph->top, ink.data(), y0,
                 y1, band);
        }
    }
}

void BandPainter::blit(const GlyphBitmap& glyph, int x, int y, const std::uint8_t ink[3], int y0,
                       int y1, std::uint8_t* band) const {
    const int top = std::max(y, y0);
    const int bottom = std::min(y + glyph.rows, y1);
    const int from = std::max(0, -x);
    const int to = std::min(glyph.width, layout_.width - x);
    for (int gy = top; gy < bottom; ++gy) {
        const std::uint8_t* cover =
            glyph.coverage.data() + static_cast<std::size_t>(gy - y) * glyph.width;
        std::uint8_t* out =
            band + static_cast<std::size_t>(gy - y0) * rowBytes_ + static_cast<std::size_t>(x) * 3;
        for (int gx = from; gx < to; ++gx) {
            const unsigned a = cover[gx];
            if (a == 0) continue;
            std::uint8_t* p = out + gx * 3;
            for (int i = 0; i < 3; ++i)
                p[i] = divide255(p[i] * (255 - a) + ink[i] * a);
        }
    }
}

bool writeImageToStream(
    std::FILE* out, std::string& error,
    const std::function<bool(const std::string& name, const ByteSink&)>& write) {
    const std::string name = out == stdout ? "standard output" : "output";
    const bool written = write(name, [&](std::string_view bytes) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size()) return true;
        error = name + ": " + std::strerror(errno);
        return false;
    });
    if (written && std::fflush(out) != 0) {
        error = name + ": " + std::strerror(errno);
        return false;
    }
    return written;
}

} // namespace gw::render
