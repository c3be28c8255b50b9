#include "engine/Engine.h"

#include "common/Log.h"
#include "engine/SystemVersion.h"
#include "engine/Tone.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

namespace gw {
namespace {

constexpr int kMinVersionForScreens = 1070;
constexpr float kHeightFactor = 0.5f;
constexpr float kLargestScale = 16.0f;
constexpr float kToBlackScale = -0.00390625f; // -1/256
constexpr float kLevels = 256.0f;             // brightness of a darkness of 1
constexpr float kNoMatchDistance = 10.0f;
constexpr char16_t kLineFeed = 10;
constexpr int kSpace = 32;
constexpr float kBlurRounding = 1e-3f; // brightness units, far below one of 256 levels
constexpr float kNeverChosen = 1e6f;   // an ink value no picture comes near
// Four floats worked on side by side (SSE on x86-64, NEON on ARM, plain code elsewhere).
using Lanes = float __attribute__((vector_size(16)));

// Truncates a size toward zero; sizes that are not numbers or below zero count as 0, sizes
// beyond int as the largest int.
int truncatedPoints(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(v);
}

const char kDigits[] = "0123456789abcdef";

// getChar without its log line: the darkness match beside the shape match has logged a code
// the table lacks already.
int entryOf(const CharacterTable& table, char c) {
    const int code = static_cast<signed char>(c == 0 ? ' ' : c);
    for (int i = 0; i < kTableEntries; ++i) {
        if (table[static_cast<std::size_t>(i)].ascii == code) return i;
    }
    return -1;
}

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
    float black = 1.0f;
    return match(brightness, black);
}

std::int32_t CharacterMatcher::match(float brightness, float& black) const {
    black = 1.0f;
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
    if (winner == nullptr) return 0;
    black = winner->black;
    return winner->ascii;
}

void inkGridOf(const CharacterTable& table, int& columns, int& rows) {
    columns = rows = 1;
    for (const CharacterRecord& r : table) {
        if (r.inkColumns >= 1 && r.inkRows >= 1 && r.inkColumns * r.inkRows <= kMaxInkCells) {
            columns = r.inkColumns;
            rows = r.inkRows;
            return;
        }
    }
}

ShapeMatcher::ShapeMatcher(const CharacterTable& table, const int* list, int count, int columns,
                           int rows)
    : darkness_(table, list, count), cells_(std::clamp(columns * rows, 1, kMaxInkCells)) {
    count = std::clamp(count, 0, kCharacterListCapacity);
    std::vector<std::array<float, kMaxInkCells>> found;
    for (int k = 0; k < count; ++k) {
        const int index = entryOf(table, static_cast<char>(list[k]));
        if (index < 0) continue;
        const CharacterRecord& r = table[static_cast<std::size_t>(index)];
        if (std::isnan(r.black)) continue;
        const bool hasGrid = r.inkColumns == columns && r.inkRows == rows;
        std::array<float, kMaxInkCells> pattern{};
        for (int i = 0; i < cells_; ++i) {
            const auto at = static_cast<std::size_t>(i);
            pattern[at] = hasGrid ? r.ink[at] : r.black;
        }
        candidates_.push_back({r.black, r.ascii});
        found.push_back(pattern);
    }
    // Padded to whole blocks with patterns too far from any picture to be chosen.
    padded_ = (found.size() + kBlock - 1) / kBlock * kBlock;
    patterns_.assign(padded_ * static_cast<std::size_t>(cells_), kNeverChosen);
    for (std::size_t c = 0; c < found.size(); ++c)
        for (int i = 0; i < cells_; ++i)
            patterns_[static_cast<std::size_t>(i) * padded_ + c] =
                found[c][static_cast<std::size_t>(i)];
}

// Least squares over the ink grid against every candidate: with the patterns laid out by grid
// cell the compiler runs the candidates side by side, which costs less than walking outward
// from the nearest mean and stopping early. Equally near patterns go to the earlier list entry,
// as in the darkness match.
std::int32_t ShapeMatcher::match(float brightness, const float* subcells, float offset,
                                 float& black) const {
    float low = INFINITY;
    float high = -INFINITY;
    for (int i = 0; i < cells_; ++i) {
        low = std::min(low, subcells[i]);
        high = std::max(high, subcells[i]);
    }
    if (!(high - low >= kFlatSpread) || candidates_.empty())
        return darkness_.match(brightness + offset, black);

    std::array<float, kMaxInkCells> target{};
    for (int i = 0; i < cells_; ++i)
        target[static_cast<std::size_t>(i)] = (subcells[i] + offset) * -kToBlackScale;
    // Every candidate, a block at a time, each block's distances summed in grid order while
    // they stay in registers.
    static_assert(kBlock == 2 * sizeof(Lanes) / sizeof(float));
    const std::size_t n = padded_;
    std::size_t best = 0;
    float bestDistance = INFINITY;
    for (std::size_t c0 = 0; c0 < n; c0 += kBlock) {
        Lanes firstSums{};
        Lanes secondSums{};
        for (int i = 0; i < cells_; ++i) {
            const float t = target[static_cast<std::size_t>(i)];
            const Lanes wanted = {t, t, t, t};
            const float* column = patterns_.data() + static_cast<std::size_t>(i) * n + c0;
            Lanes first;
            Lanes second;
            std::memcpy(&first, column, sizeof first);
            std::memcpy(&second, column + 4, sizeof second);
            const Lanes d0 = wanted - first;
            const Lanes d1 = wanted - second;
            firstSums += d0 * d0;
            secondSums += d1 * d1;
        }
        std::array<float, kBlock> distances;
        std::memcpy(distances.data(), &firstSums, sizeof firstSums);
        std::memcpy(distances.data() + 4, &secondSums, sizeof secondSums);
        for (std::size_t j = 0; j < kBlock; ++j) {
            if (distances[j] < bestDistance) {
                bestDistance = distances[j];
                best = c0 + j;
            }
        }
    }
    const Candidate* winner = &candidates_[best];
    black = winner->black;
    return winner->ascii;
}

namespace {

// The length of the canvas's rows in bytes, or 0 when its buffer lacks some row it claims.
std::size_t usableStride(const RgbaCanvas& canvas) {
    if (canvas.width <= 0 || canvas.height <= 0) return 0;
    const std::size_t stride = static_cast<std::size_t>(canvas.width) * 4;
    return canvas.rgba.size() >= stride * static_cast<std::size_t>(canvas.height) ? stride : 0;
}

// Stores a cell's sampled pixel, its colour digits and its brightness.
void storeCell(CellGrid& grid, int x, int y, const std::uint64_t (&pixel)[4],
               BrightnessPlane& plane) {
    std::uint64_t* cell = grid.data[x][y];
    cell[3] = pixel[3];
    for (int c = 0; c < 3; ++c)
        cell[c] = correctForAlpha(pixel[c], pixel[3]);
    char* hex = grid.hexColor[x][y];
    for (int c = 0; c < 3; ++c) {
        const auto low32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(cell[c]));
        hex[2 * c] = highHexDigit(low32);
        hex[2 * c + 1] = lowHexDigit(low32);
    }
    plane.cell(x, y) = cellBrightness(cell[0], cell[1], cell[2]);
}

// One pixel per cell, at `scale` pixels per point.
void sampleCells(const RgbaCanvas& canvas, float scale, BrightnessPlane& plane, CellGrid& grid) {
    plane.cells.assign(static_cast<std::size_t>(plane.columns) *
                           static_cast<std::size_t>(std::max(plane.rows, 0)),
                       0.0f);
    const std::size_t stride = usableStride(canvas);
    // Column by column: the grids are stored per column, so this walks them in memory order.
    for (int x = 0; x < plane.columns; ++x) {
        const auto px = static_cast<std::int64_t>(static_cast<float>(x) * scale);
        for (int y = 0; y < plane.rows; ++y) {
            const auto py = static_cast<std::int64_t>(static_cast<float>(y) * scale);
            std::uint64_t pixel[4] = {0, 0, 0, 0};
            // A pixel the canvas does not have reads as transparent.
            if (stride != 0 && px < canvas.width && py < canvas.height) {
                const std::uint8_t* p = canvas.rgba.data() + static_cast<std::size_t>(py) * stride +
                                        static_cast<std::size_t>(px) * 4;
                for (int c = 0; c < 4; ++c)
                    pixel[c] = p[c];
            }
            storeCell(grid, x, y, pixel, plane);
        }
    }
}

// The canvas holds one pixel per cell of the ink grid: each cell of the grid takes its pixel,
// the cell the mean of them.
void sampleCellsAndInk(const RgbaCanvas& canvas, BrightnessPlane& plane, CellGrid& grid) {
    const int inkCells = plane.inkColumns * plane.inkRows;
    const std::size_t cells =
        static_cast<std::size_t>(plane.columns) * static_cast<std::size_t>(std::max(plane.rows, 0));
    plane.cells.assign(cells, 0.0f);
    plane.subcells.assign(cells * static_cast<std::size_t>(inkCells), 0.0f);
    const std::size_t stride = usableStride(canvas);
    // Most pixels are opaque: their corrected values come from a table of the same function.
    std::array<std::uint64_t, 256> opaque{};
    for (std::size_t v = 0; v < opaque.size(); ++v)
        opaque[v] = correctForAlpha(v, 255);
    const auto corrected = [&](const std::uint64_t(&pixel)[4], int c) {
        return pixel[3] == 255 ? opaque[pixel[c]] : correctForAlpha(pixel[c], pixel[3]);
    };
    for (int y = 0; y < plane.rows; ++y) {
        for (int x = 0; x < plane.columns; ++x) {
            std::uint64_t total[4] = {0, 0, 0, 0};
            float* sub = plane.subcellsOf(x, y);
            for (int j = 0; j < plane.inkRows; ++j) {
                const std::int64_t py = static_cast<std::int64_t>(y) * plane.inkRows + j;
                for (int i = 0; i < plane.inkColumns; ++i) {
                    const std::int64_t px = static_cast<std::int64_t>(x) * plane.inkColumns + i;
                    std::uint64_t pixel[4] = {0, 0, 0, 0};
                    // A pixel the canvas does not have reads as transparent.
                    if (stride != 0 && px < canvas.width && py < canvas.height) {
                        const std::uint8_t* p = canvas.rgba.data() +
                                                static_cast<std::size_t>(py) * stride +
                                                static_cast<std::size_t>(px) * 4;
                        for (int c = 0; c < 4; ++c) {
                            pixel[c] = p[c];
                            total[c] += p[c];
                        }
                    }
                    sub[j * plane.inkColumns + i] = cellBrightness(
                        corrected(pixel, 0), corrected(pixel, 1), corrected(pixel, 2));
                }
            }
            const auto count = static_cast<std::uint64_t>(inkCells);
            std::uint64_t mean[4];
            for (int c = 0; c < 4; ++c)
                mean[c] = (total[c] + count / 2) / count;
            storeCell(grid, x, y, mean, plane);
        }
    }
}

// A Gaussian of `sigma` samples, cut at three sigmas, its weights summing to 1.
std::vector<float> gaussian(float sigma) {
    const int radius = std::max(1, static_cast<int>(std::ceil(3.0f * sigma)));
    std::vector<float> weights(static_cast<std::size_t>(2 * radius + 1));
    float total = 0.0f;
    for (int i = -radius; i <= radius; ++i) {
        const float w = std::exp(-0.5f * static_cast<float>(i * i) / (sigma * sigma));
        weights[static_cast<std::size_t>(i + radius)] = w;
        total += w;
    }
    for (float& w : weights)
        w /= total;
    return weights;
}

// Blurs `count` values `stride` apart, the edge values repeated beyond the ends, into `out`.
void blurLine(const float* in, float* out, int count, std::ptrdiff_t stride,
              const std::vector<float>& weights) {
    const int radius = static_cast<int>(weights.size() / 2);
    for (int i = 0; i < count; ++i) {
        float sum = 0.0f;
        for (int k = -radius; k <= radius; ++k)
            sum += weights[static_cast<std::size_t>(k + radius)] *
                   in[std::clamp(i + k, 0, count - 1) * stride];
        out[i * stride] = sum;
    }
}

} // namespace

