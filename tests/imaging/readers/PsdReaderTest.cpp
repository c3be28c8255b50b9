#include "FileWriters.h"
#include "RasterReaders.h"

#include <gtest/gtest.h>

namespace gw::imaging::test {
namespace {

Pixels decodeOk(const PsdFile& f) {
    return pixelsOf(detail::decodePsd, writePsd(f));
}
std::string decodeError(const PsdFile& f, detail::DecodeLimits limits = kTestLimits) {
    return errorOf(detail::decodePsd, writePsd(f), limits);
}

// A 3 x 2 RGB picture: red green blue / black grey white, as planes.
const std::vector<std::vector<Bytes>> kRgbPlanes = {
    {{255, 0, 0}, {0, 128, 255}},
    {{0, 255, 0}, {0, 128, 255}},
    {{0, 0, 255}, {0, 128, 255}},
};
const Pixels kRgbPixels = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0x000000FF, 0x808080FF, 0xFFFFFFFF};

Bytes planar(const std::vector<std::vector<Bytes>>& planes) {
    Bytes out;
    for (const auto& plane : planes) {
        for (const Bytes& row : plane)
            append(out, row);
    }
    return out;
}

PsdFile rgbFile(bool rle) {
    PsdFile f;
    f.width = 3;
    f.height = 2;
    f.compression = rle ? 1 : 0;
    f.data = rle ? packBitsPlanes(kRgbPlanes) : planar(kRgbPlanes);
    return f;
}

TEST(PsdReader, RgbRawAndPackBits) {
    EXPECT_EQ(decodeOk(rgbFile(false)), kRgbPixels);
    EXPECT_EQ(decodeOk(rgbFile(true)), kRgbPixels);
}

TEST(PsdReader, ResourcesAndLayersAreSkipped) {
    PsdFile f = rgbFile(true);
    f.resources = Bytes(37, 0xAB);
    f.layers = Bytes(100, 0xCD);
    EXPECT_EQ(decodeOk(f), kRgbPixels);
}

TEST(PsdReader, FourthChannelIsAlpha) {
    auto planes = kRgbPlanes;
    planes.push_back({{255, 128, 0}, {255, 255, 255}});
    PsdFile f = rgbFile(true);
    f.channels = 4;
    f.data = packBitsPlanes(planes);
    EXPECT_EQ(decodeOk(f),
              (Pixels{0xFF0000FF, 0x00FF0080, 0x0000FF00, 0x000000FF, 0x808080FF, 0xFFFFFFFF}));

    planes[3] = {{0, 0, 0}, {0, 0, 0}}; // an alpha channel left empty shows the picture
    f.data = packBitsPlanes(planes);
    EXPECT_EQ(decodeOk(f), kRgbPixels);
}

TEST(PsdReader, ChannelsPastAlphaAreNeverRead) {
    // 56 channels: only the first four are read, and only their rows need to be present.
    auto planes = kRgbPlanes;
    planes.push_back({{255, 255, 255}, {255, 255, 255}});
    PsdFile f = rgbFile(false);
    f.channels = 56;
    f.data = planar(planes);
    EXPECT_EQ(decodeOk(f), kRgbPixels);

    // With PackBits the byte count table covers all 56 channels.
    for (int extra = 4; extra < 56; ++extra)
        planes.push_back({{9, 9, 9}, {9, 9, 9}});
    f.compression = 1;
    f.data = packBitsPlanes(planes);
    EXPECT_EQ(decodeOk(f), kRgbPixels);
}

TEST(PsdReader, SixteenBitSamplesRound) {
    PsdFile f;
    f.width = 2;
    f.depth = 16;
    f.data = {0xFF, 0xFF, 0x7F, 0xFF, 0x00, 0x00, 0x80, 0x00, 0x01, 0x01, 0x00, 0x80};
    // 0x7FFF rounds down to 127, 0x8000 up to 128, 0x0101 is exactly 1, 0x0080 rounds to 0.
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0001FF, 0x7F8000FF}));
}

TEST(PsdReader, GreyAndGreyWithAlpha) {
    PsdFile f;
    f.mode = 1;
    f.channels = 1;
    f.width = 2;
    f.data = {0, 200};
    EXPECT_EQ(decodeOk(f), (Pixels{0x000000FF, 0xC8C8C8FF}));
    f.channels = 2;
    f.data = {10, 20, 255, 128};
    EXPECT_EQ(decodeOk(f), (Pixels{0x0A0A0AFF, 0x14141480}));
}

TEST(PsdReader, IndexedColourUsesTheColourTable) {
    PsdFile f;
    f.mode = 2;
    f.channels = 1;
    f.width = 3;
    f.colourData = Bytes(768, 0);
    f.colourData[1] = 255;       // red of entry 1
    f.colourData[256 + 2] = 255; // green of entry 2
    f.colourData[255] = 7;       // red of entry 255
    f.colourData[767] = 9;       // blue of entry 255
    f.data = {1, 2, 255};
    EXPECT_EQ(decodeOk(f), (Pixels{0xFF0000FF, 0x00FF00FF, 0x070009FF}));
}

TEST(PsdReader, SizeIsCheckedBeforeThePixels) {
    PsdFile f;
    f.width = 100000;
    f.height = 100000;
    EXPECT_EQ(decodeError(f), "picture too large (100000 x 100000 pixels)");
    f.width = 4000;
    f.height = 4000;
    EXPECT_EQ(decodeError(f), "truncated pixel data");
    f.compression = 1;
    EXPECT_EQ(decodeError(f), "truncated pixel data");

    std::uint32_t width = 0, height = 0;
    std::string reason;
    EXPECT_TRUE(detail::probePsd(writePsd(f), width, height, reason)) << reason;
    EXPECT_EQ(width, 4000u);
    EXPECT_EQ(height, 4000u);
}

TEST(PsdReader, Sniffing) {
    EXPECT_TRUE(detail::looksLikePsd(writePsd(rgbFile(false))));
    PsdFile large;
    large.version = 2;
    EXPECT_TRUE(detail::looksLikePsd(writePsd(large)));
    EXPECT_FALSE(detail::looksLikePsd(Bytes{'8', 'B', 'P', 'S', 0, 3}));
    EXPECT_FALSE(detail::looksLikePsd(Bytes{'8', 'B', 'P'}));
}

} // namespace
} // namespace gw::imaging::test
