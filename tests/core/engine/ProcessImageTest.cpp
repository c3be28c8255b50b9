#include "EngineFakes.h"

#include <gtest/gtest.h>

namespace gw {
namespace {

using test::FakePicture;
using test::Rgba;
using test::solid;

// '@' black, '+' mid grey, '.' light; the space is 1.0.
const CharacterTable kTable =
    test::makeTable({{'@', '@', 0.0f}, {'+', '+', 0.5f}, {'.', '.', 0.9f}});

class ProcessImageTest : public ::testing::Test {
protected:
    ConversionStatus run(const PictureSource* picture, int maxWidth, std::u16string_view set,
                         const CharacterTable& table = kTable,
                         const ScreenList* screens = nullptr) {
        return processImage({picture, maxWidth, set, &table, screens}, *grid, info);
    }

    test::VersionScope version{&test::linuxLikeVersion};
    CellGridPtr grid = makeCellGrid();
    ConversionInfo info;
};

TEST_F(ProcessImageTest, EmptyGridsNeitherDrawNorWriteCells) {
    grid->ascii[0][0] = 99;
    EXPECT_TRUE(run(nullptr, 80, u"abc").ok); // no picture counts as 0 x 0
    EXPECT_EQ(info.width + info.height + grid->width2 + grid->height2, 0);
    EXPECT_EQ(info.numCharacters, 4);

    FakePicture wide(1024, 768, solid({0, 0, 0, 255}));
    FakePicture flat(10, 3, solid({0, 0, 0, 255})); // one row, and the last is never filled
    run(&wide, 0, u"@");
    EXPECT_EQ(grid->width2, 0);
    run(&flat, 80, u"@");
    EXPECT_EQ(grid->height2, 1);
    EXPECT_TRUE(wide.calls.empty() && flat.calls.empty());
    EXPECT_EQ(grid->ascii[0][0], 99);
}

TEST_F(ProcessImageTest, FillsEveryColumnOfAllButTheLastRow) {
    FakePicture picture(101, 101, solid({0, 0, 0, 255}));
    for (int x = 0; x < 101; ++x)
        grid->ascii[x][49] = 99;
    run(&picture, 200, u"@");
    ASSERT_EQ(picture.calls.size(), 1u);
    EXPECT_EQ(picture.calls[0], (std::array<double, 3>{101.0, 50.5, 1.0}));
    for (int x = 0; x < 101; ++x) {
        for (int y = 0; y <= 48; ++y)
            ASSERT_EQ(grid->ascii[x][y], '@') << x << "," << y;
        ASSERT_EQ(grid->ascii[x][49], 99);
    }
}

TEST_F(ProcessImageTest, CorrectsColoursForAlphaAndWritesTheirDigits) {
    const std::tuple<Rgba, std::array<std::uint64_t, 4>, const char*> cases[] = {
        {{255, 255, 255, 255}, {254, 254, 254, 255}, "fefefe"},
        {{0, 0, 0, 255}, {0, 0, 0, 255}, "000000"},
        {{128, 64, 0, 255}, {127, 63, 0, 255}, "7f3f00"},
        {{0, 0, 0, 0}, {0, 0, 0, 0}, "000000"},         // transparent reads as black
        {{11, 11, 11, 32}, {84, 84, 84, 32}, "545454"}, // the double quotient lies below 85
    };
    for (const auto& [rgba, data, hex] : cases) {
        FakePicture picture(8, 8, solid(rgba));
        run(&picture, 80, u"");
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(grid->data[3][2][c], data[c]) << hex;
        EXPECT_EQ(std::string(grid->hexColor[3][2], 6), hex);
    }
    // Colour above alpha (not premultiplied): 255 * 255 has no high digit.
    test::LogCapture log;
    FakePicture bad(4, 4, solid({255, 0, 0, 0}));
    run(&bad, 80, u"@");
    EXPECT_EQ(grid->data[0][0][0], 65025u);
    EXPECT_EQ(std::string(grid->hexColor[0][0], 6), std::string("\0"
                                                                "10000",
                                                                6));
    EXPECT_EQ(log.count("Shouldn't Be Hit B1"), 4); // 4 columns x 1 filled row
}

TEST_F(ProcessImageTest, PicksTheNearestAndTheEarlierOfEqualOnes) {
    // Columns: black, mid grey, white.
    FakePicture picture(3, 6, [](int x, int) -> Rgba {
        const std::uint8_t v = x == 0 ? 0 : x == 1 ? 128 : 255;
        return {v, v, v, 255};
    });
    run(&picture, 80, u"@+.");
    EXPECT_EQ(grid->ascii[0][0], '@');
    EXPECT_EQ(grid->ascii[1][0], '+'); // 127 / 256
    EXPECT_EQ(grid->ascii[2][0], ' '); // 254 / 256: the space is strictly nearer than '.'

    const CharacterTable twins =
        test::makeTable({{'a', 'a', 0.25f}, {'b', 'b', 0.25f}, {'w', 'w', 1.0f}});
    run(&picture, 80, u"ab", twins);
    EXPECT_EQ(grid->ascii[0][0], 'a');
    run(&picture, 80, u"ba", twins);
    EXPECT_EQ(grid->ascii[0][0], 'b');
    run(&picture, 80, u"w", twins); // as light as the space, and the space comes last
    EXPECT_EQ(grid->ascii[2][0], 'w');
    run(&picture, 80, u"");
    EXPECT_EQ(grid->ascii[0][0], ' ');
}

TEST_F(ProcessImageTest, CodesTheTableLacksTakeNoPartAndAreLoggedOncePerConversion) {
    test::LogCapture log;
    FakePicture picture(4, 6, solid({0, 0, 0, 255}));
    run(&picture, 80, u"\u00e9\t\U0001F600+"); // lead byte 0xC3, a tab, two surrogate halves
    ASSERT_EQ(info.numCharacters, 6);
    EXPECT_EQ(info.charactersInSet[0], -61);
    EXPECT_EQ(info.charactersInSet[1], 9);
    EXPECT_LT(info.charactersInSet[2], 0);
    EXPECT_LT(info.charactersInSet[3], 0);
    EXPECT_EQ(grid->ascii[0][0], '+');
    EXPECT_EQ(log.count("Shouldn't Be Hit A"), 4);
}

TEST_F(ProcessImageTest, ScreensAreAskedOnlyFromVersion1070) {
    test::FakeScreens screens({1.0, 2.0, 1.5});
    FakePicture picture(20, 20, [](int x, int y) -> Rgba {
        return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0, 254};
    });
    run(&picture, 80, u"@", kTable, &screens);
    EXPECT_EQ(screens.asked, 0);
    EXPECT_EQ(picture.calls.back()[2], 1.0);

