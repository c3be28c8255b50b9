// The TIFF and PNG images, decoded by their own libraries.
#include "render/TiffImage.h"
#include "render/PngImage.h"

#include "support/DataTable.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <png.h>
#include <tiffio.h>

#include <array>
#include <cmath>

namespace gw::render {
namespace {

using Pixel = std::array<int, 3>;

struct Image {
    std::uint32_t width = 0, height = 0;
    std::uint16_t compression = 0, predictor = 0, samples = 0, bits = 0, photometric = 0, unit = 0;
    float xResolution = 0, yResolution = 0;
    std::vector<std::uint8_t> rgb;
    Pixel at(std::uint32_t x, std::uint32_t y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

Image readTiff(const std::string& path) {
    Image image;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr) return image;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &image.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &image.height);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &image.compression);
    TIFFGetField(tif, TIFFTAG_PREDICTOR, &image.predictor);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &image.samples);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &image.bits);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &image.photometric);
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &image.xResolution);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &image.yResolution);
    TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &image.unit);
    image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        if (TIFFReadScanline(tif, image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3,
                             y) < 0)
            image.rgb.clear();
    }
    TIFFClose(tif);
    return image;
}

class TiffImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid->width2 = 6;
        grid->height2 = 5;
        for (auto& column : grid->ascii)
            std::fill(std::begin(column), std::end(column), ' ');
        // Top left and bottom right of the 4 x 3 visible cells; the frame's own cells carry
        // ink that must not show.
        put(1, 1, '@', {200, 30, 60});
        put(4, 3, 'M', {300, 250, 20}); // a sample above 255 counts as 255
        put(0, 0, '@', {1, 2, 3});
        put(5, 4, '@', {1, 2, 3});
        options.fontName = "DejaVu Sans Mono";
        options.pointSize = 40;
        options.background = {1.0, 0.5, 0.25};
    }
    void put(int x, int y, char c, Pixel color) {
        grid->ascii[x][y] = c;
        for (int i = 0; i < 3; ++i)
            grid->data[x][y][i] = static_cast<std::uint64_t>(color[static_cast<std::size_t>(i)]);
    }
    // Where a colour occurs: the bounding box of its pixels, or an empty box.
    static std::array<std::uint32_t, 4> boxOf(const Image& image, Pixel color) {
        std::array<std::uint32_t, 4> box{image.width, image.height, 0, 0};
        for (std::uint32_t y = 0; y < image.height; ++y)
            for (std::uint32_t x = 0; x < image.width; ++x)
                if (image.at(x, y) == color)
                    box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x + 1),
                           std::max(box[3], y + 1)};
        return box;
    }

    CellGridPtr grid = makeCellGrid();
    TiffImageOptions options;
    testing::TestFolder folder;
};

TEST_F(TiffImageTest, DrawsTheVisibleCellsInTheirColoursOnTheBackground) {
    const Pixel background{255, 127, 63};
    for (const bool color : {true, false}) {
        SCOPED_TRACE(color ? "colour" : "black and white");
        options.color = color;
        std::string error;
        const std::string path = folder.file("art.tif");
        ASSERT_TRUE(writeTiffImage(path, *grid, options, LinkPolicy::writeThrough, error)) << error;
        const Image image = readTiff(path);
        ASSERT_FALSE(image.rgb.empty());
        // 6 x 7.1 x 40 / 12 + 70 = 212 by 40 x 5 x 15 / 12 + 20 = 270.
        EXPECT_EQ(std::make_tuple(image.width, image.height, image.compression, image.predictor,
                                  image.samples, image.bits, image.photometric),
                  std::make_tuple(212u, 270u, COMPRESSION_LZW, PREDICTOR_HORIZONTAL, 3, 8,
                                  PHOTOMETRIC_RGB));
        EXPECT_EQ(std::make_tuple(image.xResolution, image.yResolution, image.unit),
                  std::make_tuple(72.0f, 72.0f, RESUNIT_INCH));
        EXPECT_EQ(image.at(0, 0), background);
        EXPECT_EQ(image.at(211, 269), background);
        EXPECT_EQ(boxOf(image, {1, 2, 3})[0], image.width) << "a frame cell was drawn";
        const auto first = boxOf(image, color ? Pixel{200, 30, 60} : Pixel{0, 0, 0});
        const auto last = boxOf(image, {255, 250, 20});
        if (color) {
            // The first cell starts after the 5-point padding, in the first row; the last
            // lies three columns and two rows further.
            EXPECT_GE(first[0], 5u);
            EXPECT_LT(first[2], 5u + 25u);
            EXPECT_LT(first[3], 50u);
            EXPECT_GT(last[0], 5u + 3 * 24u);
            EXPECT_GT(last[1], 2 * 46u);
        } else {
            EXPECT_LT(first[0], first[2]) << "no black ink";
            EXPECT_EQ(last[0], image.width) << "colour in black and white";
            for (std::size_t i = 0; i < image.rgb.size(); i += 3)
                ASSERT_TRUE(image.rgb[i + 1] <= 127 && image.rgb[i + 2] <= 63);
        }
    }
}

TEST_F(TiffImageTest, AnEmptyGridGivesTheBareFrame) {
    grid->width2 = 2;
    grid->height2 = 2;
    options.pointSize = 99; // out of range: 12 points
    std::string error;
    ASSERT_TRUE(
        writeTiffImage(folder.file("empty.tif"), *grid, options, LinkPolicy::writeThrough, error));
    const Image image = readTiff(folder.file("empty.tif"));
    // 2 x 7.1 + 70 = 84.2, rounded up; 12 x 2 x 15 / 12 + 20 = 50.
    EXPECT_EQ(image.width, 85u);
    EXPECT_EQ(image.height, 50u);
    EXPECT_EQ(boxOf(image, {255, 127, 63}), (std::array<std::uint32_t, 4>{0, 0, 85, 50}));
}

