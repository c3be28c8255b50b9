#include "output/TextOutput.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace gw {
namespace {

class TextOutputTest : public ::testing::Test {
protected:
    // A width x height grid whose frame cells hold '#' and inner cells the given rows.
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

TEST_F(TextOutputTest, WritesOnlyTheInnerCellsOneLineFeedPerRow) {
    fill(5, 4, {"@ +", "abc"});
    EXPECT_EQ(plainText(*grid), "@ +\nabc\n");
}

TEST_F(TextOutputTest, ShortGridsGiveNoLinesOrEmptyLines) {
    fill(5, 2);
    EXPECT_EQ(plainText(*grid), "");
    fill(0, 0);
    EXPECT_EQ(plainText(*grid), "");
    fill(2, 5);
    EXPECT_EQ(plainText(*grid), "\n\n\n");
    EXPECT_EQ(ansiText(*grid, true), "\x1b[0m\n\x1b[0m\n\x1b[0m\n");
}

TEST_F(TextOutputTest, WritesTheLowByteOfEachCode) {
    fill(4, 3);
    grid->ascii[1][1] = 0x141; // low byte 'A'
    grid->ascii[2][1] = -1;
    EXPECT_EQ(plainText(*grid), std::string("A\xff\n"));
}

TEST_F(TextOutputTest, AnsiColourSetsEachChangeAndResetsAtLineEnd) {
    fill(5, 4, {"@@ +", "..."});
    grid->width2 = 6;
    color(1, 1, 254, 0, 0);
    color(2, 1, 254, 0, 0); // same colour: no new sequence
    color(3, 1, 9, 9, 9);   // a space keeps the current colour
    color(4, 1, 0, 127, 63);
    color(1, 2, 1, 2, 3);
    color(2, 2, 1, 2, 3);
    color(3, 2, 1, 2, 4);
    grid->ascii[4][2] = '#';
    color(4, 2, 1, 2, 4);
    EXPECT_EQ(ansiText(*grid, true), "\x1b[38;2;254;0;0m@@ \x1b[38;2;0;127;63m+\x1b[0m\n"
                                     "\x1b[38;2;1;2;3m..\x1b[38;2;1;2;4m.#\x1b[0m\n");
}

TEST_F(TextOutputTest, AnsiWithoutColourIsPlainAndShowsControlBytesAsQuestionMarks) {
    fill(5, 3, {"ab c"});
    grid->width2 = 6;
    EXPECT_EQ(ansiText(*grid, false), plainText(*grid));
    grid->ascii[1][1] = 27;
    grid->ascii[2][1] = 0xe9;
    grid->ascii[3][1] = 0;
    EXPECT_EQ(ansiText(*grid, false), "???c\n");
}

TEST_F(TextOutputTest, PlainTextFileHoldsExactlyTheTextBytes) {
    fill(5, 3, {"@ +"});
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("gw-text-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "art.txt").string();
    {
        std::ofstream old(path);
        old << "older and longer content";
    }
    std::string error;
    ASSERT_TRUE(writePlainTextFile(path, *grid, error)) << error;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes, std::string("\x40\x20\x2b\x0a"));

    EXPECT_FALSE(writePlainTextFile((dir / "missing" / "art.txt").string(), *grid, error));
    EXPECT_EQ(error, "No such file or directory");
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace gw
