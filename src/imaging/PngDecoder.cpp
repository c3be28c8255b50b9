// PNG through libpng: every colour type and depth expanded to RGBA8, rows streamed into the
// resampler; interlaced files are decoded whole, within the whole-picture limit.
//
// The layouts of nearly every photograph, 8-bit RGB and RGBA without interlacing, take a faster
// road once libpng has read and checked every chunk before the image data: the IDAT walker
// (PngIdat.cpp) reads the image data itself.
#include "Decoding.h"
#include "PngIdat.h"
#include "ZeroedBuffer.h"

#include <array>
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
    ZeroedBuffer whole; // an interlaced picture, resident as its passes arrive
    std::vector<png_bytep> rowPointers;
    std::vector<std::uint8_t> palette; // RGBA per entry
    std::vector<std::uint8_t> row;
    std::unique_ptr<Resampler> resampler;
    std::array<std::uint8_t, 8> lastHeader{}; // the last chunk's length and type
    std::uint64_t nextHeader = 8;             // where the next chunk starts, after the signature

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

// Follows the chunk structure as libpng reads it, so that a chunk that claims more bytes than
// the file holds is refused before libpng allocates (and clears) a buffer of that size.
void readData(png_structp png, png_bytep out, std::size_t count) {
    auto* s = static_cast<PngSession*>(png_get_io_ptr(png));
    const std::uint64_t at = s->cursor->tell();
    if (s->cursor->read(out, count) != count) {
        s->reason = s->cursor->source().failed() ? "read error" : "truncated PNG data";
        png_error(png, "truncated");
    }
    if (at == s->nextHeader && count == 8) {
        std::memcpy(s->lastHeader.data(), out, 8);
        const std::uint64_t length = bigEndian(out);
        s->nextHeader = at + 8 + length + 4;
        if (s->nextHeader > s->cursor->source().size()) {
            s->reason = "truncated PNG data";
            png_error(png, "truncated");
        }
        // Of the ancillary chunks only transparency is used; the checksums of the others,
        // which are passed over whatever they hold, are not computed.
        const bool used = std::memcmp(out + 4, "tRNS", 4) == 0;
        png_set_crc_action(png, PNG_CRC_DEFAULT, used ? PNG_CRC_DEFAULT : PNG_CRC_QUIET_USE);
    }
}

bool create(PngSession& s, SourceCursor& cursor) {
    s.cursor = &cursor;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, &onError, &onWarning);
    if (!s.png) return false;
    s.info = png_create_info_struct(s.png);
    if (!s.info) return false;
    png_set_read_fn(s.png, &s, &readData);
    // The size is checked against the program's own caps, with a reason that says so, rather
    // than refused by libpng as "Invalid IHDR data".
    png_set_user_limits(s.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    // Ancillary chunks other than transparency are passed over a piece at a time, never held
    // in memory: a 100 MB text chunk costs only the time to read past it.
    png_set_keep_unknown_chunks(s.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
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
    if (png_get_interlace_type(s.png, s.info) != PNG_INTERLACE_NONE) {
        const bool indexed = png_get_color_type(s.png, s.info) == PNG_COLOR_TYPE_PALETTE;
        header.wholeBytes = std::uint64_t{header.width} * header.height * (indexed ? 1 : 4);
    }
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
    if (png_get_interlace_type(s.png, s.info) == PNG_INTERLACE_NONE &&
        png_get_bit_depth(s.png, s.info) == 8 &&
        (colourType == PNG_COLOR_TYPE_RGBA ||
         (colourType == PNG_COLOR_TYPE_RGB && !png_get_valid(s.png, s.info, PNG_INFO_tRNS))) &&
        std::memcmp(s.lastHeader.data() + 4, "IDAT", 4) == 0) {
        const bool alpha = colourType == PNG_COLOR_TYPE_RGBA;
        s.resampler = std::make_unique<Resampler>(
            target, width, height, 1, alpha ? Resampler::Layout::Rgba : Resampler::Layout::Rgb);
        return decodeIdatRows(cursor, bigEndian(s.lastHeader.data()), width, height, alpha ? 4 : 3,
                              *s.resampler, reason);
    }
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
        s.whole = ZeroedBuffer(static_cast<std::size_t>(pixels) * (indexed ? 1 : 4));
        s.rowPointers.resize(height);
        for (std::uint32_t y = 0; y < height; ++y)
            s.rowPointers[y] = s.whole.data() + fileStride * y;
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
