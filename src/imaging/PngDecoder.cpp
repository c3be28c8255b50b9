// PNG through libpng: every colour type and depth expanded to RGBA8, rows streamed into the
// resampler; interlaced files are decoded whole, within the whole-picture limit.
//
// The layouts of nearly every photograph, 8-bit RGB and RGBA without interlacing, take a faster
// road once libpng has read and checked every chunk before the image data: the IDAT stream is
// inflated here, with ISA-L where the build found it (two to three times faster than zlib on
// photographs), and unfiltered with SIMD, because libpng's scalar Paeth filter took half of
// libpng's time. Chunk CRCs and the stream's Adler-32 are checked as libpng checks them.
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

#if defined(GLYPHWERK_HAVE_ISAL)
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#endif

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

// Unfiltered rows carry at least 1 byte of slack at the end: their 3-byte pixels are loaded and
// stored 4 bytes at a time. Filtered rows have none: they sit back to back in a ring that the
// inflating thread keeps writing.
//
// The unfilters read the filtered row `in` and write `out`, so that no load waits on a store
// that overlaps it.
#if defined(__SSE2__)
// A pixel of the filtered row in the low lanes. 3-byte pixels are loaded 4 bytes at a time but
// for the last, which is put together in a register: a 3-byte copy would go through memory and
// stall every step on store forwarding.
template <std::size_t Bpp>
__m128i loadPixel(const std::uint8_t* row, std::size_t i, std::size_t size) {
    std::uint32_t v;
    if (Bpp == 4 || i + Bpp < size) {
        std::memcpy(&v, row + i, 4);
    } else {
        std::uint16_t low;
        std::memcpy(&low, row + i, 2);
        v = low | std::uint32_t{row[i + 2]} << 16;
    }
    return _mm_cvtsi32_si128(static_cast<int>(v));
}
#endif

template <std::size_t Bpp>
void unfilterSub(const std::uint8_t* in, std::uint8_t* out, std::size_t size) {
#if defined(__SSE2__)
    __m128i left = _mm_setzero_si128();
    for (std::size_t i = 0; i < size; i += Bpp) {
        left = _mm_add_epi8(left, loadPixel<Bpp>(in, i, size));
        const auto packed = static_cast<std::uint32_t>(_mm_cvtsi128_si32(left));
        std::memcpy(out + i, &packed, 4); // a 3-byte pixel's fourth byte is overwritten next
    }
#else
    std::memcpy(out, in, std::min(Bpp, size));
    for (std::size_t i = Bpp; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + out[i - Bpp]);
#endif
}

void unfilterUp(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* prior,
                std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + prior[i]);
}

// Photographs that ImageMagick writes are filtered with Average nearly throughout. Each pixel
// waits on the one to its left, so the step from one to the next is kept to two operations: the
// running value is held inverted, because the rounded-up byte average of inverted inputs is the
// inverted rounded-down average, and the inverted sum ~(x + m) is ~m - x.
template <std::size_t Bpp>
void unfilterAverage(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* prior,
                     std::size_t size) {
#if defined(__SSE2__)
    const __m128i ones = _mm_set1_epi8(-1);
    __m128i inverted = ones; // left of the first pixel reads as 0
    for (std::size_t i = 0; i < size; i += Bpp) {
        std::uint32_t up;
        std::memcpy(&up, prior + i, 4);
        const __m128i b = _mm_xor_si128(_mm_cvtsi32_si128(static_cast<int>(up)), ones);
        inverted = _mm_sub_epi8(_mm_avg_epu8(inverted, b), loadPixel<Bpp>(in, i, size));
        const auto packed =
            static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_xor_si128(inverted, ones)));
        std::memcpy(out + i, &packed, 4); // a 3-byte pixel's fourth byte is overwritten next
    }
#else
    for (std::size_t i = 0; i < Bpp && i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + (prior[i] >> 1));
    for (std::size_t i = Bpp; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + ((out[i - Bpp] + prior[i]) >> 1));
#endif
}

