#include "FileWriters.h"
#include "RasterReaders.h"

#include <gtest/gtest.h>

namespace gw::imaging::test {
namespace {

using detail::decodePsd;
using detail::RgbaImage;
using Pixels = std::vector<std::uint32_t>;

RgbaImage decodeOk(const Bytes& file) {
    RgbaImage image;
    std::string reason;
    EXPECT_TRUE(decodePsd(file, kTestLimits, image, reason)) << reason;
    return image;
}

std::string decodeError(const Bytes& file, detail::DecodeLimits limits = kTestLimits) {
    RgbaImage image;
    std::string reason;
    EXPECT_FALSE(decodePsd(file, limits, image, reason));
    EXPECT_TRUE(image.rgba.empty());
    return reason;
}

std::string probeError(const Bytes& file) {
    std::uint32_t width = 0, height = 0;
    std::string reason;
    EXPECT_FALSE(detail::probePsd(file, width, height, reason));
    return reason;
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
    EXPECT_EQ(allPixels(decodeOk(writePsd(rgbFile(false)))), kRgbPixels);
    EXPECT_EQ(allPixels(decodeOk(writePsd(rgbFile(true)))), kRgbPixels);
}

TEST(PsdReader, ResourcesAndLayersAreSkipped) {
    PsdFile f = rgbFile(true);
    f.resources = Bytes(37, 0xAB);
    f.layers = Bytes(100, 0xCD);
    EXPECT_EQ(allPixels(decodeOk(writePsd(f))), kRgbPixels);
}

TEST(PsdReader, FourthChannelIsAlpha) {
    auto planes = kRgbPlanes;
    planes.push_back({{255, 128, 0}, {255, 255, 255}});
    PsdFile f = rgbFile(true);
    f.channels = 4;
    f.data = packBitsPlanes(planes);
    EXPECT_EQ(allPixels(decodeOk(writePsd(f))),
              (Pixels{0xFF0000FF, 0x00FF0080, 0x0000FF00, 0x000000FF, 0x808080FF, 0xFFFFFFFF}));

    planes[3] = {{0, 0, 0}, {0, 0, 0}}; // an alpha channel left empty shows the picture
    f.data = packBitsPlanes(planes);
    EXPECT_EQ(allPixels(decodeOk(writePsd(f))), kRgbPixels);
}

TEST(PsdReader, ChannelsPastAlphaAreNeverRead) {
    // 56 channels: only the first four are read, and only their rows need to be present.
    auto planes = kRgbPlanes;
    planes.push_back({{255, 255, 255}, {255, 255, 255}});
    PsdFile f = rgbFile(false);
    f.channels = 56;
    f.data = planar(planes);
    EXPECT_EQ(allPixels(decodeOk(writePsd(f))), kRgbPixels);

    // With PackBits the byte count table covers all 56 channels.
    for (int extra = 4; extra < 56; ++extra)
        planes.push_back({{9, 9, 9}, {9, 9, 9}});
    f.compression = 1;
    f.data = packBitsPlanes(planes);
    EXPECT_EQ(allPixels(decodeOk(writePsd(f))), kRgbPixels);
}

TEST(PsdReader, SixteenBitSamplesRound) {
    PsdFile f;
    f.width = 2;
    f.depth = 16;
    f.data = {0xFF, 0xFF, 0x7F, 0xFF, 0x00, 0x00, 0x80, 0x00, 0x01, 0x01, 0x00, 0x80};
    // 0x7FFF rounds down to 127, 0x8000 up to 128, 0x0101 is exactly 1, 0x0080 rounds to 0.
    EXPECT_EQ(allPixels(decodeOk(writePsd(f))), (Pixels{0xFF0001FF, 0x7F8000FF}));
}

TEST(PsdReader, GreyAndGreyWithAlpha) {
    PsdFile f;
    f.mode = 1;
    f.channels = 1;
    f.width = 2;
    f.data = {0, 200};
    EXPECT_EQ(allPixels(decodeOk(writePsd(f))), (Pixels{0x000000FF, 0xC8C8C8FF}));
    f.channels = 2;
    f.data = {10, 20, 255, 128};
    EXPECT_EQ(allPixels(decodeOk(writePsd(f))), (Pixels{0x0A0A0AFF, 0x14141480}));
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
    EXPECT_EQ(allPixels(decodeOk(writePsd(f))), (Pixels{0xFF0000FF, 0x00FF00FF, 0x070009FF}));

    f.colourData.resize(700);
    EXPECT_EQ(decodeError(writePsd(f)), "PSD colour table missing");
}

TEST(PsdReader, UnsupportedVariantsAreNamed) {
    PsdFile f = rgbFile(false);
    f.mode = 4;
    f.channels = 4;
    EXPECT_EQ(probeError(writePsd(f)), "unsupported PSD colour mode 4 (CMYK)");
    EXPECT_EQ(decodeError(writePsd(f)), "unsupported PSD colour mode 4 (CMYK)");
    f.mode = 9;
    EXPECT_EQ(decodeError(writePsd(f)), "unsupported PSD colour mode 9 (Lab)");
    f.mode = 0;
    EXPECT_EQ(decodeError(writePsd(f)), "unsupported PSD colour mode 0 (bitmap)");
    f.mode = 3;
    f.depth = 32;
    EXPECT_EQ(decodeError(writePsd(f)), "unsupported PSD bit depth 32");
    f.depth = 16;
    f.mode = 2;
    EXPECT_EQ(decodeError(writePsd(f)), "unsupported PSD bit depth 16");
    f.depth = 8;
    f.mode = 3;
    f.version = 2;
    EXPECT_EQ(decodeError(writePsd(f)), "unsupported PSD version 2 (large document)");
    f.version = 1;
    f.compression = 2;
    EXPECT_EQ(decodeError(writePsd(f)), "unsupported PSD compression 2 (ZIP)");
}

TEST(PsdReader, HeaderFaults) {
    PsdFile f = rgbFile(false);
    f.channels = 57;
    EXPECT_EQ(decodeError(writePsd(f)), "invalid PSD channel count 57");
    f.channels = 0;
    EXPECT_EQ(decodeError(writePsd(f)), "invalid PSD channel count 0");
    f.channels = 2;
    EXPECT_EQ(decodeError(writePsd(f)), "too few channels (2) for a PSD RGB picture");
    f.channels = 3;
    f.width = 0;
    EXPECT_EQ(decodeError(writePsd(f)), "zero width or height");
    EXPECT_EQ(decodeError(Bytes{'8', 'B', 'P', 'S', 0, 1}), "truncated header");
    EXPECT_EQ(decodeError(Bytes{'8', 'B', 'P', 'X', 0, 1}), "not a PSD file");

    f.width = 3;
    Bytes file = writePsd(f);
    file.resize(26 + 4 + 4 + 2); // the layer section's length is cut off
    EXPECT_EQ(decodeError(file), "truncated header");
}

TEST(PsdReader, PixelDataFaults) {
    PsdFile f = rgbFile(false);
    f.data.pop_back();
    EXPECT_EQ(decodeError(writePsd(f)), "truncated pixel data");

    f = rgbFile(true);
    f.data.pop_back();
    EXPECT_EQ(decodeError(writePsd(f)), "truncated pixel data");

    f.data = packBitsPlanes(kRgbPlanes);
    f.data[1] = 0xFF; // first row claims 255 bytes
    EXPECT_EQ(decodeError(writePsd(f)), "truncated pixel data");

    f.data = packBitsPlanes(kRgbPlanes);
    f.data[12] = 3; // first row's literal of four bytes into a row of three
    EXPECT_EQ(decodeError(writePsd(f)), "RLE run past the end of a row");

    f.data = packBitsPlanes(kRgbPlanes);
    f.data[12] = 0; // literals of one byte each: the row's four bytes unpack to two
    EXPECT_EQ(decodeError(writePsd(f)), "truncated pixel data");
}

TEST(PsdReader, SizeIsCheckedBeforeThePixels) {
    PsdFile f;
    f.width = 100000;
    f.height = 100000;
    EXPECT_EQ(decodeError(writePsd(f)), "picture too large (100000 x 100000 pixels)");
    f.width = 4000;
    f.height = 4000;
    EXPECT_EQ(decodeError(writePsd(f)), "truncated pixel data");
    f.compression = 1;
    EXPECT_EQ(decodeError(writePsd(f)), "truncated pixel data");

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
