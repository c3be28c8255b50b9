// The shape match and the dither, end to end through processImage, on synthetic pictures and
// the shipped table (its darkness and ink grids are what the program draws with).

#include "FakePicture.h"
#include "palette/InitialSet.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace gw {
namespace {

Rgba grey(int v) {
    const auto b = static_cast<std::uint8_t>(v);
    return {b, b, b, 255};
}

// Every printable ASCII character.
std::u16string printable() {
    std::u16string set;
    for (char16_t c = 33; c <= 126; ++c)
        set.push_back(c);
    return set;
}

class MatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        const TableLoadResult loaded =
            loadCharacterTableFile(std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Table.txt", table);
        ASSERT_TRUE(loaded.ok) << loaded.error;
        inkGridOf(table, columns, rows);
        ASSERT_GE(columns * rows, 4) << "the shipped table has no ink grid";
    }

    // Converts a picture of 12 x 12 cells and returns the code of cell (5, 3).
    std::int32_t convert(const FakePicture& picture, MatchMode match, std::u16string_view set,
                         bool dither = false) {
        const ConversionInput input{&picture, 14, set, &table, nullptr, match, dither, {}};
        EXPECT_TRUE(processImage(input, *grid, info).ok);
        return grid->ascii[5][3];
    }

    // Mean brightness of the ink grid's cells in `column` (left 0), 0 black to 1 blank.
    double columnBrightness(std::int32_t code, int column) const {
        const CharacterRecord& r =
            table[static_cast<std::size_t>(getChar(table, static_cast<char>(code)))];
        double sum = 0.0;
        for (int y = 0; y < r.inkRows; ++y)
            sum += r.ink[static_cast<std::size_t>(y * r.inkColumns + column)];
        return sum / r.inkRows;
    }

    CharacterTable table{};
    int columns = 1;
    int rows = 1;
    CellGridPtr grid = makeCellGrid();
    ConversionInfo info;
};

TEST_F(MatchTest, AVerticalEdgePicksACharacterWithInkOnThatSide) {
    for (const bool darkLeft : {true, false}) {
        // Each cell dark in its left (or right) half, white in the other.
        const int c = columns;
        const FakePicture edge(
            12, 24, [=](int x, int) { return (x % c < c / 2) == darkLeft ? grey(0) : grey(255); });
        const std::int32_t code = convert(edge, MatchMode::Shape, printable());
        ASSERT_GT(code, 32) << darkLeft;
        const double left = columnBrightness(code, 0);
        const double right = columnBrightness(code, columns - 1);
        EXPECT_LT(darkLeft ? left : right, (darkLeft ? right : left) - 0.25)
            << static_cast<char>(code)
            << (darkLeft ? " for a dark left half" : " for a dark right half");
    }
}

// Detail too faint for the ink's narrow range on its own: a 24-level step between the halves.
TEST_F(MatchTest, AFaintVerticalEdgeStillPicksInkOnItsDarkSide) {
    for (const bool darkLeft : {true, false}) {
        const int c = columns;
        const FakePicture edge(12, 24, [=](int x, int) {
            return (x % c < c / 2) == darkLeft ? grey(116) : grey(140);
        });
        const std::int32_t code = convert(edge, MatchMode::Shape, printable());
        ASSERT_GT(code, 32) << darkLeft;
        EXPECT_LT(columnBrightness(code, darkLeft ? 0 : columns - 1),
                  columnBrightness(code, darkLeft ? columns - 1 : 0))
            << static_cast<char>(code);
    }
}

TEST_F(MatchTest, ADiagonalPicksASlash) {
    for (const bool rising : {true, false}) {
        // A line corner to corner through each cell: the grid's cells it crosses are dark.
        const int c = columns;
        const int r = rows;
        const FakePicture diagonal(12, 24, [=](int x, int y) {
            const int i = x % c;
            const int along = (y % r) * c / r; // the column the line is in at this row
            return i == (rising ? c - 1 - along : along) ? grey(0) : grey(255);
        });
        EXPECT_EQ(static_cast<char>(convert(diagonal, MatchMode::Shape, printable())),
                  rising ? '/' : '\\');
    }
}