#if defined(__SSE2__)
// Paeth's predictor on 16-bit lanes, added to the filtered bytes `x`. Rewritten so that only a
// short chain depends on the pixel to the left, `a`: with t = 3c - (a + b), the predictor is
// max(a, b) when t <= min(a, b), else min(a, b) when max(a, b) <= t, else c; this picks what the
// nearest-of-three rule with its tie order picks.
inline __m128i paeth(__m128i a, __m128i b, __m128i c, __m128i x) {
    const __m128i t = _mm_sub_epi16(_mm_add_epi16(c, _mm_add_epi16(c, c)), _mm_add_epi16(a, b));
    const __m128i lo = _mm_min_epi16(a, b);
    const __m128i hi = _mm_max_epi16(a, b);
    const __m128i useC = _mm_cmpgt_epi16(hi, t);
    const __m128i inner = _mm_or_si128(_mm_and_si128(useC, c), _mm_andnot_si128(useC, lo));
    const __m128i notHi = _mm_cmpgt_epi16(t, lo);
    const __m128i predictor =
        _mm_or_si128(_mm_and_si128(notHi, inner), _mm_andnot_si128(notHi, hi));
    return _mm_and_si128(_mm_add_epi16(x, predictor), _mm_set1_epi16(0xFF));
}
#endif

template <std::size_t Bpp>
void unfilterPaeth(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* prior,
                   std::size_t size) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero;
    __m128i c = zero;
    for (std::size_t i = 0; i < size; i += Bpp) {
        std::uint32_t up;
        std::memcpy(&up, prior + i, 4);
        const __m128i b = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(up)), zero);
        a = paeth(a, b, c, _mm_unpacklo_epi8(loadPixel<Bpp>(in, i, size), zero));
        const auto packed =
            static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(a, zero)));
        std::memcpy(out + i, &packed, 4); // a 3-byte pixel's fourth byte is overwritten next
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

#if defined(__SSE2__)
// Two Paeth rows at once, the lower one a pixel behind the upper in the high half of the lanes:
// a pass along the chain of left neighbours then yields two pixels. The lower row is written
// over the row above the pair (`out1` is `prior`), each pixel after the upper row has read it.
template <std::size_t Bpp>
void unfilterPaethPair(const std::uint8_t* in0, const std::uint8_t* in1, std::uint8_t* out0,
                       std::uint8_t* out1, std::size_t size) {
    const std::uint8_t* prior = out1;
    const __m128i zero = _mm_setzero_si128();
    __m128i a = zero; // upper row's left neighbour, and the lower row's
    __m128i c = zero;
    const std::size_t pixels = size / Bpp;
    for (std::size_t k = 0; k <= pixels; ++k) {
        std::uint32_t up;
        std::memcpy(&up, prior + k * Bpp, 4); // past the row, the slack: its result is dropped
        // Above the upper row's pixel k is the row above the pair; above the lower row's pixel
        // k - 1 is the upper row's pixel k - 1, just computed.
        const __m128i b =
            _mm_unpacklo_epi64(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(up)), zero), a);
        const __m128i x0 = k < pixels ? loadPixel<Bpp>(in0, k * Bpp, size) : zero;
        const __m128i x1 = k > 0 ? loadPixel<Bpp>(in1, (k - 1) * Bpp, size) : zero;
        a = paeth(a, b, c, _mm_unpacklo_epi8(_mm_unpacklo_epi32(x0, x1), zero));
        const __m128i packed = _mm_packus_epi16(a, zero);
        if (k < pixels) {
            const auto v = static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed));
            std::memcpy(out0 + k * Bpp, &v, 4); // a 3-byte pixel's fourth byte is overwritten next
        }
        if (k > 0) {
            const auto v = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(packed, 4)));
            std::memcpy(out1 + (k - 1) * Bpp, &v, 4); // the fourth byte was read above
        }
        c = b;
    }
}
#endif

// The deflate stream of the image data, after the two bytes of its zlib header, which the caller
// has checked. The library checks the Adler-32 trailer when the stream ends. Error texts follow
// zlib's, so that a damaged file reads the same whichever library inflates it.
#if defined(GLYPHWERK_HAVE_ISAL)
class Inflater {
public:
    Inflater() : state_(std::make_unique<inflate_state>()) {}

