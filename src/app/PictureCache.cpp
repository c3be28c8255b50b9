#include "app/PictureCache.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace gw {
namespace {

// The source pixels under each target pixel along one axis, and how much of the target pixel
// each covers; a target pixel past the extent is covered only partly or not at all.
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Taps> buildTaps(int sourceLength, double extent, int pixels) {
    std::vector<Taps> taps(static_cast<std::size_t>(std::max(pixels, 0)));
    if (sourceLength <= 0 || !(extent > 0.0)) return taps;
    const double factor = sourceLength / extent; // source pixels per target pixel
    for (int t = 0; t < pixels; ++t) {
        const double low = t * factor;
        const double high = std::min(t + 1.0, extent) * factor;
        Taps& tap = taps[static_cast<std::size_t>(t)];
        if (!(high > low)) continue;
        tap.first = std::min(static_cast<int>(low), sourceLength - 1);
        const int last = std::min(static_cast<int>(std::ceil(high)), sourceLength);
        for (int s = tap.first; s < last; ++s) {
            const double covered = std::min<double>(s + 1, high) - std::max<double>(s, low);
            tap.weights.push_back(static_cast<float>(std::max(covered, 0.0) / factor));
        }
    }
    return taps;
}

// A copy no larger than kCopySide on either side, aspect kept; a smaller picture at one pixel
// per point.
void copySize(const PointSize& size, double& width, double& height) {
    const double longest = std::max(size.width, size.height);
    const double factor =
        longest > PictureCache::kCopySide ? PictureCache::kCopySide / longest : 1.0;
    width = std::floor(size.width * factor);
    height = std::floor(size.height * factor);
}

// Each pixel the mean of two by two of `source`'s (a last odd row or column counts alone).
std::shared_ptr<const RgbaCanvas> halved(const RgbaCanvas& source) {
    auto half = std::make_shared<RgbaCanvas>();
    half->width = (source.width + 1) / 2;
    half->height = (source.height + 1) / 2;
    half->partial = source.partial;
    half->rgba.resize(static_cast<std::size_t>(half->width) * half->height * 4);
    const auto stride = static_cast<std::size_t>(source.width) * 4;
    for (int y = 0; y < half->height; ++y) {
        const int y0 = 2 * y;
        const int y1 = std::min(y0 + 1, source.height - 1);
        const std::uint8_t* a = source.rgba.data() + static_cast<std::size_t>(y0) * stride;
        const std::uint8_t* b = source.rgba.data() + static_cast<std::size_t>(y1) * stride;
        std::uint8_t* out = half->rgba.data() + static_cast<std::size_t>(y) * half->width * 4;
        for (int x = 0; x < half->width; ++x) {
            const auto x0 = static_cast<std::size_t>(2 * x) * 4;
            const auto x1 = static_cast<std::size_t>(std::min(2 * x + 1, source.width - 1)) * 4;
            for (std::size_t c = 0; c < 4; ++c)
                out[static_cast<std::size_t>(x) * 4 + c] = static_cast<std::uint8_t>(
                    (a[x0 + c] + a[x1 + c] + b[x0 + c] + b[x1 + c] + 2) / 4);
        }
    }
    return half;
}

} // namespace

void resampleCanvas(const RgbaCanvas& source, double extentX, double extentY, int pixelsX,
                    int pixelsY, RgbaCanvas& out) {
    out = RgbaCanvas{};
    out.width = std::max(pixelsX, 0);
    out.height = std::max(pixelsY, 0);
    const auto columns = static_cast<std::size_t>(out.width);
    out.rgba.assign(columns * static_cast<std::size_t>(out.height) * 4, 0);
    out.partial = source.partial;
    if (out.rgba.empty() || source.width <= 0 || source.height <= 0 ||
        source.rgba.size() < static_cast<std::size_t>(source.width) * source.height * 4)
        return;
    const std::vector<Taps> across = buildTaps(source.width, extentX, out.width);
    const std::vector<Taps> down = buildTaps(source.height, extentY, out.height);

    // Each source row is shrunk across once, then added into the target rows it lies under.
    std::vector<float> sums(out.rgba.size(), 0.0f);
    std::vector<float> row(columns * 4);
    // Target rows by the source rows they start and end at: both are increasing.
    int firstTarget = 0;
    const auto stride = static_cast<std::size_t>(source.width) * 4;
    for (int s = 0; s < source.height; ++s) {
        while (
            firstTarget < out.height &&
            down[static_cast<std::size_t>(firstTarget)].first +
                    static_cast<int>(down[static_cast<std::size_t>(firstTarget)].weights.size()) <=
                s)
            ++firstTarget;
        if (firstTarget >= out.height) break;
        if (down[static_cast<std::size_t>(firstTarget)].first > s) continue;
        const std::uint8_t* pixels = source.rgba.data() + static_cast<std::size_t>(s) * stride;
        for (std::size_t x = 0; x < columns; ++x) {
            const Taps& tap = across[x];
            float sum[4] = {0.0f, 0.0f, 0.0f, 0.0f};
            const std::uint8_t* p = pixels + static_cast<std::size_t>(tap.first) * 4;
            for (const float w : tap.weights) {
                for (int c = 0; c < 4; ++c)
                    sum[c] += w * static_cast<float>(p[c]);
                p += 4;
            }
            std::copy(sum, sum + 4, row.begin() + static_cast<std::ptrdiff_t>(x * 4));
        }
        for (int t = firstTarget; t < out.height; ++t) {
            const Taps& tap = down[static_cast<std::size_t>(t)];
            if (tap.first > s) break;
            const int k = s - tap.first;
            if (k >= static_cast<int>(tap.weights.size())) continue;
            const float w = tap.weights[static_cast<std::size_t>(k)];
            float* target = sums.data() + static_cast<std::size_t>(t) * columns * 4;
            for (std::size_t i = 0; i < columns * 4; ++i)
                target[i] += w * row[i];
        }
    }
    for (std::size_t i = 0; i < sums.size(); ++i)
        out.rgba[i] = static_cast<std::uint8_t>(std::clamp(std::lround(sums[i]), 0L, 255L));
}