TEST_F(MatchTest, AFlatCellPicksWhatTheDarknessMatchPicks) {
    for (const std::u16string& set : {printable(), utf8ToUtf16(kInitialCharacterSet)}) {
        for (int v = 0; v <= 255; v += 5) {
            const FakePicture flat(12, 24, [=](int, int) { return grey(v); });
            const std::int32_t darkness = convert(flat, MatchMode::Darkness, set);
            EXPECT_EQ(convert(flat, MatchMode::Shape, set), darkness) << v;
        }
    }
}

// The shape match keeps the darkness match beside it for flat cells; a code the table lacks is
// still logged once per conversion, not once per matcher.
TEST_F(MatchTest, ACodeTheTableLacksIsLoggedOnce) {
    testing::LogCapture log;
    const FakePicture flat(12, 24, [](int, int) { return grey(0); });
    convert(flat, MatchMode::Shape, u"\t@");
    EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "Shouldn't Be Hit A"), 1);
    EXPECT_EQ(grid->ascii[5][3], '@');
}

// The darkness match alone puts one character on a flat area, off by up to half a step; the
// dither mixes the two nearest so that the area's mean comes back to the picture's.
TEST_F(MatchTest, DitheringKeepsAFlatAreasMeanWithinOneTableStep) {
    const std::u16string set = utf8ToUtf16(kInitialCharacterSet);
    std::vector<float> levels; // the set's darkness levels, in brightness units
    for (const char16_t c : set + u" ")
        levels.push_back(
            table[static_cast<std::size_t>(getChar(table, static_cast<char>(c)))].black * 256.0f);
    for (const MatchMode match : {MatchMode::Darkness, MatchMode::Shape}) {
        for (const int v : {20, 70, 128, 161, 230}) {
            const FakePicture flat(60, 80, [=](int, int) { return grey(v); });
            const ConversionInput input{&flat, 60, set, &table, nullptr, match, true, {}};
            ASSERT_TRUE(processImage(input, *grid, info).ok);
            double sum = 0.0;
            int cells = 0;
            for (int x = 1; x < grid->width2 - 1; ++x) {
                for (int y = 1; y < grid->height2 - 1; ++y, ++cells) {
                    const int index = getChar(table, static_cast<char>(grid->ascii[x][y]));
                    sum += table[static_cast<std::size_t>(index)].black * 256.0;
                }
            }
            const std::uint64_t corrected = correctForAlpha(static_cast<std::uint64_t>(v), 255);
            const double brightness = cellBrightness(corrected, corrected, corrected);
            float below = 0.0f;
            float above = 256.0f;
            for (const float level : levels) {
                if (level <= brightness) below = std::max(below, level);
                if (level >= brightness) above = std::min(above, level);
            }
            const double step = std::max(above - below, 1.0f);
            EXPECT_NEAR(sum / cells, brightness, step) << v;
            // Closer than the darkness match alone can come between two levels.
            EXPECT_LT(std::abs(sum / cells - brightness), step / 2) << v;
        }
    }
}

