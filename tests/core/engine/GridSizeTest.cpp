#include "engine/Engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace gw {
namespace {

struct SizeCase {
    double w, h;
    int maxWidth, width2, height2;
    float gw, gh;
};

TEST(GridSize, MatchesTheWorkedExamples) {
    const SizeCase cases[] = {
        {1024, 768, 80, 80, 30, 80, 30},
        {1024, 768, 600, 513, 192, 513, 192},
        {2000, 1000, 600, 513, 128, 513, 128}, // 256.5 truncates to 256 before halving
        {300, 2000, 600, 76, 256, 76, 256.5f}, // 76.95 truncates; the canvas keeps 256.5
        {40, 30, 100, 40, 15, 40, 15},         // never enlarged
        {101, 101, 200, 101, 50, 101, 50.5f},
        {10, 3, 80, 10, 1, 10, 1.5f},
        {99.9, 50.9, 200, 99, 25, 99, 25}, // points are truncated first
        {100, 0, 80, 80, 0, 80, 0},
        {1e12, 1e12, std::numeric_limits<int>::max(), 513, 256, 513, 256.5f},
        {5000, 4'200'000, 1000, 0, 256, 0, 256.5f}, // W * 513 overflows 32 bits
    };
    for (const SizeCase& c : cases) {
        const GridSize g = computeGridSize(c.w, c.h, c.maxWidth);
        EXPECT_EQ(g.width2, c.width2) << c.w << "x" << c.h << " max " << c.maxWidth;
        EXPECT_EQ(g.height2, c.height2) << c.w << "x" << c.h << " max " << c.maxWidth;
        EXPECT_EQ(g.gw, c.gw) << c.w << "x" << c.h;
        EXPECT_EQ(g.gh, c.gh) << c.w << "x" << c.h;
    }
}

TEST(GridSize, EmptyForNoWidthOrAMaximumOfZeroOrBelow) {
    for (const int m : {0, -1, std::numeric_limits<int>::min()}) {
        const GridSize g = computeGridSize(1024, 768, m);
        EXPECT_EQ(g.width2 + g.height2, 0) << m;
        EXPECT_EQ(g.width, 1024); // the picture's size is still reported
    }
    for (const double w : {0.0, -3.0, std::nan("")}) {
        const GridSize g = computeGridSize(w, 768, -5); // would divide by the width
        EXPECT_EQ(g.width, 0);
        EXPECT_EQ(g.width2 + g.height2, 0);
    }
}

} // namespace
} // namespace gw