void emphasizeDetail(BrightnessPlane& plane) {
    const int inkCells = plane.inkColumns * plane.inkRows;
    if (plane.columns <= 0 || plane.rows <= 0 || plane.subcells.empty()) return;
    // The surroundings are smooth, so one value per cell serves: the cells' mean subcell,
    // blurred across and down (a cell is 1 / kHeightFactor cell widths high).
    const std::size_t width = static_cast<std::size_t>(plane.columns);
    std::vector<float> means(plane.cells.size());
    for (int y = 0; y < plane.rows; ++y)
        for (int x = 0; x < plane.columns; ++x) {
            const float* sub = plane.subcellsOf(x, y);
            float sum = 0.0f;
            for (int k = 0; k < inkCells; ++k)
                sum += sub[k];
            means[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)] =
                sum / static_cast<float>(inkCells);
        }
    std::vector<float> across(means.size());
    std::vector<float> surround(means.size());
    const std::vector<float> horizontal = gaussian(kDetailRadius);
    const std::vector<float> vertical = gaussian(kDetailRadius * kHeightFactor);
    for (int y = 0; y < plane.rows; ++y)
        blurLine(&means[static_cast<std::size_t>(y) * width],
                 &across[static_cast<std::size_t>(y) * width], plane.columns, 1, horizontal);
    for (int x = 0; x < plane.columns; ++x)
        blurLine(&across[static_cast<std::size_t>(x)], &surround[static_cast<std::size_t>(x)],
                 plane.rows, static_cast<std::ptrdiff_t>(width), vertical);
    for (int y = 0; y < plane.rows; ++y)
        for (int x = 0; x < plane.columns; ++x) {
            const float around =
                surround[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
            float* sub = plane.subcellsOf(x, y);
            float change = 0.0f;
            for (int k = 0; k < inkCells; ++k) {
                float detail = sub[k] - around;
                // The blur's rounding, not detail: a flat area stays exactly as sampled.
                if (std::abs(detail) < kBlurRounding) detail = 0.0f;
                const float v = std::clamp(sub[k] + kDetailGain * detail, 0.0f, 255.0f);
                change += v - sub[k];
                sub[k] = v;
            }
            plane.cell(x, y) += change / static_cast<float>(inkCells);
        }
}