// The search sums distances four candidates at a time over padded blocks; it must still find
// a nearest pattern.
TEST_F(MatchTest, TheShapeSearchFindsANearestPattern) {
    const std::u16string set = printable();
    std::array<int, kCharacterListCapacity> list{};
    const int count = buildCharacterList(set, list);
    const ShapeMatcher matcher(table, list.data(), count, columns, rows);
    const int cells = columns * rows;
    const auto distance = [&](std::int32_t code, const std::vector<float>& target) {
        const CharacterRecord& r =
            table[static_cast<std::size_t>(getChar(table, static_cast<char>(code)))];
        // A record without a grid (the space) is evenly grey.
        const bool hasGrid = r.inkColumns == columns && r.inkRows == rows;
        double sum = 0.0;
        for (int i = 0; i < cells; ++i) {
            const double d = target[static_cast<std::size_t>(i)] / 256.0 -
                             (hasGrid ? r.ink[static_cast<std::size_t>(i)] : r.black);
            sum += d * d;
        }
        return sum;
    };
    std::uint32_t seed = 12345;
    const auto random = [&] { return (seed = seed * 1664525u + 1013904223u) >> 24; };
    for (int round = 0; round < 2000; ++round) {
        std::vector<float> target(static_cast<std::size_t>(cells));
        const float base = static_cast<float>(random());
        const float reach = static_cast<float>(random() % 96 + 8);
        for (float& t : target)
            t = std::clamp(base + reach * (static_cast<float>(random()) / 255.0f - 0.5f), 0.0f,
                           255.0f);
        if (*std::max_element(target.begin(), target.end()) -
                *std::min_element(target.begin(), target.end()) <
            ShapeMatcher::kFlatSpread)
            continue;
        float black = 1.0f;
        const std::int32_t code = matcher.match(0.0f, target.data(), 0.0f, black);
        double nearest = INFINITY;
        for (int k = 0; k < count; ++k)
            nearest = std::min(nearest, distance(list[static_cast<std::size_t>(k)], target));
        ASSERT_LE(distance(code, target), nearest + 1e-5)
            << round << ' ' << static_cast<char>(code);
    }
}

// A plane of 6 x 5 cells on a 2 x 4 ink grid, each subcell given by `value(x, y)` in subcell
// coordinates, each cell the mean of its subcells.
BrightnessPlane planeOf(float (*value)(int, int)) {
    BrightnessPlane plane;
    plane.columns = 6;
    plane.rows = 5;
    plane.inkColumns = 2;
    plane.inkRows = 4;
    plane.cells.assign(30, 0.0f);
    plane.subcells.assign(30 * 8, 0.0f);
    for (int y = 0; y < plane.rows; ++y) {
        for (int x = 0; x < plane.columns; ++x) {
            float sum = 0.0f;
            for (int j = 0; j < 4; ++j) {
                for (int i = 0; i < 2; ++i) {
                    const float v = value(x * 2 + i, y * 4 + j);
                    plane.subcellsOf(x, y)[j * 2 + i] = v;
                    sum += v;
                }
            }
            plane.cell(x, y) = sum / 8.0f;
        }
    }
    return plane;
}

TEST(EmphasizeDetail, LeavesAFlatAreaExactlyAsSampled) {
    for (const float level : {0.0f, 0.3f, 97.7f, 128.0f, 255.0f}) {
        static float shared;
        shared = level;
        BrightnessPlane plane = planeOf([](int, int) { return shared; });
        const BrightnessPlane before = plane;
        emphasizeDetail(plane);
        EXPECT_EQ(plane.subcells, before.subcells) << level;
        EXPECT_EQ(plane.cells, before.cells) << level;
    }
}

TEST(EmphasizeDetail, RaisesAnEdgesContrastWithinTheRange) {
    // Dark on the left six subcell columns, light on the right six.
    for (const auto& [dark, light] : {std::pair{100.0f, 150.0f}, std::pair{10.0f, 250.0f}}) {
        static float lo;
        static float hi;
        lo = dark;
        hi = light;
        BrightnessPlane plane = planeOf([](int x, int) { return x < 6 ? lo : hi; });
        emphasizeDetail(plane);
        for (int y = 0; y < plane.rows; ++y) {
            // The cells beside the edge move apart; no subcell leaves 0-255.
            EXPECT_LT(plane.cell(2, y), dark) << dark;
            EXPECT_GT(plane.cell(3, y), light) << dark;
            for (int x = 0; x < plane.columns; ++x) {
                float sum = 0.0f;
                for (int k = 0; k < 8; ++k) {
                    const float v = plane.subcellsOf(x, y)[k];
                    EXPECT_GE(v, 0.0f);
                    EXPECT_LE(v, 255.0f);
                    sum += v;
                }
                EXPECT_NEAR(plane.cell(x, y), sum / 8.0f, 1e-3f);
            }
        }
    }
}

} // namespace
} // namespace gw
