#include "Decoding.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gw::imaging::detail {

namespace {

bool flipsStoredX(Orientation o) {
    return o == 2 || o == 3 || o == 7 || o == 8;
}
bool flipsStoredY(Orientation o) {
    return o == 3 || o == 4 || o == 6 || o == 7;
}

} // namespace

std::vector<Resampler::Taps> Resampler::buildTaps(std::uint32_t sourceLength, double extent,
                                                  std::uint32_t pixels, bool flip) {
    std::vector<Taps> taps(pixels);
    const double s = static_cast<double>(sourceLength);
    const double scale = extent > 0 ? s / extent : 0;
    std::vector<double> w;
    for (std::uint32_t j = 0; j < pixels; ++j) {
        const double lo = j;
        const double hi = std::min<double>(j + 1.0, extent);
        const double coverage = std::clamp(hi - lo, 0.0, 1.0);
        const double a = std::min(lo * scale, s);
        const double b = std::min(hi * scale, s);
        std::uint32_t first = 0;
        w.clear();
        if (scale > 1.0 && b > a) {
            // Area average: each source pixel weighs by how much of it the interval covers.
            first = static_cast<std::uint32_t>(std::floor(a));
            const auto end =
                std::min<std::uint32_t>(sourceLength, static_cast<std::uint32_t>(std::ceil(b)));
            for (std::uint32_t k = first; k < end; ++k) {
                w.push_back(std::min<double>(k + 1.0, b) - std::max<double>(k, a));
            }
        } else {
            // Bilinear between the two source pixels whose centres enclose this pixel's centre.
            const double u = std::clamp((a + b) / 2 - 0.5, 0.0, s - 1);
            first = static_cast<std::uint32_t>(std::floor(u));
            const double f = u - first;
            w.push_back(1.0 - f);
            if (f > 0 && first + 1 < sourceLength) w.push_back(f);
        }
        // Drop vanishing end weights so that the row range, and the rows kept alive, stay tight.
        while (w.size() > 1 && w.back() <= 0)
            w.pop_back();
        while (w.size() > 1 && w.front() <= 0) {
            w.erase(w.begin());
            ++first;
        }
        const double sum = std::accumulate(w.begin(), w.end(), 0.0);
        Taps& t = taps[j];
        t.weights.resize(w.size());
        for (std::size_t i = 0; i < w.size(); ++i) {
            t.weights[i] = static_cast<float>(sum > 0 ? w[i] / sum * coverage : 0.0);
        }
        t.first = first;
        if (flip) {
            std::reverse(t.weights.begin(), t.weights.end());
            t.first = sourceLength - 1 - (first + static_cast<std::uint32_t>(w.size()) - 1);
        }
    }
    return taps;
}

