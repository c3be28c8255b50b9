// PNG's row filters undone: a plain reference for every pixel size, and SSE2 versions for the
// 3- and 4-byte pixels of photographs, because libpng's scalar Paeth filter took half of its
// time on them. The reference is compiled on every build, and the tests hold the fast versions
// to it.
#include "PngUnfilter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gw::imaging::detail::png {

namespace {

void subReference(const std::uint8_t* in, std::uint8_t* out, std::size_t size, std::size_t bpp) {
    std::memcpy(out, in, std::min(bpp, size));
    for (std::size_t i = bpp; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + out[i - bpp]);
}

void upReference(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* prior,
                 std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + prior[i]);
}

void averageReference(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* prior,
                      std::size_t size, std::size_t bpp) {
    for (std::size_t i = 0; i < bpp && i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + (prior[i] >> 1));
    for (std::size_t i = bpp; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(in[i] + ((out[i - bpp] + prior[i]) >> 1));
}

void paethReference(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* prior,
                    std::size_t size, std::size_t bpp) {
    const std::size_t first = std::min(bpp, size);
    for (std::size_t i = 0; i < first; ++i) // left and upper left read as 0: the predictor is b
        out[i] = static_cast<std::uint8_t>(in[i] + prior[i]);
    for (std::size_t i = bpp; i < size; ++i) {
        const int a = out[i - bpp];
        const int b = prior[i];
        const int c = prior[i - bpp];
        const int pa = std::abs(b - c);
        const int pb = std::abs(a - c);
        const int pc = std::abs(b - c + a - c);
        const int predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        out[i] = static_cast<std::uint8_t>(in[i] + predictor);
    }
}

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

template <std::size_t Bpp>
void unfilterSub(const std::uint8_t* in, std::uint8_t* out, std::size_t size) {
    __m128i left = _mm_setzero_si128();
    for (std::size_t i = 0; i < size; i += Bpp) {
        left = _mm_add_epi8(left, loadPixel<Bpp>(in, i, size));
        const auto packed = static_cast<std::uint32_t>(_mm_cvtsi128_si32(left));
        std::memcpy(out + i, &packed, 4); // a 3-byte pixel's fourth byte is overwritten next
    }
}

// Photographs that ImageMagick writes are filtered with Average nearly throughout. Each pixel
// waits on the one to its left, so the step from one to the next is kept to two operations: the
// running value is held inverted, because the rounded-up byte average of inverted inputs is the
// inverted rounded-down average, and the inverted sum ~(x + m) is ~m - x.
template <std::size_t Bpp>
void unfilterAverage(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* prior,
                     std::size_t size) {
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
}

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

template <std::size_t Bpp>
void unfilterPaeth(const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* prior,
                   std::size_t size) {
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
}

// Two Paeth rows at once, the lower one a pixel behind the upper in the high half of the lanes:
// a pass along the chain of left neighbours then yields two pixels. The lower row is written
// over the row above the pair (`out1` is `prior`), each pixel after the upper row has read it.
template <std::size_t Bpp>
void paethPair(const std::uint8_t* in0, const std::uint8_t* in1, std::uint8_t* out0,
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

template <std::size_t Bpp>
void unfilterFast(std::uint8_t type, const std::uint8_t* in, std::uint8_t* out,
                  const std::uint8_t* prior, std::size_t size) {
    switch (type) {
    case 1:
        unfilterSub<Bpp>(in, out, size);
        break;
    case 3:
        unfilterAverage<Bpp>(in, out, prior, size);
        break;
    default:
        unfilterPaeth<Bpp>(in, out, prior, size);
        break;
    }
}
#endif

} // namespace

bool unfilterReference(std::uint8_t type, const std::uint8_t* in, std::uint8_t* out,
                       const std::uint8_t* prior, std::size_t size, std::size_t bpp) {
    switch (type) {
    case 0:
        std::memcpy(out, in, size);
        return true;
    case 1:
        subReference(in, out, size, bpp);
        return true;
    case 2:
        upReference(in, out, prior, size);
        return true;
    case 3:
        averageReference(in, out, prior, size, bpp);
        return true;
    case 4:
        paethReference(in, out, prior, size, bpp);
        return true;
    default:
        return false;
    }
}

bool unfilterRow(std::uint8_t type, const std::uint8_t* in, std::uint8_t* out,
                 const std::uint8_t* prior, std::size_t size, std::size_t bpp) {
#if defined(__SSE2__)
    if ((type == 1 || type == 3 || type == 4) && (bpp == 3 || bpp == 4)) {
        if (bpp == 3) {
            unfilterFast<3>(type, in, out, prior, size);
        } else {
            unfilterFast<4>(type, in, out, prior, size);
        }
        return true;
    }
#endif
    return unfilterReference(type, in, out, prior, size, bpp);
}

bool hasPaethPair([[maybe_unused]] std::size_t bpp) {
#if defined(__SSE2__)
    return bpp == 3 || bpp == 4;
#else
    return false;
#endif
}

void unfilterPaethPair([[maybe_unused]] const std::uint8_t* in0,
                       [[maybe_unused]] const std::uint8_t* in1,
                       [[maybe_unused]] std::uint8_t* out0, [[maybe_unused]] std::uint8_t* out1,
                       [[maybe_unused]] std::size_t size, [[maybe_unused]] std::size_t bpp) {
#if defined(__SSE2__)
    if (bpp == 3) {
        paethPair<3>(in0, in1, out0, out1, size);
    } else if (bpp == 4) {
        paethPair<4>(in0, in1, out0, out1, size);
    }
#endif
}

} // namespace gw::imaging::detail::png
