// PNG through libpng: every colour type and depth expanded to RGBA8, rows streamed into the
// resampler; interlaced files are decoded whole, within the whole-picture limit.
//
// The layouts of nearly every photograph, 8-bit RGB and RGBA without interlacing, take a faster
// road once libpng has read and checked every chunk before the image data: the IDAT stream is
// inflated here and unfiltered with SIMD, because libpng's scalar Paeth filter and zlib's
// Adler-32 pass take half of libpng's time on photographs. Chunk CRCs are still checked.
#include "Decoding.h"
#include "ZeroedBuffer.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include <png.h>
#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

std::uint32_t bigEndian(const std::uint8_t* p);

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

std::uint32_t bigEndian(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// The unfilters read the filtered row `in` and write `out`, so that no load waits on a store
// that overlaps it.
void unfilterSub(const std::uint8_t* in, std::uint8_t* out, std::size_t size, std::size_t bpp) {
    std::memcpy(out, in, std::min(bpp, size));
    for (std::size_t i = bpp; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + out[i - bpp]);
}

void unfilterUp(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* prior,
                std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + prior[i]);
}

void unfilterAverage(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* prior,
                     std::size_t size, std::size_t bpp) {
    for (std::size_t i = 0; i < bpp && i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + (prior[i] >> 1));
    for (std::size_t i = bpp; i < size; ++i) {
        out[i] = static_cast<std::uint8_t>(in[i] + ((out[i - bpp] + prior[i]) >> 1));
    }
}

// All rows carry at least 1 byte of slack at the end: 3-byte pixels are loaded and stored
// 4 bytes at a time.
template <std::size_t Bpp>
void unfilterPaeth(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* prior,
                   std::size_t size) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_set1_epi16(0xFF);
    __m128i a = zero;
    __m128i c = zero;
    for (std::size_t i = 0; i < size; i += Bpp) {
        std::uint32_t up, raw;
        std::memcpy(&up, prior + i, 4);
        std::memcpy(&raw, in + i, 4);
        const __m128i b = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(up)), zero);
        const __m128i x = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(raw)), zero);
        // The predictor rewritten so that only a short chain depends on the previous pixel:
        // with t = 3c - (a + b), it is max(a, b) when t <= min(a, b), else min(a, b) when
        // max(a, b) <= t, else c; this picks what the nearest-of-three rule with its tie order
        // picks.
        const __m128i t = _mm_sub_epi16(_mm_add_epi16(c, _mm_add_epi16(c, c)), _mm_add_epi16(a, b));
        const __m128i lo = _mm_min_epi16(a, b);
        const __m128i hi = _mm_max_epi16(a, b);
        const __m128i useC = _mm_cmpgt_epi16(hi, t);
        const __m128i inner = _mm_or_si128(_mm_and_si128(useC, c), _mm_andnot_si128(useC, lo));
        const __m128i notHi = _mm_cmpgt_epi16(t, lo);
        const __m128i predictor =
            _mm_or_si128(_mm_and_si128(notHi, inner), _mm_andnot_si128(notHi, hi));
        const __m128i result = _mm_and_si128(_mm_add_epi16(x, predictor), low);
        const auto packed =
            static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(result, zero)));
        std::memcpy(out + i, &packed, 4); // a 3-byte pixel's fourth byte is overwritten next

        a = result;
        c = b;
    }
#else
    for (std::size_t i = 0; i < size; ++i) {
        const int a = i >= Bpp ? out[i - Bpp] : 0;
        const int b = prior[i];
        const int c = i >= Bpp ? prior[i - Bpp] : 0;
        const int pa = std::abs(b - c);
        const int pb = std::abs(a - c);
        const int pc = std::abs(b - c + a - c);
        const int predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        out[i] = static_cast<std::uint8_t>(in[i] + predictor);
    }
#endif
}