Resampler::Resampler(const RenderTarget& target, std::uint32_t width, std::uint32_t height,
                     Orientation orientation, Layout layout, Order order)
    : canvas_(*target.canvas), transpose_(swapsAxes(orientation)), layout_(layout), height_(height),
      anyOrder_(order == Order::Any) {
    const auto canvasW = static_cast<std::uint32_t>(canvas_.width);
    const auto canvasH = static_cast<std::uint32_t>(canvas_.height);
    tapsX_ = buildTaps(width, target.storedExtentX(orientation), transpose_ ? canvasH : canvasW,
                       flipsStoredX(orientation));
    tapsY_ = buildTaps(height, target.storedExtentY(orientation), transpose_ ? canvasW : canvasH,
                       flipsStoredY(orientation));
    order_.resize(tapsY_.size());
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    std::stable_sort(order_.begin(), order_.end(), [&](std::size_t l, std::size_t r) {
        return tapsY_[l].first < tapsY_[r].first;
    });
    accumulators_.resize(tapsY_.size());
    verticalFirst_ = width < tapsX_.size();
    if (verticalFirst_) {
        identity_.resize(width);
        for (std::uint32_t x = 0; x < width; ++x)
            identity_[x] = Taps{x, {1.0f}};
        finished_.resize(tapsX_.size() * 4);
    }
    horizontal_.resize((verticalFirst_ ? width : tapsX_.size()) * 4);
    if (!verticalFirst_) {
        for (const Taps& t : tapsX_) {
            const auto n = static_cast<std::uint32_t>(t.weights.size());
            if (n > 2 && std::any_of(t.weights.begin() + 2, t.weights.end() - 1,
                                     [&](float w) { return w != t.weights[1]; })) {
                boxesX_.clear();
                break;
            }
            boxesX_.push_back({t.first, n, t.weights.front(), n > 2 ? t.weights[1] : 0.0f,
                               n > 1 ? t.weights.back() : 0.0f});
        }
    }
    if (anyOrder_) {
        // Every output row is held from the start; each stored row lists the rows it weighs in.
        for (std::size_t out = 0; out < tapsY_.size(); ++out)
            accumulators_[out].assign(horizontal_.size(), 0.0f);
        weighsFrom_.assign(std::size_t{height} + 1, 0);
        for (const Taps& t : tapsY_) {
            for (std::size_t k = 0; k < t.weights.size(); ++k)
                ++weighsFrom_[t.first + k + 1];
        }
        for (std::size_t y = 0; y < height; ++y)
            weighsFrom_[y + 1] += weighsFrom_[y];
        weighs_.resize(weighsFrom_[height]);
        std::vector<std::uint32_t> fill(weighsFrom_.begin(), weighsFrom_.end() - 1);
        for (std::size_t out = 0; out < tapsY_.size(); ++out) {
            const Taps& t = tapsY_[out];
            for (std::size_t k = 0; k < t.weights.size(); ++k)
                weighs_[fill[t.first + k]++] = static_cast<std::uint32_t>(out);
        }
    }
}

#if defined(__SSE2__)
// One pixel per step in four float lanes; the same products as the plain version below, in
// the same order, so both give the same canvas.
template <Resampler::Layout L>
void Resampler::horizontalPass(const std::vector<Taps>& taps, const std::uint8_t* pixels) {
    if (&taps == &tapsX_ && !boxesX_.empty()) {
        boxPass<L>(pixels);
        return;
    }
    constexpr std::size_t step = L == Layout::Rgb ? 3 : 4;
    const __m128i zero = _mm_setzero_si128();
    const __m128 colourLanes = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
    const __m128 alphaOne = _mm_set_ps(1.0f, 0.0f, 0.0f, 0.0f);
    const __m128 premultipliedScale = _mm_set_ps(1.0f, 255.0f, 255.0f, 255.0f);
    float* h = horizontal_.data();
    for (const Taps& t : taps) {
        const std::uint8_t* p = pixels + std::size_t{t.first} * step;
        __m128 sum = _mm_setzero_ps();
        for (const float w : t.weights) {
            std::int32_t packed;
            std::memcpy(&packed, p, 4); // an RGB row has a byte of slack after its last pixel
            const __m128 v = _mm_cvtepi32_ps(
                _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(packed), zero), zero));
            __m128 term;
            if constexpr (L == Layout::Rgba) {
                // (r, g, b, 1) times w * a: colour times alpha, and alpha.
                const __m128 wa = _mm_mul_ps(_mm_set1_ps(w), _mm_shuffle_ps(v, v, 0xFF));
                term = _mm_mul_ps(wa, _mm_or_ps(_mm_and_ps(v, colourLanes), alphaOne));
            } else if constexpr (L == Layout::Rgb) {
                term = _mm_mul_ps(_mm_set1_ps(w * 255.0f),
                                  _mm_or_ps(_mm_and_ps(v, colourLanes), alphaOne));
            } else {
                term = _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(w), premultipliedScale), v);
            }
            sum = _mm_add_ps(sum, term);
            p += step;
        }
        _mm_storeu_ps(h, sum);
        h += 4;
    }
}