    bool begin(const std::uint8_t (&)[2], unsigned windowBits, std::string&) {
        isal_inflate_init(state_.get());
        state_->crc_flag = ISAL_ZLIB_NO_HDR_VER;
        state_->hist_bits = windowBits; // distances beyond the declared window are errors
        return true;
    }

    // Inflates from `in` into `out` and moves both past what was used. Returns false on damaged
    // data; `ended` tells when the stream and its trailer are complete.
    bool run(std::span<const std::uint8_t>& in, std::span<std::uint8_t>& out, bool& ended,
             std::string& reason) {
        state_->next_in = const_cast<std::uint8_t*>(in.data());
        state_->avail_in = static_cast<std::uint32_t>(in.size());
        state_->next_out = out.data();
        state_->avail_out = static_cast<std::uint32_t>(out.size());
        const int status = isal_inflate(state_.get());
        in = in.subspan(in.size() - state_->avail_in);
        out = out.subspan(out.size() - state_->avail_out);
        switch (status) {
        case ISAL_DECOMP_OK:
            ended = state_->block_state == ISAL_BLOCK_FINISH;
            return true;
        case ISAL_INVALID_LOOKBACK:
            reason = "invalid distance too far back";
            break;
        case ISAL_INCORRECT_CHECKSUM:
            reason = "incorrect data check";
            break;
        case ISAL_INVALID_SYMBOL:
            reason = "invalid code";
            break;
        default:
            reason = "invalid block";
            break;
        }
        return false;
    }

private:
    std::unique_ptr<inflate_state> state_;
};

std::uint32_t crc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    return crc32_gzip_refl(crc, const_cast<std::uint8_t*>(data), size);
}
#else
class Inflater {
public:
    Inflater() = default;
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    ~Inflater() {
        if (started_) inflateEnd(&zlib_);
    }

    bool begin(const std::uint8_t (&header)[2], unsigned, std::string& reason) {
        if (inflateInit(&zlib_) != Z_OK) {
            reason = "out of memory";
            return false;
        }
        started_ = true;
        // zlib reads the header itself, and so learns the window and checks the trailer.
        std::uint8_t none = 0;
        zlib_.next_in = const_cast<Bytef*>(header);
        zlib_.avail_in = 2;
        zlib_.next_out = &none;
        zlib_.avail_out = 0;
        if (inflate(&zlib_, Z_NO_FLUSH) != Z_OK || zlib_.avail_in != 0) {
            reason = zlib_.msg ? zlib_.msg : "incorrect header check";
            return false;
        }
        return true;
    }

    bool run(std::span<const std::uint8_t>& in, std::span<std::uint8_t>& out, bool& ended,
             std::string& reason) {
        zlib_.next_in = const_cast<Bytef*>(in.data());
        zlib_.avail_in = static_cast<uInt>(in.size());
        zlib_.next_out = out.data();
        zlib_.avail_out = static_cast<uInt>(out.size());
        const int status = inflate(&zlib_, Z_NO_FLUSH);
        in = in.subspan(in.size() - zlib_.avail_in);
        out = out.subspan(out.size() - zlib_.avail_out);
        if (status == Z_OK || status == Z_BUF_ERROR || status == Z_STREAM_END) {
            ended = status == Z_STREAM_END;
            return true;
        }
        reason = status == Z_MEM_ERROR ? "out of memory" : zlib_.msg ? zlib_.msg : "inflate error";
        return false;
    }

private:
    z_stream zlib_{};
    bool started_ = false;
};

std::uint32_t crc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    return static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}
#endif

// The image data as one stream across its IDAT chunks, from where png_read_info leaves the file
// (just past the first IDAT's header), each chunk's CRC checked as its end is reached.
class IdatStream {
public:
    IdatStream(SourceCursor& cursor, std::uint32_t firstLength)
        : cursor_(cursor), remaining_(firstLength) {
        crc_ = crc(0, reinterpret_cast<const std::uint8_t*>("IDAT"), 4);
    }

