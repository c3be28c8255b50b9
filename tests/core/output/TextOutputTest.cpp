#include "output/TextOutput.h"

#include <gtest/gtest.h>

namespace gw {
namespace {

class TextOutputTest : public ::testing::Test {
protected:
    // A width x height grid framed in '#', with `inner` from cell (1, 1) on.
    void fill(int width, int height, const std::vector<std::string>& inner = {}) {
        grid->width2 = width;
        grid->height2 = height;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                grid->ascii[x][y] = '#';
        }
        for (std::size_t r = 0; r < inner.size(); ++r) {
            for (std::size_t c = 0; c < inner[r].size(); ++c) {
                grid->ascii[c + 1][r + 1] = static_cast<unsigned char>(inner[r][c]);
            }
        }
    }
    void color(int x, int y, std::uint64_t r, std::uint64_t g, std::uint64_t b) {
        grid->data[x][y][0] = r;
        grid->data[x][y][1] = g;
        grid->data[x][y][2] = b;
    }
    CellGridPtr grid = makeCellGrid();
};

TEST_F(TextOutputTest, PlainTextHoldsTheInnerCellsOneLineFeedPerRow) {
    fill(5, 4, {"@ +", "abc"});
    grid->ascii[3][2] = 0x163; // the low byte counts
    EXPECT_EQ(plainText(*grid), "@ +\nabc\n");
    fill(2, 5); // grids without visible cells are in OutputsTest
    EXPECT_EQ(ansiText(*grid, true), "\x1b[0m\n\x1b[0m\n\x1b[0m\n");
}

TEST_F(TextOutputTest, AnsiColoursEachChangeAndShowsControlBytesAsQuestionMarks) {
    fill(6, 4, {"@@ +", "..."});
    color(1, 1, 254, 0, 0);
    color(2, 1, 254, 0, 0); // same colour: no new sequence
    color(3, 1, 9, 9, 9);   // a space keeps the current colour
    color(4, 1, 0, 127, 63);
    color(1, 2, 1, 2, 3);
    color(2, 2, 1, 2, 3);
    color(3, 2, 1, 2, 4);
    grid->ascii[4][2] = '.';
    color(4, 2, 1, 2, 4);
    EXPECT_EQ(ansiText(*grid, true), "\x1b[38;2;254;0;0m@@ \x1b[38;2;0;127;63m+\x1b[0m\n"
                                     "\x1b[38;2;1;2;3m..\x1b[38;2;1;2;4m..\x1b[0m\n");
    EXPECT_EQ(ansiText(*grid, false), plainText(*grid));
    grid->ascii[1][1] = 27;
    grid->ascii[2][1] = 0xe9;
    EXPECT_EQ(ansiText(*grid, false).substr(0, 5), "?? +\n");
}

} // namespace
} // namespace gw