// The same sums as horizontalPass, with the pixels between a column's first and last summed in
// integers and weighed once: a 10:1 reduction then costs about a third as much. The sums are of
// (c * a, a) for straight alpha, (c, 1) for opaque pixels and (c, a) for premultiplied ones,
// scaled to the float pass's range at the end.
template <Resampler::Layout L> void Resampler::boxPass(const std::uint8_t* pixels) {
    constexpr std::size_t step = L == Layout::Rgb ? 3 : 4;
    // 32768 products of at most 255 * 255 stay below 2^31, within a signed 32-bit lane.
    constexpr std::size_t block = 32768;
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_set_epi16(0, 0, 0, 0, 0, -1, -1, -1);
    const __m128i oneAlpha = _mm_set_epi16(0, 0, 0, 0, 1, 0, 0, 0);
    const __m128 scale = L == Layout::Rgba  ? _mm_set1_ps(1.0f)
                         : L == Layout::Rgb ? _mm_set1_ps(255.0f)
                                            : _mm_set_ps(1.0f, 255.0f, 255.0f, 255.0f);
    const auto load = [&](const std::uint8_t* p) {
        std::int32_t packed;
        std::memcpy(&packed, p, 4); // an RGB row has a byte of slack after its last pixel
        __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(packed), zero);
        if constexpr (L == Layout::Rgba) {
            v = _mm_mullo_epi16(_mm_or_si128(_mm_and_si128(v, colour), oneAlpha),
                                _mm_shufflelo_epi16(v, 0xFF));
        } else if constexpr (L == Layout::Rgb) {
            v = _mm_or_si128(_mm_and_si128(v, colour), oneAlpha);
        }
        return _mm_unpacklo_epi16(v, zero);
    };
    // Two neighbouring pixels summed: their samples interleaved (r0 r1 g0 g1 ...) so that one
    // multiply-add weighs and pairs them. Reads 8 bytes, all within the row for middle pixels.
    const __m128i pairColour = _mm_set_epi32(0, -1, -1, -1);
    const __m128i pairOnes = _mm_set_epi16(1, 1, 0, 0, 0, 0, 0, 0);
    const __m128i ones = _mm_set1_epi16(1);
    const auto loadTwo = [&](const std::uint8_t* p) {
        const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        const __m128i samples = _mm_unpacklo_epi8(
            _mm_unpacklo_epi8(v, _mm_srli_epi64(v, static_cast<int>(step) * 8)), zero);
        if constexpr (L == Layout::Rgba) {
            const __m128i alphas = _mm_shuffle_epi32(samples, 0xFF);
            return _mm_madd_epi16(samples,
                                  _mm_or_si128(_mm_and_si128(alphas, pairColour), pairOnes));
        } else if constexpr (L == Layout::Rgb) {
            return _mm_madd_epi16(_mm_or_si128(_mm_and_si128(samples, pairColour), pairOnes), ones);
        } else {
            return _mm_madd_epi16(samples, ones);
        }
    };
    float* h = horizontal_.data();
    for (const Box& b : boxesX_) {
        const std::uint8_t* p = pixels + std::size_t{b.first} * step;
        __m128 sum = _mm_mul_ps(_mm_set1_ps(b.firstWeight), _mm_cvtepi32_ps(load(p)));
        if (b.count > 1) {
            const std::uint8_t* last = p + std::size_t{b.count - 1} * step;
            __m128 middle = _mm_setzero_ps();
            for (const std::uint8_t* q = p + step; q < last;) {
                const std::uint8_t* end =
                    static_cast<std::size_t>(last - q) > block * step ? q + block * step : last;
                __m128i part = zero;
                for (; q + step < end; q += 2 * step)
                    part = _mm_add_epi32(part, loadTwo(q));
                if (q < end) {
                    part = _mm_add_epi32(part, load(q));
                    q = end;
                }
                middle = _mm_add_ps(middle, _mm_cvtepi32_ps(part));
            }
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(b.middleWeight), middle));
            sum =
                _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(b.lastWeight), _mm_cvtepi32_ps(load(last))));
        }
        _mm_storeu_ps(h, _mm_mul_ps(sum, scale));
        h += 4;
    }
}
#else
template <Resampler::Layout L>
void Resampler::horizontalPass(const std::vector<Taps>& taps, const std::uint8_t* pixels) {
    constexpr std::size_t step = L == Layout::Rgb ? 3 : 4;
    float* h = horizontal_.data();
    for (const Taps& t : taps) {
        const std::uint8_t* p = pixels + std::size_t{t.first} * step;
        float sr = 0, sg = 0, sb = 0, sa = 0;
        for (const float w : t.weights) {
            // Sums of colour times alpha, and of alpha, both on the 0 to 255 scale.
            const float wa = L == Layout::Rgba ? w * static_cast<float>(p[3]) : w * 255.0f;
            sr += wa * static_cast<float>(p[0]);
            sg += wa * static_cast<float>(p[1]);
            sb += wa * static_cast<float>(p[2]);
            if constexpr (L == Layout::PremultipliedRgba) {
                sa += w * static_cast<float>(p[3]);
            } else {
                sa += wa;
            }
            p += step;
        }
        h[0] = sr;
        h[1] = sg;
        h[2] = sb;
        h[3] = sa;
        h += 4;
    }
}
#endif