// Both writers; that a stream gets the file's bytes is the format table's test.
TEST_F(TiffImageTest, FailuresNameThePathAndTheReason) {
    for (const bool png : {false, true}) {
        const std::string missing = folder.file(png ? "missing/art.png" : "missing/art.tif");
        for (const auto& [path, reason] : {std::pair{missing, "No such file or directory"},
                                           {"/dev/full", "No space left on device"}}) {
            SCOPED_TRACE(path);
            std::string error;
            EXPECT_FALSE(
                png ? writePngImage(path, *grid, options, LinkPolicy::writeThrough, error)
                    : writeTiffImage(path, *grid, options, LinkPolicy::writeThrough, error));
            EXPECT_EQ(error, path + ": " + reason);
        }
    }
}

struct Png {
    std::uint32_t width = 0, height = 0;
    int colorType = -1, bitDepth = 0, interlace = -1;
    png_uint_32 xPerMetre = 0, yPerMetre = 0;
    int unit = -1;
    std::vector<std::uint8_t> rgb;
};

// The file as libpng reads it, with its header and pHYs; empty pixels when it cannot.
Png readPng(const std::string& path) {
    Png result;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return result;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        result.width = png_get_image_width(png, info);
        result.height = png_get_image_height(png, info);
        result.colorType = png_get_color_type(png, info);
        result.bitDepth = png_get_bit_depth(png, info);
        result.interlace = png_get_interlace_type(png, info);
        png_get_pHYs(png, info, &result.xPerMetre, &result.yPerMetre, &result.unit);
        result.rgb.resize(static_cast<std::size_t>(result.width) * result.height * 3);
        for (std::uint32_t y = 0; y < result.height; ++y)
            png_read_row(png, result.rgb.data() + static_cast<std::size_t>(y) * result.width * 3,
                         nullptr);
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return result;
}

// Black and white on each background of output/ink.tsv: the characters in the ink that reads
// on it, every pixel a blend of the background and that ink, in the TIFF and the PNG alike.
GW_TABLE_TEST_F(TiffImageTest, InkRows, ContrastsWithTheBackground, "output/ink.tsv") {
    const test::DataRow& row = GetParam();
    options.background = {std::stod(row[1]), std::stod(row[2]), std::stod(row[3])};
    options.color = false;
    const int inkLevel = row[4] == "#000000" ? 0 : 255;
    const Pixel ink{inkLevel, inkLevel, inkLevel};
    const Pixel background{sampleOf(options.background.red), sampleOf(options.background.green),
                           sampleOf(options.background.blue)};
    std::string error;
    ASSERT_TRUE(
        writeTiffImage(folder.file("art.tif"), *grid, options, LinkPolicy::writeThrough, error))
        << error;
    ASSERT_TRUE(
        writePngImage(folder.file("art.png"), *grid, options, LinkPolicy::writeThrough, error))
        << error;
    const Image image = readTiff(folder.file("art.tif"));
    ASSERT_FALSE(image.rgb.empty());
    EXPECT_EQ(image.at(0, 0), background);
    EXPECT_LT(boxOf(image, ink)[0], image.width) << "no character in full ink";
    for (std::size_t i = 0; i < image.rgb.size(); ++i) {
        const int b = background[i % 3];
        ASSERT_TRUE(image.rgb[i] >= std::min(b, inkLevel) && image.rgb[i] <= std::max(b, inkLevel))
            << "pixel " << i / 3 << " is no blend of the background and the ink";
    }
    EXPECT_TRUE(readPng(folder.file("art.png")).rgb == image.rgb);
}

// The PNG image is the TIFF image's picture, pixel for pixel, in every mode and at every size
// the painter treats apart (a band of several strips at 73 points).
TEST_F(TiffImageTest, ThePngHoldsTheTiffsPixels) {
    for (int x = 1; x <= 4; ++x)
        for (int y = 1; y <= 3; ++y)
            if (grid->ascii[x][y] == ' ')
                put(x, y, static_cast<char>('!' + x * 7 + y), {9, 99, 199});
    struct Row {
        const char* name;
        int pointSize;
        bool color;
        int width2, height2;
    };
    for (const Row row : {Row{"colour at 40 points", 40, true, 6, 5},
                          Row{"black and white at 40 points", 40, false, 6, 5},
                          Row{"a tall grid at 73 points", 73, true, 6, 200}}) {
        SCOPED_TRACE(row.name);
        options.pointSize = row.pointSize;
        options.color = row.color;
        grid->width2 = row.width2;
        grid->height2 = row.height2;
        std::string error;
        ASSERT_TRUE(
            writeTiffImage(folder.file("art.tif"), *grid, options, LinkPolicy::writeThrough, error))
            << error;
        ASSERT_TRUE(
            writePngImage(folder.file("art.png"), *grid, options, LinkPolicy::writeThrough, error))
            << error;
        const Image tiff = readTiff(folder.file("art.tif"));
        const Png png = readPng(folder.file("art.png"));
        ASSERT_FALSE(png.rgb.empty());
        EXPECT_EQ(
            std::make_tuple(png.width, png.height, png.colorType, png.bitDepth, png.interlace),
            std::make_tuple(tiff.width, tiff.height, PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_NONE));
        // 72 dots per inch, as PNG counts them: 2835 a metre.
        EXPECT_EQ(std::make_tuple(png.xPerMetre, png.yPerMetre, png.unit),
                  std::make_tuple(2835u, 2835u, PNG_RESOLUTION_METER));
        EXPECT_TRUE(png.rgb == tiff.rgb);
    }
}

} // namespace
} // namespace gw::render