PictureCache::PictureCache(std::shared_ptr<const PictureSource> picture)
    : picture_(std::move(picture)) {}

bool PictureCache::keptCanvas(const Key& key, RgbaCanvas& out) const {
    std::lock_guard lock(mutex_);
    if (!(keptKey_ == key)) return false;
    out = kept_;
    return true;
}

void PictureCache::keep(const Key& key, const RgbaCanvas& canvas) const {
    if (canvas.rgba.size() > kKeptCanvasBytes) return;
    RgbaCanvas copy = canvas; // made outside the lock
    std::lock_guard lock(mutex_);
    keptKey_ = key;
    kept_ = std::move(copy);
}

bool PictureCache::renderCanvas(double gw, double gh, double scale, RgbaCanvas& out,
                                std::string& error) const {
    const Key key{gw, gh, scale};
    if (keptCanvas(key, out)) return true;
    // Drawn outside the lock: another thread may use what is kept meanwhile.
    if (!picture_->renderCanvas(gw, gh, scale, out, error)) return false;
    keep(key, out);
    return true;
}

bool PictureCache::renderQuickly(double gw, double gh, double scale, RgbaCanvas& out,
                                 std::string& error, bool& exact) const {
    exact = true;
    const Key key{gw, gh, scale};
    if (keptCanvas(key, out)) return true;
    const double extentX = gw * scale;
    const double extentY = gh * scale;
    std::shared_ptr<const RgbaCanvas> copy;
    {
        std::lock_guard lock(mutex_);
        // Enlarging a copy would blur what the picture itself has; only shrinking is quick.
        for (const auto& level : copies_) {
            if (extentX > level->width || extentY > level->height) break;
            const bool ample = 1.5 * extentX <= level->width && 1.5 * extentY <= level->height;
            if (!copy || ample) copy = level;
            if (!ample) break;
        }
    }
    if (!copy) return renderCanvas(gw, gh, scale, out, error);
    if (!(extentX > 0.0 && extentY > 0.0)) {
        // An empty grid only asks whether the picture still decodes; drawing the copy said so.
        out = RgbaCanvas{};
        out.width = static_cast<int>(std::ceil(std::max(extentX, 0.0)));
        out.height = static_cast<int>(std::ceil(std::max(extentY, 0.0)));
        out.rgba.assign(static_cast<std::size_t>(out.width) * out.height * 4, 0);
        out.partial = copy->partial;
        return true;
    }
    resampleCanvas(*copy, extentX, extentY, static_cast<int>(std::ceil(extentX)),
                   static_cast<int>(std::ceil(extentY)), out);
    exact = false;
    return true;
}

void PictureCache::prepareCopy() const {
    if (hasCopy()) return;
    double width = 0.0;
    double height = 0.0;
    copySize(picture_->pointSize(), width, height);
    if (!(width >= 1.0 && height >= 1.0)) return;
    auto canvas = std::make_shared<RgbaCanvas>();
    std::string error;
    if (!picture_->renderCanvas(width, height, 1.0, *canvas, error)) return;
    std::vector<std::shared_ptr<const RgbaCanvas>> levels{canvas};
    while (std::max(levels.back()->width, levels.back()->height) > 2 * kSmallestCopySide)
        levels.push_back(halved(*levels.back()));
    std::lock_guard lock(mutex_);
    if (copies_.empty()) copies_ = std::move(levels);
}

bool PictureCache::hasCopy() const {
    std::lock_guard lock(mutex_);
    return !copies_.empty();
}

} // namespace gw
