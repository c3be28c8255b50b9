#include "FileWriters.h"
#include "RasterReaders.h"

#include <gtest/gtest.h>

namespace gw::imaging::test {
namespace {

Pixels decodeOk(const TgaFile& f) {
    return pixelsOf(detail::decodeTga, writeTga(f));
}
std::string decodeError(const TgaFile& f, detail::DecodeLimits limits = kTestLimits) {
    return errorOf(detail::decodeTga, writeTga(f), limits);
}

// Four BGR pixels: red, green, blue, white, in file order.
TgaFile fourPixels() {
    TgaFile f;
    f.width = 2;
    f.height = 2;
    f.pixels = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
    return f;
}

TEST(TgaReader, AllFourCornerOrders) {
    TgaFile f = fourPixels();
    // Bottom-left origin: the first file row is the bottom one.
    EXPECT_EQ(decodeOk(f), (Pixels{0x0000FFFF, 0xFFFFFFFF, 0xFF0000FF, 0x00FF00FF}));
    f.descriptor = 0x20;
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF}));
    f.descriptor = 0x30;
    EXPECT_EQ(decodeOk(f), (Pixels{0x00FF00FF, 0xFF0000FF, 0xFFFFFFFF, 0x0000FFFF}));
    f.descriptor = 0x10;
    EXPECT_EQ(decodeOk(f), (Pixels{0xFFFFFFFF, 0x0000FFFF, 0x00FF00FF, 0xFF0000FF}));
}

TEST(TgaReader, ImageIdIsSkipped) {
    TgaFile f;
    f.id = {'h', 'e', 'l', 'l', 'o'};
    f.pixels = {1, 2, 3};
    EXPECT_EQ(decodeOk(f), (Pixels{0x030201FF}));
}

TEST(TgaReader, ThirtyTwoBitAlpha) {
    TgaFile f;
    f.width = 3;
    f.depth = 32;
    f.descriptor = 8;
    f.pixels = {1, 2, 3, 255, 1, 2, 3, 128, 1, 2, 3, 0};
    EXPECT_EQ(decodeOk(f), (Pixels{0x030201FF, 0x03020180, 0x03020100}));
    f.pixels = {1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0};
    EXPECT_EQ(decodeOk(f), (Pixels{0x030201FF, 0x030201FF, 0x030201FF}));
}

TEST(TgaReader, FifteenAndSixteenBit) {
    TgaFile f;
    f.width = 2;
    f.depth = 16;
    f.descriptor = 1;                    // one attribute bit: alpha
    f.pixels = {0x00, 0xFC, 0x1F, 0x00}; // opaque red, transparent blue
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0000FF, 0x0000FF00}));
    f.descriptor = 0; // attribute bit not alpha
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0000FF, 0x0000FFFF}));
    f.depth = 15;
    f.pixels = {0xE0, 0x03, 0x10, 0x42}; // green; 16/31 each
    EXPECT_EQ(decodeOk(f), (Pixels{0x00FF00FF, 0x848484FF}));
}

TEST(TgaReader, GreyAndGreyWithAlpha) {
    TgaFile f;
    f.imageType = 3;
    f.width = 2;
    f.depth = 8;
    f.pixels = {0, 200};
    EXPECT_EQ(decodeOk(f), (Pixels{0x000000FF, 0xC8C8C8FF}));
    f.depth = 16;
    f.descriptor = 8;
    f.pixels = {10, 255, 20, 128};
    EXPECT_EQ(decodeOk(f), (Pixels{0x0A0A0AFF, 0x14141480}));
}

TEST(TgaReader, ColourMappedWithAnOffsetMap) {
    TgaFile f;
    f.imageType = 1;
    f.depth = 8;
    f.width = 3;
    f.mapType = 1;
    f.mapFirst = 10;
    f.mapLength = 2;
    f.mapEntryBits = 24;
    f.map = {0, 0, 255, 255, 0, 0};
    f.pixels = {10, 11, 10};
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0000FF, 0x0000FFFF, 0xFF0000FF}));

    f.mapEntryBits = 32;
    f.map = {0, 0, 255, 128, 255, 0, 0, 255};
    f.pixels = {10, 11, 10};
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF000080, 0x0000FFFF, 0xFF000080}));

    f.mapEntryBits = 16;
    f.map = {0x00, 0x7C, 0x1F, 0x00};
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0000FF, 0x0000FFFF, 0xFF0000FF}));
}

TEST(TgaReader, RunLengthPacketsMayCrossRows) {
    TgaFile f;
    f.imageType = 10;
    f.width = 2;
    f.height = 2;
    f.descriptor = 0x20;
    // A run of three red pixels, then one raw blue pixel.
    f.pixels = {0x82, 0, 0, 255, 0x00, 255, 0, 0};
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0x0000FFFF}));
}

TEST(TgaReader, RunLengthGreyAndMapped) {
    TgaFile f;
    f.imageType = 11;
    f.depth = 8;
    f.width = 4;
    f.pixels = {0x81, 7, 0x01, 8, 9};
    EXPECT_EQ(decodeOk(f), (Pixels{0x070707FF, 0x070707FF, 0x080808FF, 0x090909FF}));

    f.imageType = 9;
    f.mapType = 1;
    f.mapLength = 2;
    f.mapEntryBits = 24;
    f.map = {0, 0, 255, 255, 0, 0};
    f.pixels = {0x82, 1, 0x00, 0};
    EXPECT_EQ(decodeOk(f), (Pixels{0x0000FFFF, 0x0000FFFF, 0x0000FFFF, 0xFF0000FF}));
}

TEST(TgaReader, SizeIsCheckedBeforeThePixels) {
    TgaFile f;
    f.width = 4000;
    f.height = 4000;
    f.pixels = {1, 2, 3};
    EXPECT_EQ(decodeError(f, {1000}), "picture too large (4000 x 4000 pixels)");
    EXPECT_EQ(decodeError(f), "truncated pixel data");
    f.imageType = 10; // needs at least one packet per 128 pixels
    EXPECT_EQ(decodeError(f), "truncated pixel data");

    std::uint32_t width = 0, height = 0;
    std::string reason;
    EXPECT_TRUE(detail::probeTga(writeTga(f), width, height, reason)) << reason;
    EXPECT_EQ(width, 4000u);
    EXPECT_EQ(height, 4000u);
}

TEST(TgaReader, SniffingClaimsTgaButNotOtherFiles) {
    EXPECT_TRUE(detail::looksLikeTga(writeTga(fourPixels())));
    Bytes header = writeTga(fourPixels());
    header.resize(18);
    EXPECT_FALSE(detail::looksLikeTga(header)); // a header alone is too little to claim
    header.push_back(0);
    EXPECT_TRUE(detail::looksLikeTga(header));
    const std::vector<Bytes> others = {
        {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0},
        {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0},
        {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0, 1, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0},
        {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 1, 0, 0, 3, 0, 0, 0, 1, 0, 1, 0, 0},
        {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 1, 0, 8},
        {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0},
        Bytes(64, 0),
        Bytes(64, 0xFF),
    };
    for (const Bytes& other : others)
        EXPECT_FALSE(detail::looksLikeTga(other));
    const std::string text = "Hello, world.\nThis is a plain text file of some length.\n";
    EXPECT_FALSE(detail::looksLikeTga(Bytes(text.begin(), text.end())));
}

} // namespace
} // namespace gw::imaging::test
