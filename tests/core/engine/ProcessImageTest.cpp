#include "EngineFakes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace gw {
namespace {

using test::FakePicture;
using test::FakeScreens;
using test::LogCapture;
using test::makeTable;
using test::solid;
using test::VersionScope;

// Darkness steps: '@' black, '+' mid, '.' light; the space is 1.0.
const CharacterTable kTable = makeTable({{'@', '@', 0.0f}, {'+', '+', 0.5f}, {'.', '.', 0.9f}});

class ProcessImageTest : public ::testing::Test {
protected:
    ConversionStatus run(const PictureSource* picture, int maxWidth, std::u16string_view set,
                         const ScreenList* screens = nullptr,
                         const CharacterTable& table = kTable) {
        ConversionInput input;
        input.picture = picture;
        input.maxWidth = maxWidth;
        input.characterSet = set;
        input.characters = &table;
        input.screens = screens;
        return processImage(input, *grid, info);
    }
    std::string hex(int x, int y) const { return std::string(grid->hexColor[x][y], 6); }

    VersionScope version{&test::linuxLikeVersion};
    CellGridPtr grid = makeCellGrid();
    ConversionInfo info;
};

TEST_F(ProcessImageTest, NoPictureGivesAnEmptyGridAndTheSpaceAlone) {
    grid->width2 = 7;
    grid->height2 = 7;
    EXPECT_TRUE(run(nullptr, 80, u"abc").ok);
    EXPECT_EQ(info.width, 0);
    EXPECT_EQ(info.height, 0);
    EXPECT_EQ(grid->width2, 0);
    EXPECT_EQ(grid->height2, 0);
    EXPECT_EQ(info.numCharacters, 4);
    EXPECT_EQ(info.charactersInSet[3], 32);
}

TEST_F(ProcessImageTest, EmptyGridsNeitherDrawNorWriteCells) {
    grid->ascii[0][0] = 99;
    FakePicture wide(1024, 768, solid(0, 0, 0, 255));
    FakePicture flat(10, 3, solid(0, 0, 0, 255)); // one row: the last row is never filled
    for (const int m : {0, -4}) {
        run(&wide, m, u"@");
        EXPECT_EQ(grid->width2, 0);
        EXPECT_EQ(info.width, 1024);
    }
    run(&flat, 80, u"@");
    EXPECT_EQ(grid->width2, 10);
    EXPECT_EQ(grid->height2, 1);
    EXPECT_TRUE(wide.calls.empty());
    EXPECT_TRUE(flat.calls.empty());
    EXPECT_EQ(grid->ascii[0][0], 99);
}

TEST_F(ProcessImageTest, FillsEveryColumnOfAllButTheLastRow) {
    FakePicture picture(101, 101, solid(0, 0, 0, 255));
    for (int x = 0; x < 101; ++x)
        grid->ascii[x][49] = 99;
    run(&picture, 200, u"@");
    ASSERT_EQ(picture.calls.size(), 1u);
    EXPECT_EQ(picture.calls[0].gw, 101.0);
    EXPECT_EQ(picture.calls[0].gh, 50.5);
    EXPECT_EQ(picture.calls[0].scale, 1.0);
    EXPECT_EQ(grid->width2, 101);
    EXPECT_EQ(grid->height2, 50);
    for (int y = 0; y <= 48; ++y) {
        for (int x = 0; x < 101; ++x)
            ASSERT_EQ(grid->ascii[x][y], '@') << x << "," << y;
    }
    for (int x = 0; x < 101; ++x)
        EXPECT_EQ(grid->ascii[x][49], 99);
}

struct PixelCase {
    std::array<std::uint8_t, 4> rgba;
    std::array<std::uint64_t, 4> data;
    const char* hex;
};

TEST_F(ProcessImageTest, CorrectsColoursForAlphaAndWritesTheirDigits) {
    const PixelCase cases[] = {
        {{255, 255, 255, 255}, {254, 254, 254, 255}, "fefefe"},
        {{0, 0, 0, 255}, {0, 0, 0, 255}, "000000"},
        {{128, 64, 0, 255}, {127, 63, 0, 255}, "7f3f00"},
        {{0, 0, 0, 0}, {0, 0, 0, 0}, "000000"},         // transparent reads as black
        {{11, 11, 11, 32}, {84, 84, 84, 32}, "545454"}, // the double quotient lies below 85
    };
    for (const PixelCase& c : cases) {
        FakePicture picture(8, 8, solid(c.rgba[0], c.rgba[1], c.rgba[2], c.rgba[3]));
        run(&picture, 80, u"");
        for (int ch = 0; ch < 4; ++ch)
            EXPECT_EQ(grid->data[3][2][ch], c.data[ch]) << c.hex;
        EXPECT_EQ(hex(3, 2), c.hex);
    }
}

TEST_F(ProcessImageTest, ColourAboveAlphaLogsAndStoresANulDigit) {
    LogCapture log;
    FakePicture picture(4, 4, solid(255, 0, 0, 0)); // not premultiplied: 255 * 255
    run(&picture, 80, u"@");
    EXPECT_EQ(grid->data[0][0][0], 65025u);
    EXPECT_EQ(grid->hexColor[0][0][0], '\0');
    EXPECT_EQ(grid->hexColor[0][0][1], '1'); // 65025 % 16
    EXPECT_EQ(std::string(grid->hexColor[0][0] + 2, 4), "0000");
    EXPECT_EQ(log.count("Shouldn't Be Hit B1"), 4 * 1); // 4 columns x 1 filled row
}

TEST_F(ProcessImageTest, PicksTheNearestDarknessAndPrefersTheEarlierOfEqualOnes) {
    // Column brightness: x = 0 black, 1 mid grey, 2 white.
    FakePicture picture(3, 6, [](int x, int) -> std::array<std::uint8_t, 4> {
        const std::uint8_t v = x == 0 ? 0 : x == 1 ? 128 : 255;
        return {v, v, v, 255};
    });
    run(&picture, 80, u"@+.");
    EXPECT_EQ(grid->ascii[0][0], '@');
    EXPECT_EQ(grid->ascii[1][0], '+'); // L 127 -> 0.496
    EXPECT_EQ(grid->ascii[2][0], ' '); // L 254 -> 0.992: the space is strictly nearer than '.'

    const CharacterTable twins =
        makeTable({{'a', 'a', 0.25f}, {'b', 'b', 0.25f}, {'w', 'w', 1.0f}});
    run(&picture, 80, u"ab", nullptr, twins);
    EXPECT_EQ(grid->ascii[0][0], 'a');
    run(&picture, 80, u"ba", nullptr, twins);
    EXPECT_EQ(grid->ascii[0][0], 'b');
    // An entry as light as the space ties with it, and the space comes last.
    run(&picture, 80, u"w", nullptr, twins);
    EXPECT_EQ(grid->ascii[2][0], 'w');
}

TEST_F(ProcessImageTest, EmptySetMakesEveryCellASpace) {
    FakePicture picture(5, 6, solid(0, 0, 0, 255));
    run(&picture, 80, u"");
    EXPECT_EQ(info.numCharacters, 1);
    EXPECT_EQ(info.charactersInSet[0], 32);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(grid->ascii[x][y], 32);
    }
}

