#include "engine/Tone.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace gw {
namespace {

constexpr float kWhite = 255.0f;
constexpr float kMidGrey = 127.5f;
// Quarter levels: fine enough that a range of a few levels still stretches evenly, small
// enough to stay in the cache.
constexpr int kBinsPerLevel = 4;
constexpr int kBins = 256 * kBinsPerLevel;
// The share of cells left out at either end, so that a few specks of black or white do not
// hold the stretch back.
constexpr double kClipShare = 0.01;
// A range of at most one level is one flat brightness with rounding noise: stretching it would
// only turn that noise into black and white.
constexpr float kFlatRange = 1.0f;
// The contrast factor at +100: values within 127.5 +- 6.4 cover the whole range, nearly a
// threshold at mid-grey, but still a finite slope, so the order of brightnesses survives.
constexpr float kSteepestContrast = 20.0f;
constexpr float kBrightnessStep = 2.55f; // per unit of -100 to +100: 100 moves by the whole range

// 0 to 255; not-a-number counts as black.
float clampLevel(float v) {
    return !(v > 0.0f) ? 0.0f : std::min(v, kWhite);
}

// The slope about mid-grey for a contrast of -100 to +100: from 0 (all mid-grey) through 1 (no
// change) to kSteepestContrast, rising with the setting. Below 0 it falls linearly; above, it is
// 1 / (1 - 0.95 c / 100): gentle at first, steep toward the end (2 at +53, 20 at +100).
float contrastFactor(int contrast) {
    const float c = static_cast<float>(std::clamp(contrast, -100, 100)) / 100.0f;
    if (c <= 0.0f) return 1.0f + c;
    constexpr float kSteepness = 1.0f - 1.0f / kSteepestContrast;
    return 1.0f / (1.0f - kSteepness * c);
}

} // namespace

ToneRange autoContrastRange(std::span<const float> cells) {
    ToneRange range;
    if (cells.empty()) return range;
    std::array<std::uint32_t, kBins> histogram{};
    for (const float v : cells) {
        const auto bin = static_cast<int>(clampLevel(v) * static_cast<float>(kBinsPerLevel));
        ++histogram[static_cast<std::size_t>(std::min(bin, kBins - 1))];
    }
    // The cells at these ranks (from the darkest, 0-based) bound the range.
    const double last = static_cast<double>(cells.size() - 1);
    const auto lowRank = static_cast<std::uint64_t>(std::floor(last * kClipShare));
    const auto highRank = static_cast<std::uint64_t>(std::ceil(last * (1.0 - kClipShare)));
    int lowBin = -1;
    int highBin = kBins - 1;
    std::uint64_t seen = 0;
    for (int bin = 0; bin < kBins; ++bin) {
        seen += histogram[static_cast<std::size_t>(bin)];
        if (lowBin < 0 && seen > lowRank) lowBin = bin;
        if (seen > highRank) {
            highBin = bin;
            break;
        }
    }
    const float perLevel = static_cast<float>(kBinsPerLevel);
    range.low = static_cast<float>(lowBin) / perLevel;
    range.high = std::min(static_cast<float>(highBin + 1) / perLevel, kWhite);
    range.stretch = range.high - range.low > kFlatRange;
    return range;
}

namespace {

// The adjustments as up to four linear steps, each clamped to 0 to 255: v * scale + offset.
// Worked out once per conversion, so that each brightness costs a few multiplications.
struct ToneSteps {
    struct Step {
        float scale;
        float offset;
    };
    std::array<Step, 4> steps{};
    int count = 0;

    ToneSteps(const ToneSettings& tone, const ToneRange& range) {
        if (tone.autoContrast && range.stretch) {
            const float scale = kWhite / (range.high - range.low);
            steps[count++] = {scale, -range.low * scale};
        }
        if (tone.contrast != 0) {
            const float scale = contrastFactor(tone.contrast);
            steps[count++] = {scale, kMidGrey - kMidGrey * scale};
        }
        if (tone.brightness != 0) {
            const auto amount = static_cast<float>(std::clamp(tone.brightness, -100, 100));
            steps[count++] = {1.0f, amount * kBrightnessStep};
        }
        if (tone.invert) steps[count++] = {-1.0f, kWhite};
    }

    float operator()(float brightness) const {
        float v = clampLevel(brightness);
        for (int i = 0; i < count; ++i)
            v = clampLevel(v * steps[static_cast<std::size_t>(i)].scale +
                           steps[static_cast<std::size_t>(i)].offset);
        return v;
    }

    // The same for every value, one step at a time over all of them, which vectorises.
    void apply(std::vector<float>& values) const {
        for (float& v : values)
            v = clampLevel(v);
        for (int i = 0; i < count; ++i) {
            const Step step = steps[static_cast<std::size_t>(i)];
            for (float& v : values)
                v = clampLevel(v * step.scale + step.offset);
        }
    }
};

} // namespace

float adjustTone(const ToneSettings& tone, const ToneRange& range, float brightness) {
    return ToneSteps(tone, range)(brightness);
}

void applyTone(const ToneSettings& tone, BrightnessPlane& plane) {
    if (tone.isIdentity()) return;
    const ToneSteps adjust(tone, tone.autoContrast ? autoContrastRange(plane.cells) : ToneRange{});
    adjust.apply(plane.cells);
    adjust.apply(plane.subcells);
}

} // namespace gw
