#include "FileWriters.h"
#include "RasterReaders.h"

#include <gtest/gtest.h>

namespace gw::imaging::test {
namespace {

Pixels decodeOk(const BmpFile& f) {
    return pixelsOf(detail::decodeBmp, writeBmp(f));
}
std::string decodeError(const Bytes& file, detail::DecodeLimits limits = kTestLimits) {
    return errorOf(detail::decodeBmp, file, limits);
}

const std::vector<std::array<std::uint8_t, 3>> kFourColours = {
    {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

TEST(BmpReader, TwentyFourBitBottomUpWithRowPadding) {
    BmpFile f;
    f.width = 3;
    f.height = 2;
    // File rows run from the bottom; 9 bytes of pixels pad to 12.
    f.pixels = padRows({{0, 0, 255, 0, 255, 0, 255, 0, 0}, {10, 20, 30, 40, 50, 60, 70, 80, 90}});
    EXPECT_EQ(decodeOk(f),
              (Pixels{0x1E140AFF, 0x3C3228FF, 0x5A5046FF, 0xFF0000FF, 0x00FF00FF, 0x0000FFFF}));
}

TEST(BmpReader, TopDownRowsKeepTheirOrder) {
    BmpFile f;
    f.width = 1;
    f.height = -2;
    f.pixels = padRows({{0, 0, 255}, {255, 0, 0}});
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0000FF, 0x0000FFFF}));
}

TEST(BmpReader, ThirtyTwoBitAlphaIsKeptUnlessAllZero) {
    BmpFile f;
    f.width = 3;
    f.bitsPerPixel = 32;
    f.pixels = {1, 2, 3, 255, 1, 2, 3, 128, 1, 2, 3, 0};
    EXPECT_EQ(decodeOk(f), (Pixels{0x030201FF, 0x03020180, 0x03020100}));

    f.pixels = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
    EXPECT_EQ(decodeOk(f), (Pixels{0x030201FF, 0x060504FF, 0x090807FF}));
}

TEST(BmpReader, SixteenBitDefaultsToFiveFiveFive) {
    BmpFile f;
    f.width = 2;
    f.bitsPerPixel = 16;
    f.pixels = {0x00, 0x7C, 0x1F, 0x00}; // pure red, pure blue
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0000FF, 0x0000FFFF}));
}

TEST(BmpReader, BitFieldMasksAfterAnInfoHeader) {
    BmpFile f;
    f.width = 2;
    f.bitsPerPixel = 16;
    f.compression = 3;
    f.masks = {0xF800, 0x07E0, 0x001F};
    f.pixels = {0xE0, 0x07, 0x10, 0x84}; // pure green; r=16/31, g=32/63, b=16/31
    EXPECT_EQ(decodeOk(f), (Pixels{0x00FF00FF, 0x848284FF}));

    f.compression = 6; // with an alpha mask as well
    f.masks = {0x0F00, 0x00F0, 0x000F, 0xF000};
    f.pixels = {0x00, 0x8F, 0xFF, 0xFF};
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF000088, 0xFFFFFFFF}));
}

TEST(BmpReader, VersionFiveHeaderMasks) {
    BmpFile f;
    f.headerSize = 124;
    f.width = 2;
    f.bitsPerPixel = 32;
    f.compression = 3;
    f.masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000}; // RGBA byte order
    f.pixels = {10, 20, 30, 40, 50, 60, 70, 255};
    EXPECT_EQ(decodeOk(f), (Pixels{0x0A141E28, 0x323C46FF}));
}

TEST(BmpReader, IndexedDepths) {
    BmpFile f;
    f.palette = kFourColours;
    f.width = 9; // one bit past a byte
    f.bitsPerPixel = 1;
    f.pixels = padRows({{0b10100000, 0b10000000}});
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0000FF, 0x000000FF, 0xFF0000FF, 0x000000FF, 0x000000FF,
                                   0x000000FF, 0x000000FF, 0x000000FF, 0xFF0000FF}));

    f.width = 3;
    f.bitsPerPixel = 4;
    f.pixels = padRows({{0x32, 0x10}});
    EXPECT_EQ(decodeOk(f), (Pixels{0x0000FFFF, 0x00FF00FF, 0xFF0000FF}));

    f.bitsPerPixel = 8;
    f.pixels = padRows({{3, 0, 1}});
    EXPECT_EQ(decodeOk(f), (Pixels{0x0000FFFF, 0x000000FF, 0xFF0000FF}));
}

TEST(BmpReader, ShortPalette) {
    BmpFile f;
    f.palette = {{1, 2, 3}, {4, 5, 6}};
    f.colorsUsed = 2;
    f.width = 2;
    f.bitsPerPixel = 8;
    f.pixels = padRows({{1, 0}});
    EXPECT_EQ(decodeOk(f), (Pixels{0x040506FF, 0x010203FF}));
}

TEST(BmpReader, PaletteCountBeyondThePixelOffsetIsCutThere) {
    BmpFile f;
    f.palette = {{1, 2, 3}};
    f.colorsUsed = 200; // only one entry lies before the pixels
    f.bitsPerPixel = 8;
    f.pixels = padRows({{0}});
    EXPECT_EQ(decodeOk(f), (Pixels{0x010203FF}));
}

