// Opening pictures, probing their size, and the canvas they draw into.
#include "Encoders.h"

#include "imaging/Picture.h"

#include <gtest/gtest.h>

#include <png.h>

namespace gw::imaging {
namespace {

using testing::Bytes;
using testing::Rgba;

Picture load(const Bytes& bytes, const std::string& name = "test") {
    PictureError error;
    auto picture = Picture::fromMemory(bytes, name, &error);
    EXPECT_TRUE(picture) << error.message;
    return *picture;
}

Canvas render(const Picture& picture, double gw, double gh, double scale = 1.0) {
    Canvas canvas;
    PictureError error;
    EXPECT_TRUE(picture.renderCanvas(gw, gh, scale, canvas, &error)) << error.message;
    return canvas;
}

const std::uint8_t* pixel(const Canvas& c, int x, int y) {
    return c.rgba.data() + (static_cast<std::size_t>(y) * c.width + x) * 4;
}

void expectEvery(const Canvas& c, std::array<int, 4> want, int tolerance = 0) {
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            for (int k = 0; k < 4; ++k) {
                ASSERT_NEAR(pixel(c, x, y)[k], want[k], tolerance)
                    << "pixel " << x << "," << y << " sample " << k;
            }
        }
    }
}

TEST(PictureFormats, NamesAndFileTypes) {
    EXPECT_EQ(formatName(Format::Jpeg), "jpeg");
    EXPECT_EQ(formatName(Format::Tiff), "tiff");
    const std::vector<std::string> types{"psd", "bmp", "gif", "jpg", "jpeg",
                                         "png", "tga", "tif", "tiff"};
    EXPECT_EQ(pictureFileTypes(), types);
}

TEST(PictureOpen, DetectsFormatFromContentNotName) {
    const Bytes png = testing::encodePng(Rgba::solid(7, 5, 1, 2, 3));
    const auto path = testing::writeTemp("really-a-png.jpg", png);
    PictureError error;
    const auto picture = Picture::open(path.string(), &error);
    ASSERT_TRUE(picture) << error.message;
    EXPECT_EQ(picture->format(), Format::Png);
    EXPECT_EQ(picture->size().width, 7u);
    EXPECT_EQ(picture->size().height, 5u);
    EXPECT_EQ(picture->name(), path.string());
    const Picture jpeg = load(testing::encodeJpeg(Rgba::solid(9, 4, 0, 0, 0)));
    EXPECT_EQ(jpeg.format(), Format::Jpeg);
    EXPECT_EQ(jpeg.size().width, 9u);
}

TEST(PictureOpen, ErrorsNameTheFile) {
    PictureError error;
    EXPECT_FALSE(Picture::open("/nonexistent/x.png", &error));
    EXPECT_EQ(error.message, "/nonexistent/x.png: cannot open (No such file or directory)");
    EXPECT_FALSE(Picture::fromMemory({}, "dropped", &error));
    EXPECT_EQ(error.message, "dropped: the file is empty");
    EXPECT_FALSE(Picture::fromMemory({'h', 'e', 'l', 'l', 'o', '\n'}, "notes.txt", &error));
    EXPECT_EQ(error.message, "notes.txt: not a picture in a supported format");
    EXPECT_FALSE(Picture::open(std::filesystem::temp_directory_path().string(), &error));
    EXPECT_EQ(error.message,
              std::filesystem::temp_directory_path().string() + ": not a regular file");
}

TEST(PictureOpen, CopiesShareTheDecodedHeader) {
    const Picture a = load(testing::encodePng(Rgba::solid(3, 2, 9, 9, 9)), "a");
    Picture b = a;
    Picture c = std::move(b);
    EXPECT_EQ(c.size().width, 3u);
    EXPECT_EQ(c.name(), "a");
}

