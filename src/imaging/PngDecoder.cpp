// PNG through libpng: every colour type and depth expanded to RGBA8, rows streamed into the
// resampler; interlaced files are decoded whole, within the whole-picture limit.
#include "Decoding.h"

#include <cstring>
#include <memory>

#include <png.h>

namespace gw::imaging::detail {

namespace {

struct PngSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    SourceCursor* cursor = nullptr;
    std::string reason;
    // Owned here rather than as locals so that nothing changed after setjmp lives in a
    // register when libpng jumps back.
    std::vector<std::uint8_t> pixels;
    std::vector<png_bytep> rowPointers;
    std::vector<std::uint8_t> palette; // RGBA per entry
    std::vector<std::uint8_t> row;
    std::unique_ptr<Resampler> resampler;

    ~PngSession() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

void onError(png_structp png, png_const_charp message) {
    auto* s = static_cast<PngSession*>(png_get_error_ptr(png));
    if (s->reason.empty()) s->reason = std::string("damaged PNG data (") + message + ")";
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void readData(png_structp png, png_bytep out, std::size_t count) {
    auto* s = static_cast<PngSession*>(png_get_io_ptr(png));
    if (s->cursor->read(out, count) != count) {
        s->reason = s->cursor->source().failed() ? "read error" : "truncated PNG data";
        png_error(png, "truncated");
    }
}

bool create(PngSession& s, SourceCursor& cursor) {
    s.cursor = &cursor;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, &onError, &onWarning);
    if (!s.png) return false;
    s.info = png_create_info_struct(s.png);
    if (!s.info) return false;
    png_set_read_fn(s.png, &s, &readData);
    return true;
}

} // namespace

bool probePng(ByteSource& source, HeaderInfo& header, std::string& reason) {
    SourceCursor cursor(source, 16 * 1024);
    PngSession s;
    if (!create(s, cursor)) {
        reason = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(s.png))) {
        reason = s.reason;
        return false;
    }
    png_read_info(s.png, s.info);
    header.width = png_get_image_width(s.png, s.info);
    header.height = png_get_image_height(s.png, s.info);
    header.orientation = 1;
    return true;
}

bool decodePng(ByteSource& source, const HeaderInfo& expected, const RenderTarget& target,
               std::string& reason) {
    SourceCursor cursor(source);
    PngSession s;
    if (!create(s, cursor)) {
        reason = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(s.png))) {
        reason = s.reason;
        return false;
    }
    png_read_info(s.png, s.info);
    const std::uint32_t width = png_get_image_width(s.png, s.info);
    const std::uint32_t height = png_get_image_height(s.png, s.info);
    if (width != expected.width || height != expected.height) {
        reason = kChangedReason;
        return false;
    }
    const int colourType = png_get_color_type(s.png, s.info);
    const bool indexed = colourType == PNG_COLOR_TYPE_PALETTE;
    if (indexed) {
        // Indices are mapped here rather than by libpng, which draws an index beyond a short
        // palette as black instead of refusing the file.
        png_set_packing(s.png);
        png_colorp colours = nullptr;
        int entries = 0;
        png_get_PLTE(s.png, s.info, &colours, &entries);
        png_bytep alphas = nullptr;
        int alphaCount = 0;
        png_get_tRNS(s.png, s.info, &alphas, &alphaCount, nullptr);
        s.palette.resize(static_cast<std::size_t>(entries) * 4);
        for (int i = 0; i < entries; ++i) {
            std::uint8_t* p = s.palette.data() + static_cast<std::size_t>(i) * 4;
            p[0] = colours[i].red;
            p[1] = colours[i].green;
            p[2] = colours[i].blue;
            p[3] = i < alphaCount ? alphas[i] : 255;
        }
    } else {
        png_set_expand(s.png); // grey below 8 bits to 8, tRNS to alpha
        if (png_get_bit_depth(s.png, s.info) == 16) png_set_scale_16(s.png);
        if (!(colourType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(s.png);
        if (!(colourType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(s.png, s.info, PNG_INFO_tRNS)) {
            png_set_filler(s.png, 0xFF, PNG_FILLER_AFTER);
        }
    }
    const int passes = png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    const std::size_t stride = std::size_t{width} * 4;
    const std::size_t fileStride = indexed ? width : stride;
    if (png_get_rowbytes(s.png, s.info) != fileStride) {
        reason = "unsupported PNG pixel layout";
        return false;
    }
    s.resampler = std::make_unique<Resampler>(target, width, height, 1);
    s.row.resize(stride);
    const auto push = [&s, indexed, width, &reason](const std::uint8_t* fileRow) {
        if (!indexed) {
            s.resampler->pushRow(fileRow);
            return true;
        }
        const std::size_t entries = s.palette.size() / 4;
        for (std::uint32_t x = 0; x < width; ++x) {
            if (fileRow[x] >= entries) {
                reason = "damaged PNG data (colour index " + std::to_string(fileRow[x]) +
                         " beyond a palette of " + std::to_string(entries) + " entries)";
                return false;
            }
            std::memcpy(s.row.data() + std::size_t{x} * 4,
                        s.palette.data() + std::size_t{fileRow[x]} * 4, 4);
        }
        s.resampler->pushRow(s.row.data());
        return true;
    };
    if (passes > 1) {
        const std::uint64_t pixels = std::uint64_t{width} * height;
        if (pixels > kMaxWholePixels) {
            reason = tooLargeReason(width, height);
            return false;
        }
        s.pixels.resize(static_cast<std::size_t>(pixels) * (indexed ? 1 : 4));
        s.rowPointers.resize(height);
        for (std::uint32_t y = 0; y < height; ++y)
            s.rowPointers[y] = s.pixels.data() + fileStride * y;
        png_read_image(s.png, s.rowPointers.data());
        for (std::uint32_t y = 0; y < height; ++y) {
            if (!push(s.rowPointers[y])) return false;
        }
    } else {
        s.pixels.resize(fileStride);
        for (std::uint32_t y = 0; y < height; ++y) {
            png_read_row(s.png, s.pixels.data(), nullptr);
            if (!push(s.pixels.data())) return false;
        }
    }
    return true;
}

} // namespace gw::imaging::detail