TEST(BmpReader, Os2CoreHeader) {
    BmpFile f;
    f.headerSize = 12;
    f.width = 2;
    f.bitsPerPixel = 8;
    f.palette = kFourColours;
    f.pixels = padRows({{2, 3}});
    EXPECT_EQ(decodeOk(f), (Pixels{0x00FF00FF, 0x0000FFFF}));
}

TEST(BmpReader, Rle8RunsLiteralsDeltaAndSkippedPixels) {
    BmpFile f;
    f.width = 4;
    f.height = 3;
    f.bitsPerPixel = 8;
    f.compression = 1;
    f.palette = kFourColours;
    f.pixels = {
        4, 1,             // bottom row: four red
        0, 0,             // end of line
        0, 3, 2, 3, 1, 0, // literal of three, padded to an even count
        0, 0,             // end of line; the fourth pixel stays transparent
        0, 2, 2, 0,       // delta: two to the right
        2, 2,             // two green at the right end of the top row
        0, 1,             // end of picture
    };
    EXPECT_EQ(decodeOk(f), (Pixels{0x00000000, 0x00000000, 0x00FF00FF, 0x00FF00FF, //
                                   0x00FF00FF, 0x0000FFFF, 0xFF0000FF, 0x00000000, //
                                   0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF}));
}

TEST(BmpReader, Rle4Nibbles) {
    BmpFile f;
    f.width = 7;
    f.bitsPerPixel = 4;
    f.compression = 2;
    f.palette = kFourColours;
    // A run of 1 2 1, a literal of 3 0 1 (two bytes, already even), a run of one 2.
    f.pixels = {3, 0x12, 0, 3, 0x30, 0x10, 1, 0x23, 0, 1};
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0000FF, 0x00FF00FF, 0xFF0000FF, 0x0000FFFF, 0x000000FF,
                                   0xFF0000FF, 0x00FF00FF}));
}

// The faults themselves are in the bad-file corpus.
TEST(BmpReader, RleLeniencies) {
    BmpFile f;
    f.width = 3;
    f.height = 2;
    f.bitsPerPixel = 8;
    f.compression = 1;
    f.palette = kFourColours;
    // Runs may cover the padding of a row, which some writers encode; it is dropped.
    f.pixels = {4, 1, 0, 0, 3, 2, 0, 1};
    EXPECT_EQ(decodeOk(f),
              (Pixels{0x00FF00FF, 0x00FF00FF, 0x00FF00FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF}));
    f.pixels = {5, 1, 0, 1};
    EXPECT_EQ(decodeError(writeBmp(f)), "RLE run past the end of a row");
    // A stream that fills the last row may end without its end-of-picture code.
    f.pixels = {3, 1, 0, 0, 3, 2};
    EXPECT_EQ(decodeOk(f).size(), 6u);
}

TEST(BmpReader, SizeIsCheckedBeforeThePixels) {
    BmpFile f;
    f.width = 4000;
    f.height = 4000;
    f.pixels = {1, 2, 3};
    const Bytes file = writeBmp(f);
    EXPECT_EQ(decodeError(file, {1000 * 1000}), "picture too large (4000 x 4000 pixels)");
    EXPECT_EQ(decodeError(file), "truncated pixel data");

    std::uint32_t width = 0, height = 0;
    std::string reason;
    EXPECT_TRUE(detail::probeBmp(file, width, height, reason)) << reason;
    EXPECT_EQ(width, 4000u);
    EXPECT_EQ(height, 4000u);
}

TEST(BmpReader, ProbeNeedsOnlyTheHeader) {
    BmpFile f;
    f.width = 3;
    f.height = 2;
    f.bitsPerPixel = 8;
    f.palette = kFourColours;
    f.pixels = padRows({{0, 1, 2}, {3, 2, 1}});
    Bytes head = writeBmp(f);
    head.resize(14 + 40); // the palette and the pixels lie past the bytes seen
    std::uint32_t width = 0, height = 0;
    std::string reason;
    EXPECT_TRUE(detail::probeBmp(head, width, height, reason)) << reason;
    EXPECT_EQ(width, 3u);
    EXPECT_EQ(height, 2u);
    EXPECT_EQ(decodeError(head), "invalid BMP pixel data offset");
}

TEST(BmpReader, LastRowWithoutPaddingIsAccepted) {
    BmpFile f;
    f.width = 1;
    f.height = 2;
    f.pixels = {1, 2, 3, 0, 4, 5, 6};
    EXPECT_EQ(decodeOk(f), (Pixels{0x060504FF, 0x030201FF}));
    f.pixels.pop_back();
    EXPECT_EQ(decodeError(writeBmp(f)), "truncated pixel data");
}

TEST(BmpReader, Sniffing) {
    BmpFile f;
    f.pixels = {0, 0, 0, 0};
    EXPECT_TRUE(detail::looksLikeBmp(writeBmp(f)));
    EXPECT_FALSE(detail::looksLikeBmp(Bytes{'B', 'M', 1, 2}));
    EXPECT_FALSE(detail::looksLikeBmp(Bytes(32, 0)));
}

} // namespace
} // namespace gw::imaging::test