void Resampler::pushRow(const std::uint8_t* rgba) {
    if (anyOrder_) {
        pushRowAt(row_++, rgba);
        return;
    }
    const std::uint32_t r = row_++;
    while (nextActive_ < order_.size() && tapsY_[order_[nextActive_]].first <= r) {
        const std::size_t out = order_[nextActive_++];
        std::vector<float> acc;
        if (!spare_.empty()) {
            acc = std::move(spare_.back());
            spare_.pop_back();
        }
        acc.assign(horizontal_.size(), 0.0f);
        accumulators_[out] = std::move(acc);
        active_.push_back(out);
    }
    if (active_.empty()) return;
    const bool transparent = rgba == nullptr;
    if (!transparent) horizontal(rgba);

    for (std::size_t i = 0; i < active_.size();) {
        const std::size_t out = active_[i];
        const Taps& t = tapsY_[out];
        const float w = t.weights[r - t.first];
        float* acc = accumulators_[out].data();
        if (!transparent) {
            for (std::size_t k = 0; k < horizontal_.size(); ++k)
                acc[k] += w * horizontal_[k];
        }
        if (r == t.first + t.weights.size() - 1) {
            finishRow(out);
            spare_.push_back(std::move(accumulators_[out]));
            accumulators_[out] = {};
            active_[i] = active_.back();
            active_.pop_back();
        } else {
            ++i;
        }
    }
}

void Resampler::horizontal(const std::uint8_t* rgba) {
    const std::vector<Taps>& taps = verticalFirst_ ? identity_ : tapsX_;
    switch (layout_) {
    case Layout::Rgba:
        horizontalPass<Layout::Rgba>(taps, rgba);
        break;
    case Layout::PremultipliedRgba:
        horizontalPass<Layout::PremultipliedRgba>(taps, rgba);
        break;
    case Layout::Rgb:
        horizontalPass<Layout::Rgb>(taps, rgba);
        break;
    }
}

