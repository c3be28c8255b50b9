// PNG through libpng: every colour type and depth expanded to RGBA8, rows streamed into the
// resampler; the passes of interlaced files are added into the canvas as they arrive, so that
// memory follows the canvas.
//
// The 8-bit layouts without interlacing (RGB, RGBA, grey, grey with alpha: nearly every
// photograph and scan) take a faster road once libpng has read and checked every chunk before
// the image data: the IDAT walker (PngIdat.cpp) reads the image data itself.
#include "Decoding.h"
#include "PngIdat.h"

#include <algorithm>
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
    std::vector<std::uint8_t> palette; // RGBA per entry
    std::vector<std::uint8_t> row;
    std::unique_ptr<Resampler> resampler;
    std::uint32_t rowsDone = 0;               // stored rows, or rows of passes, drawn
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
        // Image data is streamed, never held whole: a file cut short in it is drawn as far as
        // it goes.
        if (s->nextHeader > s->cursor->source().size() && std::memcmp(out + 4, "IDAT", 4) != 0) {
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
    // Image data is asked for in small pieces, so that a file cut short in it still yields
    // the rows before the cut (libpng would ask for 8 KiB, or the whole chunk, at once).
    png_set_compression_buffer_size(s.png, 1024);
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
        // Damage after some rows arrived: the rest stays transparent, as viewers show it. A
        // file that cannot be read is no damaged picture.
        if (s.resampler && s.rowsDone > 0 && !source.failed()) {
            s.resampler->finish();
            target.markPartial();
            return true;
        }
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
    const bool interlaced = png_get_interlace_type(s.png, s.info) != PNG_INTERLACE_NONE;
    const bool keyed = png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;
    if (!interlaced && png_get_bit_depth(s.png, s.info) == 8 &&
        std::memcmp(s.lastHeader.data() + 4, "IDAT", 4) == 0 &&
        (colourType == PNG_COLOR_TYPE_RGBA || colourType == PNG_COLOR_TYPE_GRAY_ALPHA ||
         (!keyed && (colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_GRAY)))) {
        const std::size_t bpp = colourType == PNG_COLOR_TYPE_RGBA         ? 4
                                : colourType == PNG_COLOR_TYPE_RGB        ? 3
                                : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                          : 1;
        s.resampler = std::make_unique<Resampler>(
            target, width, height, 1, bpp % 2 ? Resampler::Layout::Rgb : Resampler::Layout::Rgba);
        if (decodeIdatRows(cursor, bigEndian(s.lastHeader.data()), width, height, bpp, *s.resampler,
                           reason)) {
            return true;
        }
        if (s.resampler->rowsPushed() == 0 || source.failed()) return false;
        s.resampler->finish();
        target.markPartial();
        return true;
    }
    const bool indexed = colourType == PNG_COLOR_TYPE_PALETTE;
    if (indexed) {
        // Indices are mapped here, through a full table of 256 entries: those beyond the
        // palette are opaque black, as browsers show them.
        png_set_packing(s.png);
        png_colorp colours = nullptr;
        int entries = 0;
        png_get_PLTE(s.png, s.info, &colours, &entries);
        png_bytep alphas = nullptr;
        int alphaCount = 0;
        png_get_tRNS(s.png, s.info, &alphas, &alphaCount, nullptr);
        s.palette.assign(256 * 4, 0);
        for (int i = 0; i < 256; ++i) {
            std::uint8_t* p = s.palette.data() + static_cast<std::size_t>(i) * 4;
            if (i < entries) {
                p[0] = colours[i].red;
                p[1] = colours[i].green;
                p[2] = colours[i].blue;
            }
            p[3] = i < entries && i < alphaCount ? alphas[i] : 255;
        }
    } else {
        png_set_expand(s.png); // grey below 8 bits to 8, tRNS to alpha
        if (png_get_bit_depth(s.png, s.info) == 16) png_set_scale_16(s.png);
        if (!(colourType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(s.png);
        if (!(colourType & PNG_COLOR_MASK_ALPHA) && !keyed) {
            png_set_filler(s.png, 0xFF, PNG_FILLER_AFTER);
        }
    }
    // Interlacing is not handed to libpng: each pass's rows come as they are stored, and are
    // added straight into the canvas.
    png_read_update_info(s.png, s.info);
    const std::size_t stride = std::size_t{width} * 4;
    const std::size_t fileStride = indexed ? width : stride;
    if (png_get_rowbytes(s.png, s.info) != fileStride) {
        reason = "unsupported PNG pixel layout";
        return false;
    }
    s.resampler = std::make_unique<Resampler>(target, width, height, 1, Resampler::Layout::Rgba,
                                              interlaced ? Resampler::Order::Any
                                                         : Resampler::Order::TopToBottom);
    s.pixels.resize(fileStride);
    s.row.resize(stride);
    // Pushes `count` pixels of a stored row, the k-th at column first + k * step.
    const auto push = [&s, indexed](std::uint32_t y, std::uint32_t count, std::uint32_t first,
                                    std::uint32_t step) {
        const std::uint8_t* in = s.pixels.data();
        const bool sparse = step > 1;
        if (sparse) std::fill(s.row.begin(), s.row.end(), std::uint8_t{0});
        if (!indexed && !sparse) {
            s.resampler->pushRowAt(y, in);
            return;
        }
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint8_t* pixel =
                indexed ? s.palette.data() + std::size_t{in[k]} * 4 : in + std::size_t{k} * 4;
            std::memcpy(s.row.data() + (std::size_t{first} + std::size_t{k} * step) * 4, pixel, 4);
        }
        s.resampler->pushRowAt(y, s.row.data());
    };
    if (!interlaced) {
        for (std::uint32_t y = 0; y < height; ++y) {
            png_read_row(s.png, s.pixels.data(), nullptr);
            push(y, width, 0, 1);
            ++s.rowsDone;
        }
    } else {
        for (int pass = 0; pass < 7; ++pass) {
            const std::uint32_t columns = PNG_PASS_COLS(width, pass);
            const std::uint32_t rows = PNG_PASS_ROWS(height, pass);
            if (columns == 0 || rows == 0) continue; // libpng skips empty passes too
            for (std::uint32_t r = 0; r < rows; ++r) {
                png_read_row(s.png, s.pixels.data(), nullptr);
                push(PNG_PASS_START_ROW(pass) + (r << PNG_PASS_ROW_SHIFT(pass)), columns,
                     PNG_PASS_START_COL(pass), 1u << PNG_PASS_COL_SHIFT(pass));
                ++s.rowsDone;
            }
        }
    }
    s.resampler->finish();
    return true;
}

} // namespace gw::imaging::detail