TEST_F(ProcessImageTest, CodesTheTableLacksTakeNoPartAndAreLoggedOncePerConversion) {
    LogCapture log;
    FakePicture picture(4, 6, solid(0, 0, 0, 255));
    // e-acute (lead byte 0xC3), a tab, an emoji (two surrogate halves), then '+'.
    run(&picture, 80, u"\u00e9\t\U0001F600+");
    ASSERT_EQ(info.numCharacters, 6);
    EXPECT_EQ(info.charactersInSet[0], -61);
    EXPECT_EQ(info.charactersInSet[1], 9);
    EXPECT_LT(info.charactersInSet[2], 0);
    EXPECT_LT(info.charactersInSet[3], 0);
    EXPECT_EQ(info.charactersInSet[4], '+');
    EXPECT_EQ(grid->ascii[0][0], '+');
    EXPECT_EQ(log.count("Shouldn't Be Hit A"), 4);
}

TEST_F(ProcessImageTest, ScreensAreAskedOnlyFromVersion1070) {
    FakeScreens screens({1.0, 2.0, 1.5});
    // Each pixel carries its own position, so the sampled pixel can be told.
    FakePicture picture(20, 20, [](int x, int y) -> std::array<std::uint8_t, 4> {
        return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0, 254};
    });
    run(&picture, 80, u"@", &screens);
    EXPECT_EQ(screens.asked, 0);
    EXPECT_EQ(picture.calls.back().scale, 1.0);

    VersionScope modern(+[](std::uint32_t& code) {
        code = 0x1070;
        return true;
    });
    run(&picture, 80, u"@", &screens);
    EXPECT_EQ(screens.asked, 1);
    EXPECT_EQ(info.scale, 2.0f);
    EXPECT_EQ(picture.calls.back().scale, 2.0);
    EXPECT_EQ(grid->data[3][4][0], 6u); // pixel (6, 8); alpha 254 leaves values as they are
    EXPECT_EQ(grid->data[3][4][1], 8u);
    EXPECT_EQ(grid->data[9][8][0], 18u);

    FakeScreens none({});
    run(&picture, 80, u"@", &none);
    EXPECT_EQ(info.scale, 1.0f);
}

TEST_F(ProcessImageTest, ASmallCanvasReadsAsTransparentBeyondItsEdge) {
    class ShortPicture : public PictureSource {
    public:
        std::optional<PointSize> size() const override { return PointSize{10, 10}; }
        bool renderCanvas(double, double, double, RgbaCanvas& out, std::string&) const override {
            out.width = 2;
            out.height = 1;
            out.rgba.assign(8, 255);
            return true;
        }
    } picture;
    run(&picture, 80, u"@");
    EXPECT_EQ(grid->data[1][0][3], 255u);
    EXPECT_EQ(grid->data[2][0][3], 0u);
    EXPECT_EQ(grid->data[0][3][3], 0u);
}

TEST_F(ProcessImageTest, DrawingFailureEmptiesTheGridAndSaysWhy) {
    FakePicture picture(10, 10, solid(0, 0, 0, 255));
    picture.failWith = "photo.png: truncated image data";
    const ConversionStatus status = run(&picture, 80, u"@");
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.error, "photo.png: truncated image data");
    EXPECT_EQ(grid->width2, 0);
    EXPECT_EQ(grid->height2, 0);
    EXPECT_EQ(info.width, 10);
}

TEST_F(ProcessImageTest, SameInputsGiveTheSameGrid) {
    FakePicture picture(64, 48, [](int x, int y) -> std::array<std::uint8_t, 4> {
        return {static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 5),
                static_cast<std::uint8_t>((x * y) % 256), 255};
    });
    run(&picture, 40, u"@+.");
    CellGridPtr first = makeCellGrid();
    std::memcpy(first.get(), grid.get(), sizeof(CellGrid));
    run(&picture, 40, u"@+.");
    EXPECT_EQ(std::memcmp(first.get(), grid.get(), sizeof(CellGrid)), 0);
}

} // namespace
} // namespace gw
