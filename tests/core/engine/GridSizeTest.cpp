#include "engine/Engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

namespace gw {
namespace {

struct SizeCase {
    double w, h;
    int maxWidth;
    int width2, height2;
    float gw, gh;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.w << "x" << c.h << " max " << c.maxWidth;
}

class GridSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(GridSizeTest, MatchesTheWorkedExamples) {
    const SizeCase& c = GetParam();
    const GridSize g = computeGridSize(c.w, c.h, c.maxWidth);
    EXPECT_EQ(g.width2, c.width2);
    EXPECT_EQ(g.height2, c.height2);
    EXPECT_EQ(g.gw, c.gw);
    EXPECT_EQ(g.gh, c.gh);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, GridSizeTest,
    ::testing::Values(SizeCase{1024, 768, 80, 80, 30, 80.0f, 30.0f},
                      SizeCase{1024, 768, 600, 513, 192, 513.0f, 192.0f},
                      // 1000 * 513 / 2000 = 256.5 truncates to 256 before halving
                      SizeCase{2000, 1000, 600, 513, 128, 513.0f, 128.0f},
                      // 300 * 513 / 2000 = 76.95 truncates; the canvas keeps 256.5 points
                      SizeCase{300, 2000, 600, 76, 256, 76.0f, 256.5f},
                      // never enlarged
                      SizeCase{40, 30, 100, 40, 15, 40.0f, 15.0f},
                      SizeCase{101, 101, 200, 101, 50, 101.0f, 50.5f},
                      SizeCase{10, 3, 80, 10, 1, 10.0f, 1.5f},
                      // a maximum width equal to the picture's changes nothing
                      SizeCase{80, 40, 80, 80, 20, 80.0f, 20.0f},
                      // fractional points are truncated first
                      SizeCase{99.9, 50.9, 200, 99, 25, 99.0f, 25.0f}));

TEST(GridSizeEmpty, MaximumWidthZeroOrNegativeGivesAnEmptyGrid) {
    for (const int m : {0, -1, -600, std::numeric_limits<int>::min()}) {
        const GridSize g = computeGridSize(1024, 768, m);
        EXPECT_EQ(g.width2, 0) << m;
        EXPECT_EQ(g.height2, 0) << m;
        EXPECT_EQ(g.width, 1024) << "the picture size is still reported";
        EXPECT_EQ(g.height, 768);
    }
}

TEST(GridSizeEmpty, PictureOfWidthZeroDoesNotDivideByZero) {
    for (const int m : {-5, 0, 80}) {
        const GridSize g = computeGridSize(0, 768, m);
        EXPECT_EQ(g.width2, 0);
        EXPECT_EQ(g.height2, 0);
    }
    const GridSize none = computeGridSize(0, 0, 80);
    EXPECT_EQ(none.width, 0);
    EXPECT_EQ(none.height, 0);
    EXPECT_EQ(none.width2, 0);
    EXPECT_EQ(none.height2, 0);
}

TEST(GridSizeEmpty, PictureOfHeightZeroHasColumnsButNoRows) {
    const GridSize g = computeGridSize(100, 0, 80);
    EXPECT_EQ(g.width2, 80);
    EXPECT_EQ(g.height2, 0);
}

TEST(GridSizeLimits, HugeAndInvalidSizesStayWithinTheGrid) {
    const GridSize huge = computeGridSize(1e12, 1e12, std::numeric_limits<int>::max());
    EXPECT_EQ(huge.width2, 513);
    EXPECT_EQ(huge.height2, 256);
    // 40000 * 513 overflows 32 bits; the result must still be the true quotient.
    const GridSize tall = computeGridSize(5000, 4'200'000, 1000);
    EXPECT_EQ(tall.width2, 0); // 5000 * 513 / 4200000 = 0.61
    EXPECT_EQ(tall.height2, 256);
    const GridSize wide = computeGridSize(4'200'000, 5000, 1000);
    EXPECT_EQ(wide.width2, 513);
    EXPECT_EQ(wide.height2, 0);
    const GridSize nan = computeGridSize(std::nan(""), -3.0, 80);
    EXPECT_EQ(nan.width, 0);
    EXPECT_EQ(nan.height, 0);
    EXPECT_EQ(nan.width2, 0);
}

} // namespace
} // namespace gw