    // Reads and checks the zlib header: deflate, a window of at most 32 KiB, no preset
    // dictionary, a valid check value.
    bool begin(std::string& reason) {
        std::uint8_t header[2];
        for (std::uint8_t& byte : header) {
            if (pending_.empty()) pending_ = nextInput(reason);
            if (pending_.empty()) return false;
            byte = pending_.front();
            pending_ = pending_.subspan(1);
        }
        if ((header[0] & 0x0F) != 8 || (header[0] >> 4) > 7 || (header[1] & 0x20) ||
            (header[0] << 8 | header[1]) % 31 != 0) {
            reason = "damaged PNG data (IDAT: incorrect header check)";
            return false;
        }
        std::string why;
        if (!inflater_.begin(header, (header[0] >> 4) + 8u, why)) {
            reason = why == "out of memory" ? why : "damaged PNG data (IDAT: " + why + ")";
            return false;
        }
        return true;
    }

    // Fills `out` with the next bytes of image data.
    bool fill(std::span<std::uint8_t> out, std::string& reason) {
        while (!out.empty()) {
            if (ended_) {
                reason = "damaged PNG data (Not enough image data)";
                return false;
            }
            if (!inflate(out, reason)) return false;
        }
        return true;
    }

    // Once every row is in: inflates to the end of the stream, so that its Adler-32 is checked,
    // and checks the CRC of the chunk it ends in. Data beyond the picture's rows is inflated
    // and dropped, as libpng does; chunks after that one are not read.
    bool finish(std::string& reason) {
        std::vector<std::uint8_t> scratch;
        while (!ended_) {
            if (scratch.empty()) scratch.resize(32 * 1024);
            std::span<std::uint8_t> out(scratch);
            if (!inflate(out, reason)) return false;
        }
        while (remaining_ > 0) {
            const auto piece = cursor_.next(remaining_);
            if (piece.empty()) {
                reason = cursor_.source().failed() ? "read error" : "truncated PNG data";
                return false;
            }
            remaining_ -= static_cast<std::uint32_t>(piece.size());
            crc_ = crc(crc_, piece.data(), piece.size());
        }
        std::uint8_t stored[4];
        if (cursor_.read(stored, 4) != 4) {
            reason = cursor_.source().failed() ? "read error" : "truncated PNG data";
            return false;
        }
        if (bigEndian(stored) != crc_) {
            reason = "damaged PNG data (IDAT: CRC error)";
            return false;
        }
        return true;
    }

private:
    bool inflate(std::span<std::uint8_t>& out, std::string& reason) {
        if (pending_.empty()) {
            // The inflater may still hold decoded bytes that did not fit the last output.
            const std::size_t room = out.size();
            if (!run(out, reason)) return false;
            if (ended_ || out.size() < room) return true;
            pending_ = nextInput(reason);
            if (pending_.empty()) return false;
        }
        const std::size_t before = pending_.size() + out.size();
        if (!run(out, reason)) return false;
        if (!ended_ && pending_.size() + out.size() == before) {
            // Neither side moved with both open: no inflater does that on sound data.
            reason = "damaged PNG data (IDAT: invalid block)";
            return false;
        }
        return true;
    }

    bool run(std::span<std::uint8_t>& out, std::string& reason) {
        std::string why;
        if (inflater_.run(pending_, out, ended_, why)) return true;
        reason = "damaged PNG data (IDAT: " + why + ")";
        return false;
    }

    // The next piece of chunk data, moving on to the next IDAT chunk when one is used up.
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
            crc_ = crc(0, tail + 8, 4);
        }
        const auto piece = cursor_.next(remaining_);
        if (piece.empty()) {
            reason = cursor_.source().failed() ? "read error" : "truncated PNG data";
            return {};
        }
        remaining_ -= static_cast<std::uint32_t>(piece.size());
        crc_ = crc(crc_, piece.data(), piece.size());
        return piece;
    }

    SourceCursor& cursor_;
    std::uint32_t remaining_;
    std::uint32_t crc_ = 0;
    std::span<const std::uint8_t> pending_;
    Inflater inflater_;
    bool ended_ = false;
};