namespace {

// Floyd-Steinberg weights, in sixteenths, of the cells after the current one in scan order.
struct Spread {
    int dx;
    int dy;
    float weight;
};
constexpr std::array<Spread, 4> kFloydSteinberg = {
    {{1, 0, 7.0f / 16.0f}, {-1, 1, 3.0f / 16.0f}, {0, 1, 5.0f / 16.0f}, {1, 1, 1.0f / 16.0f}}};

// Chooses every cell's character from the plane.
void matchCells(const ConversionInput& input, const ConversionInfo& info, BrightnessPlane& plane,
                CellGrid& grid) {
    // One matcher per conversion, so that a code the table lacks is logged once.
    std::optional<CharacterMatcher> darkness;
    std::optional<ShapeMatcher> shape;
    if (input.match == MatchMode::Shape) {
        shape.emplace(*input.characters, info.charactersInSet.data(), info.numCharacters,
                      plane.inkColumns, plane.inkRows);
    } else {
        darkness.emplace(*input.characters, info.charactersInSet.data(), info.numCharacters);
    }
    const auto matchOne = [&](int x, int y, float offset, float& black) {
        return shape ? shape->match(plane.cell(x, y), plane.subcellsOf(x, y), offset, black)
                     : darkness->match(plane.cell(x, y) + offset, black);
    };
    if (!input.dither) {
        float black = 1.0f;
        for (int x = 0; x < plane.columns; ++x) {
            for (int y = 0; y < plane.rows; ++y)
                grid.ascii[x][y] =
                    shape ? matchOne(x, y, 0.0f, black) : darkness->match(plane.cell(x, y));
        }
        return;
    }
    // The error carried into each cell of this row and the next; serpentine, so that the error
    // does not drift toward one side.
    std::vector<float> current(static_cast<std::size_t>(plane.columns) + 2, 0.0f);
    std::vector<float> next(current.size(), 0.0f);
    for (int y = 0; y < plane.rows; ++y) {
        const bool leftToRight = y % 2 == 0;
        const int step = leftToRight ? 1 : -1;
        for (int n = 0; n < plane.columns; ++n) {
            const int x = leftToRight ? n : plane.columns - 1 - n;
            const float wanted = plane.cell(x, y);
            // Carried error never asks for more than black or white can give.
            const float carried =
                std::clamp(wanted + current[static_cast<std::size_t>(x) + 1], 0.0f, 255.0f) -
                wanted;
            float black = 1.0f;
            const std::int32_t code = matchOne(x, y, carried, black);
            grid.ascii[x][y] = code;
            const float error = code == 0 ? 0.0f : wanted + carried - black * kLevels;
            for (const Spread& s : kFloydSteinberg) {
                std::vector<float>& row = s.dy == 0 ? current : next;
                row[static_cast<std::size_t>(x + s.dx * step) + 1] += error * s.weight;
            }
        }
        std::swap(current, next);
        std::fill(next.begin(), next.end(), 0.0f);
    }
}

} // namespace

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

    // The shape match draws the picture at one pixel per cell of the ink grid, so that each
    // pixel is the mean of the picture under that part of the cell; the darkness match at one
    // pixel per cell (times the screens' scale, of which it samples the first pixel).
    int inkColumns = 1;
    int inkRows = 1;
    if (input.match == MatchMode::Shape) inkGridOf(*input.characters, inkColumns, inkRows);
    const bool shape = input.match == MatchMode::Shape;
    const double canvasWidth = static_cast<double>(g.gw) * (shape ? inkColumns : 1);
    const double canvasHeight = static_cast<double>(g.gh) * (shape ? inkRows : 1);
    const double canvasScale = shape ? 1.0 : static_cast<double>(info.scale);
    // An empty grid still has the picture read through (at no size), so that a damaged file
    // fails here as it would at any width instead of giving an empty result.
    RgbaCanvas canvas;
    if (!input.picture->renderCanvas(emptyGrid ? 0.0 : canvasWidth, emptyGrid ? 0.0 : canvasHeight,
                                     canvasScale, canvas, status.error)) {
        status.ok = false;
        grid.width2 = 0;
        grid.height2 = 0;
        return status;
    }
    info.partial = canvas.partial;
    if (emptyGrid) return status;

    BrightnessPlane plane;
    plane.columns = g.width2;
    plane.rows = std::min(g.height2, kGridRowCapacity) - 1;
    if (shape) {
        plane.inkColumns = inkColumns;
        plane.inkRows = inkRows;
        sampleCellsAndInk(canvas, plane, grid);
    } else {
        sampleCells(canvas, info.scale, plane, grid);
    }
    applyTone(input.tone, plane);
    if (shape) emphasizeDetail(plane);
    matchCells(input, info, plane, grid);
    return status;
}

} // namespace gw
