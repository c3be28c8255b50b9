// Files written by another program (see tests/data/good/README.md), decoded to the pixels
// they were made from.
#include "FileWriters.h"
#include "RasterReaders.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace gw::imaging::test {
namespace {

Pixels decodeGood(const std::string& name) {
    std::ifstream in(std::string(GLYPHWERK_TEST_DATA) + "/good/" + name, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (name.starts_with("bmp-")) {
        EXPECT_TRUE(detail::looksLikeBmp(bytes)) << name;
        return pixelsOf(detail::decodeBmp, bytes);
    }
    if (name.starts_with("tga-")) {
        EXPECT_TRUE(detail::looksLikeTga(bytes)) << name;
        return pixelsOf(detail::decodeTga, bytes);
    }
    EXPECT_TRUE(detail::looksLikePsd(bytes)) << name;
    return pixelsOf(detail::decodePsd, bytes);
}

// The 5 x 3 source picture, straight RGBA.
const Pixels kColour = {
    0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF, 0x000000FF, //
    0xC86432FF, 0x0A141E80, 0xFFFF0000, 0x3C4650C8, 0x5A646EFF, //
    0x808080FF, 0x010203FF, 0xFEFDFC40, 0x0080FFFF, 0x4D4237FF,
};

Pixels opaque(const Pixels& pixels) {
    Pixels out;
    for (std::uint32_t p : pixels)
        out.push_back(p | 0xFF);
    return out;
}

const Pixels kGrey = [] {
    const int levels[] = {0, 40, 80, 120, 160, 200, 255, 1, 2, 3, 10, 20, 30, 40, 50};
    Pixels out;
    for (int v : levels) {
        const auto g = static_cast<std::uint32_t>(v);
        out.push_back(g << 24 | g << 16 | g << 8 | 0xFF);
    }
    return out;
}();

TEST(ReferenceFiles, OpaqueColour) {
    for (const char* name : {"bmp-24bit-5x3.bmp", "tga-24bit-5x3.tga", "psd-rgb-raw-5x3.psd"}) {
        EXPECT_EQ(decodeGood(name), opaque(kColour)) << name;
    }
}

TEST(ReferenceFiles, Palette) {
    // The writer's colour reduction merged the near-black and near-white entries.
    Pixels expected = opaque(kColour);
    expected[11] = 0x000000FF;
    expected[12] = 0xFFFFFFFF;
    for (const char* name :
         {"bmp-4bit-palette-5x3.bmp", "bmp-rle8-5x3.bmp", "tga-palette-5x3.tga"}) {
        EXPECT_EQ(decodeGood(name), expected) << name;
    }
}

TEST(ReferenceFiles, ColourWithAlpha) {
    for (const char* name :
         {"bmp-32bit-alpha-5x3.bmp", "tga-32bit-alpha-5x3.tga", "tga-32bit-alpha-rle-5x3.tga",
          "psd-rgba-rle-5x3.psd", "psd-rgba-16bit-5x3.psd"}) {
        EXPECT_EQ(decodeGood(name), kColour) << name;
    }
}

TEST(ReferenceFiles, Grey) {
    for (const char* name : {"tga-grey-5x3.tga", "psd-grey-5x3.psd"}) {
        EXPECT_EQ(decodeGood(name), kGrey) << name;
    }
}

} // namespace
} // namespace gw::imaging::test
