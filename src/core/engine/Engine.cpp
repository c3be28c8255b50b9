#include "engine/Engine.h"

#include "common/Log.h"
#include "engine/SystemVersion.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace gw {
namespace {

constexpr int kMinVersionForScreens = 1070;
constexpr float kHeightFactor = 0.5f;
constexpr float kLargestScale = 16.0f;
constexpr float kToBlackScale = -0.00390625f; // -1/256
constexpr float kNoMatchDistance = 10.0f;
constexpr char16_t kLineFeed = 10;
constexpr int kSpace = 32;

// Truncates a size toward zero; sizes that are not numbers or below zero count as 0, sizes
// beyond int as the largest int.
int truncatedPoints(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(v);
}

const char kDigits[] = "0123456789abcdef";

} // namespace

GridSize computeGridSize(double w, double h, int maxWidth) {
    GridSize g;
    g.width = truncatedPoints(w);
    g.height = truncatedPoints(h);
    const std::int64_t W = g.width;
    const std::int64_t H = g.height;
    if (W == 0 || maxWidth <= 0) return g;

    // 64-bit products: identical to 32-bit ones wherever those do not overflow.
    std::int64_t gw = W;
    std::int64_t gh = H;
    if (W > kGridCapacity) {
        gw = kGridCapacity;
        gh = (H * kGridCapacity) / W;
    }
    if (gh > kGridCapacity) {
        gw = (W * kGridCapacity) / H;
        gh = kGridCapacity;
    }
    if (gw > maxWidth) {
        gw = maxWidth;
        gh = (static_cast<std::int64_t>(maxWidth) * H) / W;
    }
    g.gw = static_cast<float>(gw);
    g.gh = static_cast<float>(gh) * kHeightFactor;
    g.width2 = static_cast<int>(g.gw);
    g.height2 = static_cast<int>(g.gh);
    return g;
}

float scaleFactor(int systemVersion, const ScreenList* screens) {
    float scale = 1.0f;
    if (systemVersion < kMinVersionForScreens || screens == nullptr) return scale;
    for (const double factor : screens->backingScaleFactors()) {
        const float f = static_cast<float>(factor);
        if (f > scale) scale = f; // a NaN never wins
    }
    // A reported factor beyond any real display would only make the canvas huge.
    return std::min(scale, kLargestScale);
}

