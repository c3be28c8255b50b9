// The tone adjustments: the mapping on its own, and end to end through processImage with the
// shipped table.

#include "engine/Tone.h"
#include "FakePicture.h"
#include "palette/InitialSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace gw {
namespace {

Rgba grey(int v) {
    const auto b = static_cast<std::uint8_t>(std::clamp(v, 0, 255));
    return {b, b, b, 255};
}

// A picture of 64 x 32 cells (at one pixel per cell, or per cell of the ink grid).
constexpr int kColumns = 64;
constexpr int kRows = 32;

class ToneTest : public ::testing::Test {
protected:
    void SetUp() override {
        const TableLoadResult loaded =
            loadCharacterTableFile(std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Table.txt", table);
        ASSERT_TRUE(loaded.ok) << loaded.error;
        inkGridOf(table, inkColumns, inkRows);
    }

    // The picture's cells as `greyOf(column, row)` gives them, every pixel of a cell alike.
    FakePicture picture(MatchMode match, std::function<int(int, int)> greyOf) const {
        const int c = match == MatchMode::Shape ? inkColumns : 1;
        const int r = match == MatchMode::Shape ? inkRows : 1;
        return FakePicture(kColumns, 2 * kRows + 1,
                           [=](int x, int y) { return grey(greyOf(x / c, y / r)); });
    }

    // The codes of the cells inside the frame, row by row.
    std::vector<std::int32_t> convert(const PictureSource& p, const ToneSettings& tone,
                                      MatchMode match = MatchMode::Darkness, bool dither = false) {
        const std::u16string set = utf8ToUtf16(kInitialCharacterSet);
        const ConversionInput input{&p, kColumns, set, &table, nullptr, match, dither, tone};
        EXPECT_TRUE(processImage(input, *grid, info).ok);
        std::vector<std::int32_t> codes;
        for (int y = 1; y < grid->height2 - 1; ++y)
            for (int x = 1; x < grid->width2 - 1; ++x)
                codes.push_back(grid->ascii[x][y]);
        return codes;
    }

    float darkness(std::int32_t code) const {
        return table[static_cast<std::size_t>(getChar(table, static_cast<char>(code)))].black;
    }

    CharacterTable table{};
    int inkColumns = 1;
    int inkRows = 1;
    CellGridPtr grid = makeCellGrid();
    ConversionInfo info;
};

// Every grey from black to white, along the rows.
int gradient(int x, int y) {
    return (y * kColumns + x) * 255 / (kColumns * kRows - 1);
}

ToneSettings tone(bool autoContrast, int contrast, int brightness, bool invert) {
    return {autoContrast, contrast, brightness, invert};
}

TEST(ToneMapping, LeavesThePlaneUntouchedAtTheDefaults) {
    BrightnessPlane plane;
    plane.columns = 3;
    plane.rows = 1;
    plane.inkColumns = 2;
    plane.cells = {0.0f, 127.3f, 300.5f}; // beyond white: a pixel that is not opaque
    plane.subcells = {-0.0f,  1.0f, 2.5f, 3.0f, 254.99f, 255.0f,
                      256.0f, 1e9f, 7.0f, 8.0f, 9.0f,    10.0f};
    const BrightnessPlane before = plane;
    applyTone({}, plane);
    ASSERT_EQ(plane.subcells.size(), before.subcells.size());
    EXPECT_EQ(std::memcmp(plane.cells.data(), before.cells.data(), sizeof(float) * 3), 0);
    EXPECT_EQ(std::memcmp(plane.subcells.data(), before.subcells.data(),
                          sizeof(float) * before.subcells.size()),
              0);
}

TEST(ToneMapping, EachStepAndItsOrder) {
    const ToneRange none;
    // Invert alone is 255 minus the brightness, exactly; what comes in is clamped first.
    for (const float v : {0.0f, 0.5f, 100.25f, 254.0f, 255.0f})
        EXPECT_EQ(adjustTone(tone(false, 0, 0, true), none, v), 255.0f - v) << v;
    EXPECT_EQ(adjustTone(tone(false, 0, 0, true), none, 300.0f), 0.0f);
    // Brightness moves by 2.55 per step, clamped; invert comes after it.
    EXPECT_FLOAT_EQ(adjustTone(tone(false, 0, 20, false), none, 100.0f), 151.0f);
    EXPECT_FLOAT_EQ(adjustTone(tone(false, 0, 20, true), none, 100.0f), 104.0f);
    EXPECT_EQ(adjustTone(tone(false, 0, 100, false), none, 0.0f), 255.0f);
    EXPECT_EQ(adjustTone(tone(false, 0, -100, false), none, 255.0f), 0.0f);
    // Contrast: -100 flattens to mid-grey; +100 is steep about mid-grey but keeps the order.
    for (const float v : {0.0f, 90.0f, 255.0f})
        EXPECT_EQ(adjustTone(tone(false, -100, 0, false), none, v), 127.5f) << v;
    const auto steep = [&](float v) { return adjustTone(tone(false, 100, 0, false), none, v); };
    EXPECT_EQ(steep(100.0f), 0.0f);
    EXPECT_EQ(steep(155.0f), 255.0f);
    EXPECT_LT(steep(127.0f), steep(128.0f));
    // Contrast before brightness: -100 then +20 is mid-grey plus 51.
    EXPECT_FLOAT_EQ(adjustTone(tone(false, -100, 20, false), none, 3.0f), 178.5f);
    // Auto contrast first, over its range.
    const ToneRange range{100.0f, 150.0f, true};
    EXPECT_FLOAT_EQ(adjustTone(tone(true, 0, 0, false), range, 125.0f), 127.5f);
    EXPECT_FLOAT_EQ(adjustTone(tone(true, 0, 0, true), range, 140.0f), 51.0f);
}

// More brightness never darkens a cell; more contrast moves every cell away from mid-grey; no
// setting swaps two brightnesses.
TEST(ToneMapping, IsMonotonic) {
    const ToneRange none;
    for (int setting = -100; setting < 100; setting += 5) {
        for (float v = 0.0f; v <= 255.0f; v += 0.5f) {
            const float b = adjustTone(tone(false, 0, setting, false), none, v);
            EXPECT_LE(b, adjustTone(tone(false, 0, setting + 5, false), none, v));
            const float c = adjustTone(tone(false, setting, 0, false), none, v);
            const float more = adjustTone(tone(false, setting + 5, 0, false), none, v);
            EXPECT_LE(std::abs(c - 127.5f), std::abs(more - 127.5f)) << setting << " " << v;
            for (const ToneSettings& t :
                 {tone(false, setting, 0, false), tone(false, setting, -setting, false)})
                EXPECT_LE(adjustTone(t, none, v), adjustTone(t, none, v + 0.5f)) << setting;
            const ToneSettings inverted = tone(false, setting, setting, true);
            EXPECT_GE(adjustTone(inverted, none, v), adjustTone(inverted, none, v + 0.5f));
        }
    }
}

TEST(ToneMapping, AutoContrastRangeLeavesOutOnePercentAtEitherEnd) {
    std::vector<float> cells;
    for (int i = 0; i < 1000; ++i)
        cells.push_back(100.0f + static_cast<float>(i % 41)); // 100 to 140, evenly
    for (int i = 0; i < 9; ++i) {
        cells.push_back(0.0f); // specks of black and white, under 1 % each
        cells.push_back(255.0f);
    }
    const ToneRange range = autoContrastRange(cells);
    EXPECT_TRUE(range.stretch);
    EXPECT_EQ(range.low, 100.0f);
    EXPECT_EQ(range.high, 140.25f); // the top of the highest quarter level

    const std::vector<float> flat(500, 93.7f);
    EXPECT_FALSE(autoContrastRange(flat).stretch);
    EXPECT_FALSE(autoContrastRange({}).stretch);
}

TEST_F(ToneTest, InvertedArtIsTheArtOfTheNegative) {
    const std::vector<std::int32_t> inverted =
        convert(picture(MatchMode::Darkness, gradient), tone(false, 0, 0, true));
    // The alpha correction reads an opaque grey v as v - 1, so 255 minus the brightness of v is
    // the brightness of the grey 257 - v: the negative two levels lighter. Only the two darkest
    // greys, which have no such counterpart, may differ.
    const std::vector<std::int32_t> negative = convert(
        picture(MatchMode::Darkness, [](int x, int y) { return 257 - gradient(x, y); }), {});
    int differ = 0;
    for (std::size_t i = 0; i < inverted.size(); ++i)
        differ += inverted[i] != negative[i] ? 1 : 0;
    EXPECT_LE(differ, 3);

    // The plain negative reads two levels darker, so its art is never lighter.
    const std::vector<std::int32_t> plain = convert(
        picture(MatchMode::Darkness, [](int x, int y) { return 255 - gradient(x, y); }), {});
    for (std::size_t i = 0; i < inverted.size(); ++i)
        EXPECT_GE(darkness(inverted[i]), darkness(plain[i])) << i;
}

TEST_F(ToneTest, MoreBrightnessOrContrastMovesNoCellTheWrongWay) {
    const FakePicture p = picture(MatchMode::Darkness, gradient);
    std::vector<std::int32_t> previous;
    for (const int setting : {-100, -60, -20, 0, 20, 60, 100}) {
        const std::vector<std::int32_t> codes = convert(p, tone(false, 0, setting, false));
        for (std::size_t i = 0; i < previous.size(); ++i)
            EXPECT_GE(darkness(codes[i]), darkness(previous[i])) << setting << " cell " << i;
        previous = codes;
    }
    previous.clear();
    for (const int setting : {-100, -60, -20, 0, 20, 60, 100}) {
        const std::vector<std::int32_t> codes = convert(p, tone(false, setting, 0, false));
        for (std::size_t i = 0; i < previous.size(); ++i) {
            // Cells below mid-grey get darker; the inner cells start at (1, 1).
            const int x = static_cast<int>(i) % (kColumns - 2) + 1;
            const int y = static_cast<int>(i) / (kColumns - 2) + 1;
            if (gradient(x, y) - 1 < 127.5)
                EXPECT_LE(darkness(codes[i]), darkness(previous[i])) << setting << " cell " << i;
            else
                EXPECT_GE(darkness(codes[i]), darkness(previous[i])) << setting << " cell " << i;
        }
        previous = codes;
    }
}

TEST_F(ToneTest, AutoContrastSpreadsANarrowRangeOverEveryCharacterAndLeavesAFlatPictureAlone) {
    // Greys 100 to 150 only.
    const FakePicture narrow =
        picture(MatchMode::Darkness, [](int x, int y) { return 100 + gradient(x, y) * 50 / 255; });
    const auto darknessRange = [&](const std::vector<std::int32_t>& codes) {
        std::set<float> seen;
        for (const std::int32_t c : codes)
            seen.insert(darkness(c));
        return std::make_tuple(*seen.begin(), *seen.rbegin(), seen.size());
    };
    std::set<float> levels;
    for (const char16_t c : utf8ToUtf16(kInitialCharacterSet) + u" ")
        levels.insert(darkness(c));
    const float full = *levels.rbegin() - *levels.begin();
    const auto [darkest, lightest, kinds] = darknessRange(convert(narrow, tone(true, 0, 0, false)));
    // The frame cells, which are never shown, take part in the percentiles: the shown cells
    // reach to within a few levels of either end.
    EXPECT_LT(darkest - *levels.begin(), 0.05f * full);
    EXPECT_LT(*levels.rbegin() - lightest, 0.05f * full);
    const auto [plainDarkest, plainLightest, plainKinds] = darknessRange(convert(narrow, {}));
    EXPECT_LT(plainLightest - plainDarkest, 0.3f * full);
    EXPECT_GT(2 * kinds, 3 * plainKinds);

    const FakePicture flat = picture(MatchMode::Darkness, [](int, int) { return 93; });
    EXPECT_EQ(convert(flat, tone(true, 0, 0, false)), convert(flat, {}));
}

// Auto contrast measures the cells; the ink-grid cells go through the same mapping.
TEST(ToneMapping, TheInkGridFollowsItsCells) {
    BrightnessPlane plane;
    plane.columns = 2;
    plane.rows = 1;
    plane.inkColumns = 2;
    plane.cells = {100.0f, 150.0f};
    plane.subcells = {90.0f, 110.0f, 140.0f, 160.0f};
    const ToneSettings t = tone(true, 10, -5, true);
    const ToneRange range = autoContrastRange(plane.cells);
    applyTone(t, plane);
    EXPECT_EQ(plane.cells,
              (std::vector<float>{adjustTone(t, range, 100.0f), adjustTone(t, range, 150.0f)}));
    EXPECT_EQ(plane.subcells,
              (std::vector<float>{adjustTone(t, range, 90.0f), adjustTone(t, range, 110.0f),
                                  adjustTone(t, range, 140.0f), adjustTone(t, range, 160.0f)}));
}

// An edge too faint for the shape match (its spread below ShapeMatcher::kFlatSpread, so the
// cell counts as flat) becomes one it sees once auto contrast stretches the picture: the art
// then tells a dark left half from a dark right half.
TEST_F(ToneTest, ShapeMatchSeesTheAdjustedInkGrid) {
    const auto edges = [&](bool darkLeft) {
        const int c = inkColumns;
        const int r = inkRows;
        // Rows of faint edges between rows of flat darker and lighter cells.
        return FakePicture(kColumns, 2 * kRows + 1, [=](int x, int y) {
            switch ((y / r) % 3) {
            case 0:
                return grey(127);
            case 1:
                return grey((x % c < c / 2) == darkLeft ? 126 : 129);
            default:
                return grey(128);
            }
        });
    };
    const FakePicture left = edges(true);
    const FakePicture right = edges(false);
    EXPECT_EQ(convert(left, {}, MatchMode::Shape), convert(right, {}, MatchMode::Shape));
    for (const bool invert : {false, true}) {
        const ToneSettings t = tone(true, 0, 0, invert);
        const std::vector<std::int32_t> a = convert(left, t, MatchMode::Shape);
        const std::vector<std::int32_t> b = convert(right, t, MatchMode::Shape);
        for (std::size_t i = 0; i < a.size(); ++i) {
            const bool edgeRow = (i / (kColumns - 2) + 1) % 3 == 1;
            EXPECT_EQ(a[i] != b[i], edgeRow) << i << (invert ? " inverted" : "");
        }
    }
}

// The dither diffuses the error of the adjusted brightness: an inverted flat area keeps the
// inverted tone on average.
TEST_F(ToneTest, DitherKeepsTheAdjustedTone) {
    for (const int v : {40, 128, 200}) {
        const FakePicture flat = picture(MatchMode::Darkness, [=](int, int) { return v; });
        for (const MatchMode match : {MatchMode::Darkness, MatchMode::Shape}) {
            const std::vector<std::int32_t> codes =
                convert(flat, tone(false, 0, 0, true), match, true);
            double sum = 0.0;
            for (const std::int32_t c : codes)
                sum += darkness(c) * 256.0;
            const std::uint64_t corrected = correctForAlpha(static_cast<std::uint64_t>(v), 255);
            EXPECT_NEAR(sum / static_cast<double>(codes.size()),
                        255.0 - cellBrightness(corrected, corrected, corrected), 4.0)
                << v;
        }
    }
}

} // namespace
} // namespace gw