TEST(CanvasRender, SolidColourIsExactAtEveryScale) {
    const Picture picture = load(testing::encodePng(Rgba::solid(37, 23, 200, 100, 7)));
    for (auto [gw, gh, scale] : {std::tuple{37.0, 23.0, 1.0},
                                 {10.0, 5.0, 1.0},
                                 {80.0, 60.0, 1.0},
                                 {13.0, 11.0, 2.0},
                                 {3.0, 50.0, 1.0},
                                 {1.0, 1.0, 1.0}}) {
        const Canvas canvas = render(picture, gw, gh, scale);
        EXPECT_EQ(canvas.width, static_cast<int>(gw * scale));
        EXPECT_EQ(canvas.height, static_cast<int>(gh * scale));
        expectEvery(canvas, {200, 100, 7, 255});
    }
}

TEST(CanvasRender, PixelSizeRoundsUpAndPartialPixelsAreCoveredPartly) {
    const Picture picture = load(testing::encodePng(Rgba::solid(101, 101, 255, 255, 255)));
    const Canvas canvas = render(picture, 101, 50.5);
    ASSERT_EQ(canvas.width, 101);
    ASSERT_EQ(canvas.height, 51);
    for (int x = 0; x < canvas.width; ++x) {
        EXPECT_EQ(pixel(canvas, x, 0)[0], 255);
        EXPECT_EQ(pixel(canvas, x, 49)[3], 255);
        // Half covered: premultiplied white at half alpha.
        EXPECT_EQ(pixel(canvas, x, 50)[0], 128);
        EXPECT_EQ(pixel(canvas, x, 50)[3], 128);
    }
    const Canvas scaled = render(picture, 10.25, 4, 2.0);
    EXPECT_EQ(scaled.width, 21);
    EXPECT_EQ(scaled.height, 8);
    EXPECT_EQ(pixel(scaled, 20, 3)[3], 128);
    EXPECT_EQ(pixel(scaled, 19, 3)[3], 255);
}

TEST(CanvasRender, AlphaIsPremultiplied) {
    Rgba image = Rgba::solid(4, 2, 200, 100, 50, 255);
    for (std::uint32_t x = 0; x < 4; ++x)
        image.at(x, 1)[3] = 0;
    image.at(1, 0)[3] = 128;
    const Canvas canvas = render(load(testing::encodePng(image)), 4, 2);
    EXPECT_EQ(std::vector<int>(pixel(canvas, 0, 0), pixel(canvas, 0, 0) + 4),
              (std::vector<int>{200, 100, 50, 255}));
    EXPECT_EQ(std::vector<int>(pixel(canvas, 1, 0), pixel(canvas, 1, 0) + 4),
              (std::vector<int>{100, 50, 25, 128}));
    EXPECT_EQ(std::vector<int>(pixel(canvas, 2, 1), pixel(canvas, 2, 1) + 4),
              (std::vector<int>{0, 0, 0, 0}));
    // A transparent neighbour's colour must not bleed into an average: only alpha drops.
    const Canvas half = render(load(testing::encodePng(image)), 4, 1);
    EXPECT_EQ(std::vector<int>(pixel(half, 0, 0), pixel(half, 0, 0) + 4),
              (std::vector<int>{100, 50, 25, 128}));
}

TEST(CanvasRender, ShrinkingAveragesAreas) {
    // Columns alternate black and white: a 2:1 shrink gives mid-grey everywhere.
    Rgba image = Rgba::solid(8, 2, 0, 0, 0);
    for (std::uint32_t y = 0; y < 2; ++y) {
        for (std::uint32_t x = 1; x < 8; x += 2)
            image.at(x, y)[0] = image.at(x, y)[1] = image.at(x, y)[2] = 255;
    }
    const Canvas canvas = render(load(testing::encodePng(image)), 4, 1);
    expectEvery(canvas, {128, 128, 128, 255});
}