int buildCharacterList(std::u16string_view characterSet,
                       std::array<int, kCharacterListCapacity>& list) {
    int count = 0;
    for (const char16_t unit : characterSet) {
        if (count == kCharacterListCapacity - 1) break; // the space keeps the last place
        // A character beyond the Basic Multilingual Plane is two surrogate halves, neither of
        // which is a character of its own: both are left out.
        if (unit == kLineFeed || (unit >= 0xD800 && unit <= 0xDFFF)) continue;
        // The first byte of the unit's UTF-8 form, as a signed byte.
        int code;
        if (unit < 0x80) {
            code = unit;
        } else if (unit < 0x800) {
            code = static_cast<signed char>(0xC0 | (unit >> 6));
        } else {
            code = static_cast<signed char>(0xE0 | (unit >> 12));
        }
        list[count++] = code;
    }
    list[count++] = kSpace;
    return count;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char b = byteAt(i);
        int length = 0;
        char32_t cp = 0;
        char32_t smallest = 0;
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        } else if (b >= 0xC2 && b < 0xE0) {
            length = 2, cp = b & 0x1F, smallest = 0x80;
        } else if (b >= 0xE0 && b < 0xF0) {
            length = 3, cp = b & 0x0F, smallest = 0x800;
        } else if (b >= 0xF0 && b < 0xF5) {
            length = 4, cp = b & 0x07, smallest = 0x10000;
        }
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char c = byteAt(i + k);
            if ((c & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (c & 0x3F);
        }
        valid = valid && cp >= smallest && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        if (!valid) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

char highHexDigit(int value) {
    const int q = value / 16;
    if (q < 0 || q > 15) {
        systemLog("Shouldn't Be Hit B1");
        return 0;
    }
    return kDigits[q];
}

char lowHexDigit(int value) {
    const int r = value % 16;
    if (r < 0) {
        systemLog("Shouldn't Be Hit B2");
        return 0;
    }
    return kDigits[r];
}

std::uint64_t correctForAlpha(std::uint64_t value, std::uint64_t alpha) {
    const double divisor = static_cast<double>(alpha + 1) / 255.0;
    return static_cast<std::uint64_t>(static_cast<double>(value) / divisor);
}

float cellBrightness(std::uint64_t red, std::uint64_t green, std::uint64_t blue) {
    const double l = (static_cast<double>(red) * 0.3 + static_cast<double>(green) * 0.59) +
                     static_cast<double>(blue) * 0.11;
    return static_cast<float>(l);
}

CharacterMatcher::CharacterMatcher(const CharacterTable& table, const int* list, int count) {
    count = std::clamp(count, 0, kCharacterListCapacity);
    for (int k = 0; k < count; ++k) {
        const int index = getChar(table, static_cast<char>(list[k]));
        if (index < 0) continue; // a code the table lacks takes no part in the match
        const CharacterRecord& record = table[static_cast<std::size_t>(index)];
        inOrder_[static_cast<std::size_t>(inOrderCount_++)] = {record.black, record.ascii, k};
    }
    for (int k = 0; k < inOrderCount_; ++k) {
        const Candidate& c = inOrder_[static_cast<std::size_t>(k)];
        if (!std::isnan(c.black)) sorted_[static_cast<std::size_t>(sortedCount_++)] = c;
    }
    const auto first = sorted_.begin();
    const auto last = first + sortedCount_;
    std::sort(first, last, [](const Candidate& a, const Candidate& b) {
        return a.black < b.black || (a.black == b.black && a.order < b.order);
    });
    // Equal darkness means equal distance, and then the earlier entry wins: keep only it.
    const auto kept = std::unique(
        first, last, [](const Candidate& a, const Candidate& b) { return a.black == b.black; });
    sortedCount_ = static_cast<int>(kept - first);
}

std::int32_t CharacterMatcher::matchLinear(float brightness) const {
    const float target = brightness * kToBlackScale;
    float best = kNoMatchDistance;
    std::int32_t code = 0;
    for (int k = 0; k < inOrderCount_; ++k) {
        const Candidate& c = inOrder_[static_cast<std::size_t>(k)];
        const float distance = std::fabs(target + c.black);
        if (distance < best) {
            best = distance;
            code = c.ascii;
        }
    }
    return code;
}

// Exact shortcut for matchLinear. The signed distance target + black, rounded once, never
// decreases as black grows, so the absolute distance falls toward the crossing point and rises
// after it. The nearest entries therefore sit next to the crossing; every entry at that same
// distance is found by walking outward until the distance grows, and the earliest of them in
// list order wins, as in the linear search.
std::int32_t CharacterMatcher::match(float brightness) const {
    const int n = sortedCount_;
    if (n == 0) return 0;
    const float target = brightness * kToBlackScale;
    const auto distance = [&](int i) {
        return std::fabs(target + sorted_[static_cast<std::size_t>(i)].black);
    };
    const auto crossing =
        std::partition_point(sorted_.begin(), sorted_.begin() + n,
                             [&](const Candidate& c) { return target + c.black < 0.0f; });
    const int p = static_cast<int>(crossing - sorted_.begin());

    float best = INFINITY;
    if (p < n) best = distance(p);
    if (p > 0) best = std::min(best, distance(p - 1));
    if (!(best < kNoMatchDistance)) return 0;

    const Candidate* winner = nullptr;
    const auto consider = [&](int i) {
        if (distance(i) != best) return false;
        const Candidate& c = sorted_[static_cast<std::size_t>(i)];
        if (winner == nullptr || c.order < winner->order) winner = &c;
        return true;
    };
    for (int i = p; i < n && consider(i); ++i) {
    }
    for (int i = p - 1; i >= 0 && consider(i); --i) {
    }
    return winner != nullptr ? winner->ascii : 0;
}

ConversionStatus processImage(const ConversionInput& input, CellGrid& grid, ConversionInfo& info) {
    ConversionStatus status;
    const PointSize size = input.picture != nullptr ? input.picture->pointSize() : PointSize{};
    const GridSize g = computeGridSize(size.width, size.height, input.maxWidth);
    info.width = g.width;
    info.height = g.height;
    grid.width2 = g.width2;
    grid.height2 = g.height2;

    info.scale = scaleFactor(QVMacOSVersion(), input.screens);
    info.numCharacters = buildCharacterList(input.characterSet, info.charactersInSet);

    if (input.picture == nullptr || input.characters == nullptr) return status;
    const bool emptyGrid = g.width2 < 1 || g.height2 < 2;

    // An empty grid still has the picture read through (at no size), so that a damaged file
    // fails here as it would at any width instead of giving an empty result.
    RgbaCanvas canvas;
    if (!input.picture->renderCanvas(emptyGrid ? 0.0 : static_cast<double>(g.gw),
                                     emptyGrid ? 0.0 : static_cast<double>(g.gh),
                                     static_cast<double>(info.scale), canvas, status.error)) {
        status.ok = false;
        grid.width2 = 0;
        grid.height2 = 0;
        return status;
    }
    if (emptyGrid) return status;
    const std::size_t stride = static_cast<std::size_t>(canvas.width) * 4;
    const bool canvasUsable =
        canvas.width > 0 && canvas.height > 0 &&
        canvas.rgba.size() >= stride * static_cast<std::size_t>(canvas.height);

    const CharacterMatcher matcher(*input.characters, info.charactersInSet.data(),
                                   info.numCharacters);
    const float scale = info.scale;
    // Column by column: the grids are stored per column, so this walks them in memory order.
    // Every cell is independent of the others, so the order does not change the result.
    const int rows = std::min(g.height2, kGridRowCapacity) - 1;
    for (int x = 0; x < g.width2; ++x) {
        const auto px = static_cast<std::int64_t>(static_cast<float>(x) * scale);
        for (int y = 0; y < rows; ++y) {
            const auto py = static_cast<std::int64_t>(static_cast<float>(y) * scale);
            std::uint64_t* cell = grid.data[x][y];
            // A pixel the canvas does not have reads as transparent.
            if (canvasUsable && px < canvas.width && py < canvas.height) {
                const std::uint8_t* pixel = canvas.rgba.data() +
                                            static_cast<std::size_t>(py) * stride +
                                            static_cast<std::size_t>(px) * 4;
                cell[0] = pixel[0];
                cell[1] = pixel[1];
                cell[2] = pixel[2];
                cell[3] = pixel[3];
            } else {
                cell[0] = cell[1] = cell[2] = cell[3] = 0;
            }
            for (int c = 0; c < 3; ++c)
                cell[c] = correctForAlpha(cell[c], cell[3]);

            char* hex = grid.hexColor[x][y];
            for (int c = 0; c < 3; ++c) {
                const auto low32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(cell[c]));
                hex[2 * c] = highHexDigit(low32);
                hex[2 * c + 1] = lowHexDigit(low32);
            }
            grid.ascii[x][y] = matcher.match(cellBrightness(cell[0], cell[1], cell[2]));
        }
    }
    return status;
}

} // namespace gw
