// The strip encoder against libtiff's own decoder, on the contents that stress it: long zero
// runs, noise that fills the code table many times over, and the smallest strips.
#include "render/LzwEncoder.h"

#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <tiffio.h>

#include <random>

namespace gw::render {
namespace {

TEST(LzwEncoderTest, LibtiffDecodesEveryStrip) {
    struct Case {
        const char* name;
        std::uint32_t width, rows, rowsPerStrip;
        int noise; // percent of random bytes among zeros
    };
    const Case cases[] = {
        {"one pixel", 1, 1, 1, 100},     {"flat", 4000, 40, 16, 0},
        {"text-like", 997, 61, 20, 3},   {"noise", 513, 300, 300, 100},
        {"half noise", 2048, 33, 7, 50},
    };
    std::mt19937 random(7);
    LzwEncoder encoder; // one encoder for all, as the writer reuses it across strips
    testing::TestFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t rowBytes = c.width * 3;
        std::vector<std::uint8_t> pixels(rowBytes * c.rows, 200);
        for (auto& p : pixels)
            if (static_cast<int>(random() % 100) < c.noise) p = static_cast<std::uint8_t>(random());
        const std::string path = folder.file("strips.tif");
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, c.width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, c.rows);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, c.rowsPerStrip);
        std::vector<std::uint8_t> encoded;
        for (std::uint32_t y = 0, strip = 0; y < c.rows; y += c.rowsPerStrip, ++strip) {
            const auto rows = static_cast<int>(std::min(c.rowsPerStrip, c.rows - y));
            encoder.encodeStrip(pixels.data() + y * rowBytes, rows, rowBytes, encoded);
            ASSERT_EQ(TIFFWriteRawStrip(tif, strip, encoded.data(),
                                        static_cast<tmsize_t>(encoded.size())),
                      static_cast<tmsize_t>(encoded.size()));
        }
        TIFFClose(tif);
        tif = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        std::vector<std::uint8_t> line(rowBytes);
        for (std::uint32_t y = 0; y < c.rows; ++y) {
            ASSERT_EQ(TIFFReadScanline(tif, line.data(), y), 1) << "row " << y;
            ASSERT_TRUE(std::equal(line.begin(), line.end(), pixels.begin() + y * rowBytes))
                << "row " << y;
        }
        TIFFClose(tif);
    }
}

} // namespace
} // namespace gw::render