// Inflates, unfilters and pushes the rows of `bpp`-byte pixels into the resampler.
class IdatRows {
public:
    IdatRows(SourceCursor& cursor, std::uint32_t firstLength) : stream_(cursor, firstLength) {}

    bool decode(std::uint32_t width, std::uint32_t height, std::size_t bpp, Resampler& resampler,
                std::string& reason) {
        if (!stream_.begin(reason)) return false;
        size_ = std::size_t{width} * bpp;
        bpp_ = bpp;
        // Unfiltered rows carry slack for the 4-byte loads and stores of 3-byte pixels.
        for (auto& row : rows_)
            row.assign(size_ + 4, 0);
        const std::size_t rowBytes = size_ + 1;
        if (std::uint64_t{rowBytes} * height < kThreadedBytes) {
            std::vector<std::uint8_t> filtered(2 * rowBytes);
            const std::uint8_t* second = filtered.data() + rowBytes;
            for (std::uint32_t y = 0; y < height;) {
                const std::uint32_t count = height - y > 1 ? 2 : 1;
                if (!stream_.fill({filtered.data(), count * rowBytes}, reason)) return false;
                const std::uint32_t done =
                    consume(y, filtered.data(), count == 2 ? second : nullptr, resampler, reason);
                if (done == 0 ||
                    (done < count && consume(y + 1, second, nullptr, resampler, reason) == 0)) {
                    return false;
                }
                y += count;
            }
            return stream_.finish(reason);
        }
        return pipelined(rowBytes, height, resampler, reason);
    }

private:
    // Large pictures inflate on a second thread while this one unfilters and resamples; the
    // inflation is the longer half, so the wall time is close to the inflation alone on a free
    // core. The rows meet in a ring of about two megabytes (at least two rows), filled a piece
    // at a time: the inflaters are faster with large outputs than row by row, and large pieces
    // wake the waiting thread a few hundred times a picture rather than once a row.
    static constexpr std::uint64_t kThreadedBytes = std::uint64_t{1} << 20;
    static constexpr std::size_t kRingBytes = std::size_t{2} << 20;
    static constexpr std::size_t kPieceBytes = 256 * 1024;

    bool pipelined(std::size_t rowBytes, std::uint32_t height, Resampler& resampler,
                   std::string& reason) {
        const std::size_t ringRows = std::max<std::size_t>(kRingBytes / rowBytes, 2);
        const std::uint64_t ringBytes = std::uint64_t{ringRows} * rowBytes;
        const std::uint64_t total = std::uint64_t{rowBytes} * height;
        std::vector<std::uint8_t> ring(static_cast<std::size_t>(ringBytes));
        std::mutex mutex;
        std::condition_variable filled, freed;
        std::uint64_t produced = 0, consumed = 0; // bytes of the stream
        bool stop = false, failed = false, finished = false;
        std::string producerReason;
        std::thread producer([&] {
            std::string why;
            for (std::uint64_t at = 0; at < total;) {
                std::uint64_t room;
                {
                    std::unique_lock lock(mutex);
                    freed.wait(lock, [&] { return stop || at - consumed < ringBytes; });
                    if (stop) return;
                    room = ringBytes - (at - consumed);
                }
                // Bytes between `consumed` and `at` are the consumer's; the rest of the ring
                // is ours until `produced` says otherwise. Pieces never wrap past the ring's
                // end, and rows never straddle it.
                const std::uint64_t offset = at % ringBytes;
                const auto n = static_cast<std::size_t>(
                    std::min({room, ringBytes - offset, total - at, std::uint64_t{kPieceBytes}}));
                const bool ok = stream_.fill({ring.data() + offset, n}, why);
                {
                    const std::lock_guard lock(mutex);
                    if (ok) {
                        produced = at + n;
                    } else {
                        failed = true;
                        producerReason = std::move(why);
                    }
                }
                filled.notify_one();
                if (!ok) return;
                at += n;
            }
            const bool ok = stream_.finish(why);
            {
                const std::lock_guard lock(mutex);
                finished = true;
                failed = !ok;
                producerReason = std::move(why);
            }
            filled.notify_one();
        });
        const auto rowAt = [&](std::uint32_t y) {
            return ring.data() + static_cast<std::size_t>(std::uint64_t{y} * rowBytes % ringBytes);
        };
        // Waits until the stream holds `bytes`; false when the producer failed first.
        const auto await = [&](std::uint64_t bytes) {
            std::unique_lock lock(mutex);
            filled.wait(lock, [&] { return produced >= bytes || failed; });
            return produced >= bytes;
        };
        bool ok = true;
        for (std::uint32_t y = 0; y < height;) {
            const std::uint64_t end = std::uint64_t{y + 1} * rowBytes;
            if (!await(end)) {
                const std::lock_guard lock(mutex);
                reason = producerReason;
                ok = false;
                break;
            }
            const std::uint8_t* row = rowAt(y);
            // A Paeth row waits for the next, so that the two may be unfiltered together.
            const std::uint8_t* next =
                row[0] == 4 && y + 1 < height && await(end + rowBytes) ? rowAt(y + 1) : nullptr;
            const std::uint32_t done = consume(y, row, next, resampler, reason);
            if (done == 0) {
                ok = false;
                break;
            }
            y += done;
            {
                const std::lock_guard lock(mutex);
                consumed = std::uint64_t{y} * rowBytes;
            }
            freed.notify_one();
        }
        {
            std::unique_lock lock(mutex);
            if (ok) {
                filled.wait(lock, [&] { return finished || failed; });
                if (failed) {
                    reason = producerReason;
                    ok = false;
                }
            }
            stop = true;
        }
        freed.notify_one();
        producer.join();
        return ok;
    }

