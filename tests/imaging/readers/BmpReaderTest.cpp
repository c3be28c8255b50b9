#include "FileWriters.h"
#include "RasterReaders.h"

#include <gtest/gtest.h>

namespace gw::imaging::test {
namespace {

const std::vector<std::array<std::uint8_t, 3>> kFour = {
    {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};

const Pixels kGreenOverRed = {0x00FF00FF, 0x00FF00FF, 0x00FF00FF,
                              0xFF0000FF, 0xFF0000FF, 0xFF0000FF};

struct BmpCase {
    const char* what;
    BmpFile file;
    Pixels want;
};

TEST(BmpReader, EveryVariantDecodesToItsPixels) {
    // clang-format off
    const BmpCase cases[] = {
        // File rows run from the bottom; 9 bytes of pixels pad to 12.
        {"24-bit bottom-up, padded", {.width = 3, .height = 2, .pixels = padRows({
             {0, 0, 255, 0, 255, 0, 255, 0, 0}, {10, 20, 30, 40, 50, 60, 70, 80, 90}})},
         {0x1E140AFF, 0x3C3228FF, 0x5A5046FF, 0xFF0000FF, 0x00FF00FF, 0x0000FFFF}},
        {"top-down", {.height = -2, .pixels = padRows({{0, 0, 255}, {255, 0, 0}})},
         {0xFF0000FF, 0x0000FFFF}},
        {"last row without padding", {.height = 2, .pixels = {1, 2, 3, 0, 4, 5, 6}},
         {0x060504FF, 0x030201FF}},
        {"32-bit alpha", {.width = 3, .bitsPerPixel = 32,
          .pixels = {1, 2, 3, 255, 1, 2, 3, 128, 1, 2, 3, 0}},
         {0x030201FF, 0x03020180, 0x03020100}},
        {"32-bit alpha all zero means opaque", {.width = 3, .bitsPerPixel = 32,
          .pixels = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}}, {0x030201FF, 0x060504FF, 0x090807FF}},
        {"16-bit defaults to 5-5-5", {.width = 2, .bitsPerPixel = 16,
          .pixels = {0x00, 0x7C, 0x1F, 0x00}}, {0xFF0000FF, 0x0000FFFF}},
        {"5-6-5 masks after an info header", {.width = 2, .bitsPerPixel = 16, .compression = 3,
          .masks = {0xF800, 0x07E0, 0x001F}, .pixels = {0xE0, 0x07, 0x10, 0x84}},
         {0x00FF00FF, 0x848284FF}},
        {"4-4-4-4 masks with alpha", {.width = 2, .bitsPerPixel = 16, .compression = 6,
          .masks = {0x0F00, 0x00F0, 0x000F, 0xF000}, .pixels = {0x00, 0x8F, 0xFF, 0xFF}},
         {0xFF000088, 0xFFFFFFFF}},
        {"version 5 header masks", {.width = 2, .bitsPerPixel = 32, .compression = 3,
          .headerSize = 124, .masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
          .pixels = {10, 20, 30, 40, 50, 60, 70, 255}}, {0x0A141E28, 0x323C46FF}},
        {"1-bit, one bit past a byte", {.width = 9, .bitsPerPixel = 1, .palette = kFour,
          .pixels = padRows({{0b10100000, 0b10000000}})},
         {0xFF0000FF, 0x000000FF, 0xFF0000FF, 0x000000FF, 0x000000FF, 0x000000FF, 0x000000FF,
          0x000000FF, 0xFF0000FF}},
        {"4-bit", {.width = 3, .bitsPerPixel = 4, .palette = kFour,
          .pixels = padRows({{0x32, 0x10}})}, {0x0000FFFF, 0x00FF00FF, 0xFF0000FF}},
        {"short palette", {.width = 2, .bitsPerPixel = 8, .palette = {{1, 2, 3}, {4, 5, 6}},
          .colorsUsed = 2, .pixels = padRows({{1, 0}})}, {0x040506FF, 0x010203FF}},
        // Only one entry lies before the pixels.
        {"palette count beyond the pixel offset", {.bitsPerPixel = 8, .palette = {{1, 2, 3}},
          .colorsUsed = 200, .pixels = padRows({{0}})}, {0x010203FF}},
        {"OS/2 core header", {.width = 2, .bitsPerPixel = 8, .headerSize = 12, .palette = kFour,
          .pixels = padRows({{2, 3}})}, {0x00FF00FF, 0x0000FFFF}},
        // Bottom row four red; a literal of three padded to even, the fourth pixel left
        // transparent; a delta of two to the right, two green, end of picture.
        {"RLE8 runs, literals, delta and skipped pixels", {.width = 4, .height = 3,
          .bitsPerPixel = 8, .compression = 1, .palette = kFour,
          .pixels = {4, 1, 0, 0, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 2, 0, 2, 2, 0, 1}},
         {0x00000000, 0x00000000, 0x00FF00FF, 0x00FF00FF, 0x00FF00FF, 0x0000FFFF, 0xFF0000FF,
          0x00000000, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF}},
        // A run of 1 2 1, a literal of 3 0 1, a run of one 2.
        {"RLE4 nibbles", {.width = 7, .bitsPerPixel = 4, .compression = 2, .palette = kFour,
          .pixels = {3, 0x12, 0, 3, 0x30, 0x10, 1, 0x23, 0, 1}},
         {0xFF0000FF, 0x00FF00FF, 0xFF0000FF, 0x0000FFFF, 0x000000FF, 0xFF0000FF, 0x00FF00FF}},
        // Some writers let runs cover a row's padding; it is dropped. A stream that fills the
        // last row may end without its end-of-picture code.
        {"RLE run over the row padding", {.width = 3, .height = 2, .bitsPerPixel = 8,
          .compression = 1, .palette = kFour, .pixels = {4, 1, 0, 0, 3, 2, 0, 1}}, kGreenOverRed},
        {"RLE filling the last row without an end code", {.width = 3, .height = 2,
          .bitsPerPixel = 8, .compression = 1, .palette = kFour, .pixels = {3, 1, 0, 0, 3, 2}},
         kGreenOverRed},
    };
    // clang-format on
    for (const BmpCase& c : cases)
        EXPECT_EQ(pixelsOf(detail::decodeBmp, writeBmp(c.file)), c.want) << c.what;
}

// The faults of whole files are in the bad-file corpus; these are built around a case above.
TEST(BmpReader, SizeAndPixelChecks) {
    const Bytes big = writeBmp({.width = 4000, .height = 4000, .pixels = {1, 2, 3}});
    EXPECT_EQ(errorOf(detail::decodeBmp, big, {1000 * 1000}),
              "picture too large (4000 x 4000 pixels)");
    EXPECT_EQ(errorOf(detail::decodeBmp, big), "truncated pixel data");
    EXPECT_EQ(probed(detail::probeBmp, big), "4000 x 4000");
    EXPECT_EQ(errorOf(detail::decodeBmp, writeBmp({.height = 2, .pixels = {1, 2, 3, 0, 4, 5}})),
              "truncated pixel data");
    EXPECT_EQ(errorOf(detail::decodeBmp, writeBmp({.width = 3,
                                                   .height = 2,
                                                   .bitsPerPixel = 8,
                                                   .compression = 1,
                                                   .palette = kFour,
                                                   .pixels = {5, 1, 0, 1}})),
              "RLE run past the end of a row");
    // The probe needs only the header; the palette and pixels lie past the bytes seen.
    Bytes head = writeBmp({.width = 3,
                           .height = 2,
                           .bitsPerPixel = 8,
                           .palette = kFour,
                           .pixels = padRows({{0, 1, 2}, {3, 2, 1}})});
    head.resize(14 + 40);
    EXPECT_EQ(probed(detail::probeBmp, head), "3 x 2");
    EXPECT_EQ(errorOf(detail::decodeBmp, head), "invalid BMP pixel data offset");
    EXPECT_TRUE(detail::looksLikeBmp(writeBmp({.pixels = {0, 0, 0, 0}})));
    EXPECT_FALSE(detail::looksLikeBmp(Bytes{'B', 'M', 1, 2}));
    EXPECT_FALSE(detail::looksLikeBmp(Bytes(32, 0)));
}

} // namespace
} // namespace gw::imaging::test