    test::VersionScope modern(+[](std::uint32_t& code) {
        code = 0x1070;
        return true;
    });
    run(&picture, 80, u"@", kTable, &screens);
    EXPECT_EQ(picture.calls.back()[2], 2.0);
    EXPECT_EQ(grid->data[3][4][0], 6u); // cell (3, 4) reads pixel (6, 8)
    EXPECT_EQ(grid->data[3][4][1], 8u);
    test::FakeScreens none({});
    run(&picture, 80, u"@", kTable, &none);
    EXPECT_EQ(info.scale, 1.0f);
}

TEST_F(ProcessImageTest, ShortCanvasesAndDrawingFailures) {
    FakePicture picture(10, 10, solid({255, 255, 255, 255}));
    // A canvas smaller than asked for reads as transparent beyond its edge.
    class Short : public PictureSource {
        std::optional<PointSize> size() const override { return PointSize{10, 10}; }
        bool renderCanvas(double, double, double, RgbaCanvas& out, std::string&) const override {
            out.width = 2;
            out.height = 1;
            out.rgba.assign(8, 255);
            return true;
        }
    } shortCanvas;
    run(&shortCanvas, 80, u"@");
    EXPECT_EQ(grid->data[1][0][3], 255u);
    EXPECT_EQ(grid->data[2][0][3], 0u);
    EXPECT_EQ(grid->data[0][3][3], 0u);

    picture.failWith = "photo.png: truncated image data";
    const ConversionStatus status = run(&picture, 80, u"@");
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.error, "photo.png: truncated image data");
    EXPECT_EQ(grid->width2 + grid->height2, 0);
}

} // namespace
} // namespace gw
