// Files written by another program (see tests/data/good/README.md), decoded to the pixels
// they were made from.
#include "FileWriters.h"
#include "RasterReaders.h"

#include <gtest/gtest.h>

namespace gw::imaging::test {
namespace {

// The 5 x 3 source picture, straight RGBA.
const Pixels kColour = {
    0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF, 0x000000FF, //
    0xC86432FF, 0x0A141E80, 0xFFFF0000, 0x3C4650C8, 0x5A646EFF, //
    0x808080FF, 0x010203FF, 0xFEFDFC40, 0x0080FFFF, 0x4D4237FF,
};

TEST(ReferenceFiles, DecodeToTheirSourcePixels) {
    Pixels opaque, palette, grey;
    for (std::uint32_t p : kColour)
        opaque.push_back(p | 0xFF);
    // The writer's colour reduction merged the near-black and near-white entries.
    palette = opaque;
    palette[11] = 0x000000FF;
    palette[12] = 0xFFFFFFFF;
    for (std::uint32_t g : {0, 40, 80, 120, 160, 200, 255, 1, 2, 3, 10, 20, 30, 40, 50})
        grey.push_back(g << 24 | g << 16 | g << 8 | 0xFF);
    // clang-format off
    const std::pair<const char*, const Pixels*> files[] = {
        {"bmp-24bit-5x3.bmp", &opaque}, {"tga-24bit-5x3.tga", &opaque},
        {"psd-rgb-raw-5x3.psd", &opaque}, {"bmp-4bit-palette-5x3.bmp", &palette},
        {"bmp-rle8-5x3.bmp", &palette}, {"tga-palette-5x3.tga", &palette},
        {"bmp-32bit-alpha-5x3.bmp", &kColour}, {"tga-32bit-alpha-5x3.tga", &kColour},
        {"tga-32bit-alpha-rle-5x3.tga", &kColour}, {"psd-rgba-rle-5x3.psd", &kColour},
        {"psd-rgba-16bit-5x3.psd", &kColour}, {"tga-grey-5x3.tga", &grey},
        {"psd-grey-5x3.psd", &grey},
    };
    // clang-format on
    for (const auto& [name, want] : files) {
        const Bytes bytes = readFile(std::string(GLYPHWERK_TEST_DATA) + "/good/" + name);
        const std::string kind(name, 4);
        const bool claimed = kind == "bmp-"   ? detail::looksLikeBmp(bytes)
                             : kind == "tga-" ? detail::looksLikeTga(bytes)
                                              : detail::looksLikePsd(bytes);
        EXPECT_TRUE(claimed) << name;
        const Decoder decode = kind == "bmp-"   ? &detail::decodeBmp
                               : kind == "tga-" ? &detail::decodeTga
                                                : &detail::decodePsd;
        EXPECT_EQ(pixelsOf(decode, bytes), *want) << name;
    }
}

} // namespace
} // namespace gw::imaging::test