    // Unfilters row y and pushes it, together with the next row when `next` holds it and both
    // are Paeth rows. Returns how many rows were pushed; 0 with a reason for damaged data.
    std::uint32_t consume(std::uint32_t y, const std::uint8_t* row, const std::uint8_t* next,
                          Resampler& resampler, std::string& reason) {
#if defined(__SSE2__)
        if (next && row[0] == 4 && next[0] == 4) {
            std::uint8_t* upper = rows_[y & 1].data();
            std::uint8_t* lower = rows_[(y + 1) & 1].data(); // holds the row above the pair
            if (bpp_ == 3) {
                unfilterPaethPair<3>(row + 1, next + 1, upper, lower, size_);
            } else {
                unfilterPaethPair<4>(row + 1, next + 1, upper, lower, size_);
            }
            resampler.pushRow(upper);
            resampler.pushRow(lower);
            return 2;
        }
#endif
        const std::uint8_t* out = unfilter(y, row, reason);
        if (!out) return 0;
        resampler.pushRow(out);
        return 1;
    }

    // Returns the unfiltered row, or null with a reason.
    const std::uint8_t* unfilter(std::uint32_t y, const std::uint8_t* filteredRow,
                                 std::string& reason) {
        const std::uint8_t* in = filteredRow + 1;
        std::uint8_t* out = rows_[y & 1].data();
        const std::uint8_t* prior = rows_[(y + 1) & 1].data();
        switch (filteredRow[0]) {
        case 0:
            std::memcpy(out, in, size_);
            break;
        case 1:
            if (bpp_ == 3) {
                unfilterSub<3>(in, out, size_);
            } else {
                unfilterSub<4>(in, out, size_);
            }
            break;
        case 2:
            unfilterUp(in, out, prior, size_);
            break;
        case 3:
            if (bpp_ == 3) {
                unfilterAverage<3>(in, out, prior, size_);
            } else {
                unfilterAverage<4>(in, out, prior, size_);
            }
            break;
        case 4:
            if (bpp_ == 3) {
                unfilterPaeth<3>(in, out, prior, size_);
            } else {
                unfilterPaeth<4>(in, out, prior, size_);
            }
            break;
        default:
            reason = "damaged PNG data (bad adaptive filter value)";
            return nullptr;
        }
        return out;
    }

    IdatStream stream_;
    std::size_t size_ = 0;
    std::size_t bpp_ = 0;
    std::vector<std::uint8_t> rows_[2]; // this row and the one above it
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