// Inflates the IDAT chunks from the current position (just past the first IDAT's header, where
// png_read_info leaves the stream) and pushes unfiltered rows of `bpp`-byte pixels.
class IdatRows {
public:
    IdatRows(SourceCursor& cursor, std::uint32_t firstLength)
        : cursor_(cursor), remaining_(firstLength) {
        crc_ = crc32(0, reinterpret_cast<const Bytef*>("IDAT"), 4);
    }
    IdatRows(const IdatRows&) = delete;
    IdatRows& operator=(const IdatRows&) = delete;
    ~IdatRows() {
        if (started_) inflateEnd(&zlib_);
    }

    bool decode(std::uint32_t width, std::uint32_t height, std::size_t bpp, Resampler& resampler,
                std::string& reason) {
        const std::size_t size = std::size_t{width} * bpp;
        std::vector<std::uint8_t> filtered(size + 1 + 4),
            rows[2]{std::vector<std::uint8_t>(size + 4), std::vector<std::uint8_t>(size + 4)};
        std::uint8_t header[2];
        if (!readStream(header, 2, reason)) return false;
        // A zlib header: deflate, a window of at most 32 KiB, no preset dictionary, valid check.
        if ((header[0] & 0x0F) != 8 || (header[0] >> 4) > 7 || (header[1] & 0x20) ||
            (header[0] << 8 | header[1]) % 31 != 0) {
            reason = "damaged PNG data (IDAT: incorrect header check)";
            return false;
        }
        // Raw inflation: the Adler-32 trailer is left unchecked, the chunk CRCs guard the data.
        if (inflateInit2(&zlib_, -15) != Z_OK) {
            reason = "out of memory";
            return false;
        }
        started_ = true;
        const auto unfilter = [&](std::uint32_t y, const std::uint8_t* filteredRow) {
            const std::uint8_t* in = filteredRow + 1;
            std::uint8_t* out = rows[y & 1].data();
            const std::uint8_t* prior = rows[(y + 1) & 1].data();
            switch (filteredRow[0]) {
            case 0:
                std::memcpy(out, in, size);
                break;
            case 1:
                unfilterSub(in, out, size, bpp);
                break;
            case 2:
                unfilterUp(in, out, prior, size);
                break;
            case 3:
                unfilterAverage(in, out, prior, size, bpp);
                break;
            case 4:
                if (bpp == 3) {
                    unfilterPaeth<3>(in, out, prior, size);
                } else {
                    unfilterPaeth<4>(in, out, prior, size);
                }
                break;
            default:
                reason = "damaged PNG data (bad adaptive filter value)";
                return false;
            }
            resampler.pushRow(out);
            return true;
        };
        if (std::uint64_t{size + 1} * height < kThreadedBytes) {
            for (std::uint32_t y = 0; y < height; ++y) {
                if (!inflateRow(filtered.data(), size + 1, reason) || !unfilter(y, filtered.data()))
                    return false;
            }
            return true;
        }
        return pipelined(size + 1, height, unfilter, reason);
        return true;
    }

private:
    // Large pictures inflate on a second thread while this one unfilters and resamples: the two
    // halves take about the same time, so the wall time nearly halves on a free core.
    static constexpr std::uint64_t kThreadedBytes = std::uint64_t{1} << 20;
    static constexpr std::size_t kRingRows = 32;