TEST(CanvasRender, EnlargingIsSmooth) {
    Rgba image = Rgba::solid(2, 1, 0, 0, 0);
    image.at(1, 0)[0] = 255;
    const Canvas canvas = render(load(testing::encodePng(image)), 8, 1);
    EXPECT_EQ(pixel(canvas, 0, 0)[0], 0);
    EXPECT_EQ(pixel(canvas, 7, 0)[0], 255);
    for (int x = 1; x < 8; ++x)
        EXPECT_GE(pixel(canvas, x, 0)[0], pixel(canvas, x - 1, 0)[0]);
    EXPECT_GT(pixel(canvas, 4, 0)[0], 0);
    EXPECT_LT(pixel(canvas, 3, 0)[0], 255);
}

TEST(CanvasRender, ZeroSizedCanvasIsEmptyAndBadSizesAreRefused) {
    const Picture picture = load(testing::encodePng(Rgba::solid(3, 3, 1, 1, 1)), "p");
    Canvas canvas;
    EXPECT_TRUE(picture.renderCanvas(0, 5, 1, canvas));
    EXPECT_EQ(canvas.width, 0);
    EXPECT_TRUE(canvas.rgba.empty());
    PictureError error;
    EXPECT_FALSE(picture.renderCanvas(-1, 5, 1, canvas, &error));
    EXPECT_EQ(error.message, "p: invalid canvas size");
    EXPECT_FALSE(picture.renderCanvas(1e9, 1e9, 1, canvas, &error));
    EXPECT_EQ(error.message.rfind("p: the canvas is too large", 0), 0u);
}

TEST(Thumbnail, FitsTheLongerSideAndNeverEnlarges) {
    const Picture wide = load(testing::encodePng(Rgba::solid(300, 100, 10, 20, 30)));
    Canvas canvas;
    ASSERT_TRUE(wide.renderThumbnail(64, canvas));
    EXPECT_EQ(canvas.width, 64);
    EXPECT_EQ(canvas.height, 21);
    expectEvery(canvas, {10, 20, 30, 255});
    const Picture small = load(testing::encodePng(Rgba::solid(5, 9, 10, 20, 30)));
    ASSERT_TRUE(small.renderThumbnail(64, canvas));
    EXPECT_EQ(canvas.width, 5);
    EXPECT_EQ(canvas.height, 9);
    PictureError error;
    EXPECT_FALSE(small.renderThumbnail(0, canvas, &error));
}

TEST(CanvasRender, FileRemovedAfterOpeningGivesAnError) {
    const auto path =
        testing::writeTemp("vanishing.png", testing::encodePng(Rgba::solid(4, 4, 1, 2, 3)));
    const auto picture = Picture::open(path.string());
    ASSERT_TRUE(picture);
    std::filesystem::remove(path);
    Canvas canvas;
    PictureError error;
    EXPECT_FALSE(picture->renderCanvas(4, 4, 1, canvas, &error));
    EXPECT_EQ(error.message, path.string() + ": cannot open (No such file or directory)");
    testing::writeTemp("vanishing.png", testing::encodePng(Rgba::solid(5, 4, 1, 2, 3)));
    EXPECT_FALSE(picture->renderCanvas(4, 4, 1, canvas, &error));
    EXPECT_EQ(error.message, path.string() + ": the file changed since it was opened");
}

} // namespace
} // namespace gw::imaging

