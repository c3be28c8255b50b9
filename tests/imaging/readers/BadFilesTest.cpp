// The hostile-file corpus: every BMP, TGA and PSD file in tests/data/bad is refused with the
// reason for its fault, and none is left out of the list below.
#include "FileWriters.h"
#include "RasterReaders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace gw::imaging::test {
namespace {

const std::map<std::string, std::string> kExpected = {
    {"bmp-65535x65535.bmp", "picture too large (65535 x 65535 pixels)"},
    {"bmp-bad-masks.bmp", "invalid BMP bit field masks"},
    {"bmp-bit-depth-7.bmp", "unsupported BMP bit depth 7"},
    {"bmp-header-size-20.bmp", "unsupported BMP header size 20"},
    {"bmp-height-int-min.bmp", "picture too large (1 x 2147483648 pixels)"},
    {"bmp-jpeg.bmp", "unsupported BMP compression 4 (JPEG)"},
    {"bmp-negative-width.bmp", "invalid BMP width -5"},
    {"bmp-os2-rle24.bmp", "unsupported BMP compression 4 (OS/2 RLE24)"},
    {"bmp-palette-too-short.bmp", "colour index 5 past the end of the palette (2 colours)"},
    {"bmp-pixel-offset-in-header.bmp", "invalid BMP pixel data offset"},
    {"bmp-pixel-offset-past-end.bmp", "invalid BMP pixel data offset"},
    {"bmp-rle4-delta-past-row.bmp", "RLE run past the end of a row"},
    {"bmp-rle8-delta-past-last-row.bmp", "RLE run past the end of the picture"},
    {"bmp-rle8-past-last-row.bmp", "RLE run past the end of the picture"},
    {"bmp-rle8-run-past-end.bmp", "RLE run past the end of a row"},
    {"bmp-rle8-truncated.bmp", "truncated pixel data"},
    {"bmp-rle8-with-24-bit.bmp", "invalid BMP compression 1 for 24-bit pixels"},
    {"bmp-signature-wrong.bmp", "not a BMP file"},
    {"bmp-truncated-header.bmp", "truncated header"},
    {"bmp-truncated-pixels.bmp", "truncated pixel data"},
    {"bmp-zero-width.bmp", "zero width or height"},
    {"tga-65535x65535.tga", "picture too large (65535 x 65535 pixels)"},
    {"tga-bit-depth-12.tga", "unsupported TGA bit depth 12"},
    {"tga-colour-map-truncated.tga", "truncated header"},
    {"tga-colour-map-type-2.tga", "invalid TGA colour map type 2"},
    {"tga-huffman.tga", "unsupported TGA image type 32"},
    {"tga-index-below-map-start.tga", "colour index 9 outside the colour map"},
    {"tga-index-outside-map.tga", "colour index 3 outside the colour map"},
    {"tga-interleaved.tga", "unsupported TGA interleaving"},
    {"tga-map-entry-size-20.tga", "unsupported TGA colour map entry size 20"},
    {"tga-mapped-without-map.tga", "TGA colour-mapped picture without a colour map"},
    {"tga-rle-run-past-end.tga", "RLE run past the end of the picture"},
    {"tga-rle-truncated.tga", "truncated pixel data"},
    {"tga-truncated-header.tga", "truncated header"},
    {"tga-truncated-pixels.tga", "truncated pixel data"},
    {"tga-zero-height.tga", "zero width or height"},
    {"psd-30000x30000.psd", "picture too large (30000 x 30000 pixels)"},
    {"psd-32-bit.psd", "unsupported PSD bit depth 32"},
    {"psd-56-channels.psd", "truncated pixel data"},
    {"psd-57-channels.psd", "invalid PSD channel count 57"},
    {"psd-bitmap.psd", "unsupported PSD colour mode 0 (bitmap)"},
    {"psd-cmyk.psd", "unsupported PSD colour mode 4 (CMYK)"},
    {"psd-duotone.psd", "unsupported PSD colour mode 8 (duotone)"},
    {"psd-indexed-16-bit.psd", "unsupported PSD bit depth 16"},
    {"psd-indexed-without-colour-table.psd", "PSD colour table missing"},
    {"psd-lab.psd", "unsupported PSD colour mode 9 (Lab)"},
    {"psd-multichannel.psd", "unsupported PSD colour mode 7 (multichannel)"},
    {"psd-psb.psd", "unsupported PSD version 2 (large document)"},
    {"psd-rgb-two-channels.psd", "too few channels (2) for a PSD RGB picture"},
    {"psd-rle-counts-past-end.psd", "truncated pixel data"},
    {"psd-rle-row-short.psd", "truncated pixel data"},
    {"psd-rle-run-past-row.psd", "RLE run past the end of a row"},
    {"psd-signature-wrong.psd", "not a PSD file"},
    {"psd-truncated-header.psd", "truncated header"},
    {"psd-truncated-pixels.psd", "truncated pixel data"},
    {"psd-truncated-sections.psd", "truncated header"},
    {"psd-zero-channels.psd", "invalid PSD channel count 0"},
    {"psd-zero-width.psd", "zero width or height"},
    {"psd-zip.psd", "unsupported PSD compression 2 (ZIP)"},
};

TEST(BadFiles, EachIsRefusedWithItsReason) {
    const std::map<std::string, std::pair<Decoder, Prober>> readers = {
        {"bmp-", {&detail::decodeBmp, &detail::probeBmp}},
        {"tga-", {&detail::decodeTga, &detail::probeTga}},
        {"psd-", {&detail::decodePsd, &detail::probePsd}}};
    std::size_t seen = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(GLYPHWERK_TEST_DATA) / "bad")) {
        const std::string name = entry.path().filename().string();
        const auto reader = readers.find(name.substr(0, 4));
        if (reader == readers.end()) continue; // another format's file
        ++seen;
        const auto expected = kExpected.find(name);
        ASSERT_NE(expected, kExpected.end()) << name << " has no expected reason";
        const Bytes bytes = readFile(entry.path().string());
        EXPECT_EQ(errorOf(reader->second.first, bytes), expected->second) << name;
        // A fault in the header is reported alike by the probe.
        std::uint32_t width = 0, height = 0;
        std::string reason;
        if (!reader->second.second(bytes, width, height, reason)) {
            EXPECT_EQ(reason, expected->second) << name;
        }
    }
    EXPECT_EQ(seen, kExpected.size()) << "a listed file is missing";
}

} // namespace
} // namespace gw::imaging::test