    template <typename Consume>
    bool pipelined(std::size_t rowBytes, std::uint32_t height, const Consume& consume,
                   std::string& reason) {
        std::vector<std::vector<std::uint8_t>> ring(kRingRows,
                                                    std::vector<std::uint8_t>(rowBytes + 4));
        std::mutex mutex;
        std::condition_variable changed;
        std::uint32_t produced = 0, consumed = 0;
        bool stop = false, failed = false;
        std::string producerReason;
        std::thread producer([&] {
            for (std::uint32_t y = 0; y < height; ++y) {
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return stop || produced - consumed < kRingRows; });
                    if (stop) return;
                }
                // The slot is ours: the consumer is done with it and will not look at it until
                // `produced` says so.
                std::string why;
                const bool ok = inflateRow(ring[y % kRingRows].data(), rowBytes, why);
                {
                    const std::lock_guard lock(mutex);
                    if (ok) {
                        ++produced;
                    } else {
                        failed = true;
                        producerReason = std::move(why);
                    }
                }
                changed.notify_all();
                if (!ok) return;
            }
        });
        bool ok = true;
        for (std::uint32_t y = 0; y < height && ok; ++y) {
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return produced > y || failed; });
                if (produced <= y) {
                    reason = producerReason;
                    ok = false;
                    break;
                }
            }
            ok = consume(y, ring[y % kRingRows].data());
            {
                const std::lock_guard lock(mutex);
                ++consumed;
            }
            changed.notify_all();
        }
        {
            const std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        producer.join();
        return ok;
    }

    // Reads from the chunk data, moving on to the next IDAT chunk when one is used up.
    std::span<const std::uint8_t> nextInput(std::string& reason) {
        while (remaining_ == 0) {
            std::uint8_t tail[12]; // CRC of this chunk, then the next chunk's length and type
            if (cursor_.read(tail, sizeof tail) != sizeof tail) {
                reason = cursor_.source().failed() ? "read error" : "truncated PNG data";
                return {};
            }
            if (bigEndian(tail) != crc_) {
                reason = "damaged PNG data (IDAT: CRC error)";
                return {};
            }
            if (std::memcmp(tail + 8, "IDAT", 4) != 0) {
                reason = "damaged PNG data (Not enough image data)";
                return {};
            }
            remaining_ = bigEndian(tail + 4);
            if (remaining_ > 0x7FFFFFFFu) {
                reason = "damaged PNG data (PNG unsigned integer out of range)";
                return {};
            }
            crc_ = crc32(0, tail + 8, 4);
        }
        const auto piece = cursor_.next(remaining_);
        if (piece.empty()) {
            reason = cursor_.source().failed() ? "read error" : "truncated PNG data";
            return {};
        }
        remaining_ -= static_cast<std::uint32_t>(piece.size());
        crc_ = crc32(crc_, piece.data(), static_cast<uInt>(piece.size()));
        return piece;
    }

    bool readStream(std::uint8_t* out, std::size_t count, std::string& reason) {
        for (std::size_t done = 0; done < count;) {
            if (pending_.empty()) pending_ = nextInput(reason);
            if (pending_.empty()) return false;
            const std::size_t n = std::min(count - done, pending_.size());
            std::memcpy(out + done, pending_.data(), n);
            pending_ = pending_.subspan(n);
            done += n;
        }
        return true;
    }

    bool inflateRow(std::uint8_t* out, std::size_t count, std::string& reason) {
        zlib_.next_out = out;
        zlib_.avail_out = static_cast<uInt>(count);
        while (zlib_.avail_out > 0) {
            if (pending_.empty()) {
                pending_ = nextInput(reason);
                if (pending_.empty()) return false;
            }
            zlib_.next_in = const_cast<Bytef*>(pending_.data());
            zlib_.avail_in = static_cast<uInt>(pending_.size());
            const int status = inflate(&zlib_, Z_NO_FLUSH);
            pending_ = pending_.subspan(pending_.size() - zlib_.avail_in);
            if (status == Z_STREAM_END && zlib_.avail_out > 0) {
                reason = "damaged PNG data (Not enough image data)";
                return false;
            }
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                reason = std::string("damaged PNG data (IDAT: ") +
                         (zlib_.msg ? zlib_.msg : "inflate error") + ")";
                return false;
            }
        }
        return true;
    }

    SourceCursor& cursor_;
    std::uint32_t remaining_;
    std::uint32_t crc_ = 0;
    std::span<const std::uint8_t> pending_;
    z_stream zlib_{};
    bool started_ = false;
};

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
        IdatRows rows(cursor, bigEndian(s.lastHeader.data()));
        return rows.decode(width, height, alpha ? 4 : 3, *s.resampler, reason);
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
