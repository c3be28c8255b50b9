#include "FileWriters.h"
#include "RasterReaders.h"

#include <gtest/gtest.h>

namespace gw::imaging::test {
namespace {

// Red, green, blue, white as BGR, in file order.
const Bytes kFourBgr = {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255};
const Bytes kRedBlueMap = {0, 0, 255, 255, 0, 0};

struct TgaCase {
    const char* what;
    TgaFile file;
    Pixels want;
};

TEST(TgaReader, EveryVariantDecodesToItsPixels) {
    // clang-format off
    const TgaCase cases[] = {
        // The default origin is bottom-left: the first file row is the bottom one.
        {"bottom-left", {.width = 2, .height = 2, .pixels = kFourBgr},
         {0x0000FFFF, 0xFFFFFFFF, 0xFF0000FF, 0x00FF00FF}},
        {"top-left", {.width = 2, .height = 2, .descriptor = 0x20, .pixels = kFourBgr},
         {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0xFFFFFFFF}},
        {"top-right", {.width = 2, .height = 2, .descriptor = 0x30, .pixels = kFourBgr},
         {0x00FF00FF, 0xFF0000FF, 0xFFFFFFFF, 0x0000FFFF}},
        {"bottom-right", {.width = 2, .height = 2, .descriptor = 0x10, .pixels = kFourBgr},
         {0xFFFFFFFF, 0x0000FFFF, 0x00FF00FF, 0xFF0000FF}},
        {"image id skipped", {.id = {'h', 'e', 'l', 'l', 'o'}, .pixels = {1, 2, 3}}, {0x030201FF}},
        {"32-bit alpha", {.depth = 32, .width = 3, .descriptor = 8,
          .pixels = {1, 2, 3, 255, 1, 2, 3, 128, 1, 2, 3, 0}},
         {0x030201FF, 0x03020180, 0x03020100}},
        {"32-bit alpha all zero means opaque", {.depth = 32, .width = 2, .descriptor = 8,
          .pixels = {1, 2, 3, 0, 1, 2, 3, 0}}, {0x030201FF, 0x030201FF}},
        {"16-bit, attribute bit is alpha", {.depth = 16, .width = 2, .descriptor = 1,
          .pixels = {0x00, 0xFC, 0x1F, 0x00}}, {0xFF0000FF, 0x0000FF00}},
        {"16-bit, attribute bit not alpha", {.depth = 16, .width = 2,
          .pixels = {0x00, 0xFC, 0x1F, 0x00}}, {0xFF0000FF, 0x0000FFFF}},
        {"15-bit", {.depth = 15, .width = 2, .pixels = {0xE0, 0x03, 0x10, 0x42}},
         {0x00FF00FF, 0x848484FF}},
        {"grey", {.imageType = 3, .depth = 8, .width = 2, .pixels = {0, 200}},
         {0x000000FF, 0xC8C8C8FF}},
        {"grey with alpha", {.imageType = 3, .depth = 16, .width = 2, .descriptor = 8,
          .pixels = {10, 255, 20, 128}}, {0x0A0A0AFF, 0x14141480}},
        {"24-bit map starting at 10", {.imageType = 1, .depth = 8, .width = 3, .mapType = 1,
          .mapFirst = 10, .mapLength = 2, .mapEntryBits = 24, .map = kRedBlueMap,
          .pixels = {10, 11, 10}}, {0xFF0000FF, 0x0000FFFF, 0xFF0000FF}},
        {"32-bit map", {.imageType = 1, .depth = 8, .width = 3, .mapType = 1, .mapFirst = 10,
          .mapLength = 2, .mapEntryBits = 32, .map = {0, 0, 255, 128, 255, 0, 0, 255},
          .pixels = {10, 11, 10}}, {0xFF000080, 0x0000FFFF, 0xFF000080}},
        {"16-bit map", {.imageType = 1, .depth = 8, .width = 3, .mapType = 1, .mapFirst = 10,
          .mapLength = 2, .mapEntryBits = 16, .map = {0x00, 0x7C, 0x1F, 0x00},
          .pixels = {10, 11, 10}}, {0xFF0000FF, 0x0000FFFF, 0xFF0000FF}},
        // A run of three red pixels, then one raw blue pixel.
        {"RLE packets cross rows", {.imageType = 10, .width = 2, .height = 2, .descriptor = 0x20,
          .pixels = {0x82, 0, 0, 255, 0x00, 255, 0, 0}},
         {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0x0000FFFF}},
        {"RLE grey", {.imageType = 11, .depth = 8, .width = 4, .pixels = {0x81, 7, 0x01, 8, 9}},
         {0x070707FF, 0x070707FF, 0x080808FF, 0x090909FF}},
        {"RLE mapped", {.imageType = 9, .depth = 8, .width = 4, .mapType = 1, .mapLength = 2,
          .mapEntryBits = 24, .map = kRedBlueMap, .pixels = {0x82, 1, 0x00, 0}},
         {0x0000FFFF, 0x0000FFFF, 0x0000FFFF, 0xFF0000FF}},
    };
    // clang-format on
    for (const TgaCase& c : cases)
        EXPECT_EQ(pixelsOf(detail::decodeTga, writeTga(c.file)), c.want) << c.what;
}

TEST(TgaReader, SizeIsCheckedBeforeThePixels) {
    TgaFile f{.width = 4000, .height = 4000, .pixels = {1, 2, 3}};
    EXPECT_EQ(errorOf(detail::decodeTga, writeTga(f), {1000}),
              "picture too large (4000 x 4000 pixels)");
    EXPECT_EQ(errorOf(detail::decodeTga, writeTga(f)), "truncated pixel data");
    f.imageType = 10; // needs at least one packet per 128 pixels
    EXPECT_EQ(errorOf(detail::decodeTga, writeTga(f)), "truncated pixel data");
    EXPECT_EQ(probed(detail::probeTga, writeTga(f)), "4000 x 4000");
}

TEST(TgaReader, SniffingClaimsTgaButNotOtherFiles) {
    Bytes header = writeTga({.width = 2, .height = 2, .pixels = kFourBgr});
    EXPECT_TRUE(detail::looksLikeTga(header));
    header.resize(18);
    EXPECT_FALSE(detail::looksLikeTga(header)); // a header alone is too little to claim
    header.push_back(0);
    EXPECT_TRUE(detail::looksLikeTga(header));
    const std::string text = "Hello, world.\nThis is a plain text file of some length.\n";
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
        Bytes(text.begin(), text.end()),
    };
    for (const Bytes& other : others)
        EXPECT_FALSE(detail::looksLikeTga(other)) << other.size();
}

} // namespace
} // namespace gw::imaging::test