void Resampler::pushRowAt(std::uint32_t y, const std::uint8_t* rgba) {
    if (!anyOrder_) {
        while (row_ < y)
            pushRow(nullptr);
        if (row_ == y) pushRow(rgba);
        return;
    }
    if (y >= height_ || !rgba || weighsFrom_[y] == weighsFrom_[y + 1]) return;
    horizontal(rgba);
    for (std::uint32_t i = weighsFrom_[y]; i < weighsFrom_[y + 1]; ++i) {
        const std::size_t out = weighs_[i];
        const Taps& t = tapsY_[out];
        const float w = t.weights[y - t.first];
        float* acc = accumulators_[out].data();
        for (std::size_t k = 0; k < horizontal_.size(); ++k)
            acc[k] += w * horizontal_[k];
    }
}

void Resampler::finish() {
    if (done_) return;
    done_ = true;
    if (!anyOrder_) {
        while (row_ < height_)
            pushRow(nullptr);
        return;
    }
    for (std::size_t out = 0; out < tapsY_.size(); ++out) {
        finishRow(out);
        accumulators_[out] = {};
    }
}

// Rounds to nearest with ties up; the small bias keeps exact halves (a half-covered edge of
// an opaque picture) from falling either way on float noise, and stays below the 1/510 by
// which a premultiplied 8-bit product c * a / 255 can miss a half.
[[maybe_unused]] static std::uint8_t toSample(float v) {
    return static_cast<std::uint8_t>(v + 0.5f + 1.0f / 1024);
}

void Resampler::finishRow(std::size_t out) {
    const float* acc = accumulators_[out].data();
    if (verticalFirst_) {
        float* h = finished_.data();
        for (const Taps& t : tapsX_) {
            const float* p = acc + std::size_t{t.first} * 4;
            float sum[4] = {0, 0, 0, 0};
            for (const float w : t.weights) {
                for (int c = 0; c < 4; ++c)
                    sum[c] += w * p[c];
                p += 4;
            }
            std::copy_n(sum, 4, h);
            h += 4;
        }
        acc = finished_.data();
    }
    const std::size_t stride = static_cast<std::size_t>(canvas_.width) * 4;
    std::uint8_t* base = canvas_.rgba.data();
#if defined(__SSE2__)
    // The steps of the plain version below, four lanes at once. Colour is clamped to alpha
    // before rounding, and the rounding keeps order, so no sample can exceed its alpha.
    const __m128 scale = _mm_set_ps(1.0f, 1.0f / 255.0f, 1.0f / 255.0f, 1.0f / 255.0f);
    const __m128 zero = _mm_setzero_ps();
    const __m128 full = _mm_set1_ps(255.0f);
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128 bias = _mm_set1_ps(1.0f / 1024);
    for (std::size_t i = 0; i < tapsX_.size(); ++i, acc += 4) {
        const std::size_t x = transpose_ ? out : i;
        const std::size_t y = transpose_ ? i : out;
        const __m128 v = _mm_loadu_ps(acc);
        const __m128 a = _mm_min_ps(_mm_max_ps(_mm_shuffle_ps(v, v, 0xFF), zero), full);
        const __m128 c = _mm_min_ps(_mm_max_ps(_mm_mul_ps(v, scale), zero), a);
        const __m128i samples = _mm_cvttps_epi32(_mm_add_ps(_mm_add_ps(c, half), bias));
        const __m128i narrow = _mm_packs_epi32(samples, samples);
        const auto packed =
            static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(narrow, narrow)));
        std::memcpy(base + y * stride + x * 4, &packed, 4);
    }
#else
    for (std::size_t i = 0; i < tapsX_.size(); ++i, acc += 4) {
        const std::size_t x = transpose_ ? out : i;
        const std::size_t y = transpose_ ? i : out;
        std::uint8_t* px = base + y * stride + x * 4;
        const float a = std::clamp(acc[3], 0.0f, 255.0f);
        const std::uint8_t alpha = toSample(a);
        for (int c = 0; c < 3; ++c) {
            const float v = std::clamp(acc[c] * (1.0f / 255.0f), 0.0f, a);
            px[c] = std::min(alpha, toSample(v));
        }
        px[3] = alpha;
    }
#endif
}

} // namespace gw::imaging::detail