namespace gw::imaging {
namespace {

// BMP, TGA and PSD come from the in-house readers; these check only that pictures reach them and
// come back through the canvas.
TEST(PictureDispatch, BmpTgaAndPsdReachTheirReaders) {
    // A 2 x 1 BMP, 24 bits, rows bottom-up and padded to 4 bytes: red, then blue.
    testing::Bytes bmp{'B', 'M', 62, 0, 0, 0, 0, 0,  0, 0, 54, 0, 0, 0, 40,  0,   0, 0, 2, 0, 0,
                       0,   1,   0,  0, 0, 1, 0, 24, 0, 0, 0,  0, 0, 8, 0,   0,   0, 0, 0, 0, 0,
                       0,   0,   0,  0, 0, 0, 0, 0,  0, 0, 0,  0, 0, 0, 255, 255, 0, 0, 0, 0};
    // A 2 x 1 true-colour TGA with 8 alpha bits, top-left origin: opaque green, half-alpha white.
    testing::Bytes tga{0, 0, 2, 0,  0,    0, 0,   0, 0,   0,   0,   0,   2,
                       0, 1, 0, 32, 0x28, 0, 255, 0, 255, 255, 255, 255, 128};
    PictureError error;
    const auto b = Picture::fromMemory(bmp, "b", &error);
    ASSERT_TRUE(b) << error.message;
    EXPECT_EQ(b->format(), Format::Bmp);
    Canvas canvas;
    ASSERT_TRUE(b->renderCanvas(2, 1, 1, canvas, &error)) << error.message;
    EXPECT_EQ(canvas.rgba, (std::vector<std::uint8_t>{255, 0, 0, 255, 0, 0, 255, 255}));
    const auto t = Picture::fromMemory(tga, "t", &error);
    ASSERT_TRUE(t) << error.message;
    EXPECT_EQ(t->format(), Format::Tga);
    ASSERT_TRUE(t->renderCanvas(2, 1, 1, canvas, &error)) << error.message;
    EXPECT_EQ(canvas.rgba, (std::vector<std::uint8_t>{0, 255, 0, 255, 128, 128, 128, 128}));
    // A 2 x 1 RGB PSD, 8 bits, raw planes: orange, then grey.
    testing::Bytes psd{'8', 'B', 'P', 'S', 0, 1, 0, 0, 0,   0,  0,   0,  0, 3, 0, 0,
                       0,   1,   0,   0,   0, 2, 0, 8, 0,   3,  0,   0,  0, 0, 0, 0,
                       0,   0,   0,   0,   0, 0, 0, 0, 255, 50, 128, 50, 0, 50};
    const auto p = Picture::fromMemory(psd, "p", &error);
    ASSERT_TRUE(p) << error.message;
    EXPECT_EQ(p->format(), Format::Psd);
    ASSERT_TRUE(p->renderCanvas(2, 1, 1, canvas, &error)) << error.message;
    EXPECT_EQ(canvas.rgba, (std::vector<std::uint8_t>{255, 128, 0, 255, 50, 50, 50, 255}));
}

} // namespace
} // namespace gw::imaging

namespace gw::imaging {
namespace {

// A canvas wider than the picture is filtered down the columns first; the results must agree
// with the usual order.
TEST(CanvasRender, NarrowPictureOnAWideCanvas) {
    const Picture solid = load(testing::encodePng(Rgba::solid(3, 400, 10, 200, 30, 128)));
    const Canvas wide = render(solid, 50, 20.5);
    ASSERT_EQ(wide.width, 50);
    ASSERT_EQ(wide.height, 21);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 50; ++x) {
            ASSERT_EQ(std::vector<int>(pixel(wide, x, y), pixel(wide, x, y) + 4),
                      (std::vector<int>{5, 100, 15, 128}));
        }
    }
    EXPECT_EQ(pixel(wide, 0, 20)[3], 64);
    // A vertical ramp keeps its order from top to bottom, and its mean, whichever order is used.
    Rgba ramp = Rgba::solid(4, 256, 0, 0, 0);
    for (std::uint32_t y = 0; y < 256; ++y) {
        for (std::uint32_t x = 0; x < 4; ++x)
            std::fill_n(ramp.at(x, y), 3, static_cast<std::uint8_t>(y));
    }
    const Picture picture = load(testing::encodePng(ramp));
    const Canvas narrow = render(picture, 2, 8);
    const Canvas broad = render(picture, 40, 8);
    for (int y = 0; y < 8; ++y) {
        EXPECT_EQ(pixel(narrow, 0, y)[0], pixel(broad, 17, y)[0]) << y;
        if (y > 0) {
            EXPECT_GT(pixel(broad, 3, y)[0], pixel(broad, 3, y - 1)[0]);
        }
    }
}

} // namespace
} // namespace gw::imaging
