// JPEG decoding on pictures made here with libjpeg (scaled decoding, a large progressive
// picture), orientation at a fractional canvas, and PNG's two-thread path. The variants of GIF,
// JPEG, PNG and TIFF files are pictures in tests/data/good.
#include "Encoders.h"

#include "imaging/Picture.h"

#include <gtest/gtest.h>

namespace gw::imaging {
namespace {

using testing::Bytes;
using testing::Rgba;
using Px = std::array<int, 4>;

std::optional<Picture> load(const Bytes& bytes, PictureError* error = nullptr) {
    return Picture::fromMemory(bytes, "mem", error);
}

// Draws a picture at its own size.
Canvas natural(const Bytes& bytes) {
    PictureError error;
    const auto picture = load(bytes, &error);
    Canvas canvas;
    EXPECT_TRUE(picture && picture->renderCanvas(picture->size().width, picture->size().height, 1,
                                                 canvas, &error))
        << error.message;
    return canvas;
}

Px at(const Canvas& c, int x, int y) {
    const std::uint8_t* p = c.rgba.data() + (static_cast<std::size_t>(y) * c.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// Noise-like content, alpha included unless `opaque`, so that every PNG filter choice occurs.
Rgba noise(std::uint32_t w, std::uint32_t h, std::uint32_t state, bool opaque = false) {
    Rgba image = Rgba::solid(w, h, 0, 0, 0);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        state = state * 1103515245u + 12345u;
        image.pixels[i] = opaque && i % 4 == 3 ? 255 : static_cast<std::uint8_t>(state >> 16);
    }
    return image;
}

// The canvas holds `want` premultiplied.
void expectCanvasEquals(const Canvas& c, const Rgba& want) {
    ASSERT_EQ(c.width, static_cast<int>(want.width));
    ASSERT_EQ(c.height, static_cast<int>(want.height));
    for (std::size_t i = 0; i < want.pixels.size(); ++i) {
        const std::uint8_t* w = want.pixels.data() + i / 4 * 4;
        const int expect = i % 4 == 3 ? w[3] : (want.pixels[i] * w[3] + 127) / 255;
        ASSERT_EQ(c.rgba[i], expect)
            << "at " << i / 4 % want.width << "," << i / 4 / want.width << " sample " << i % 4;
    }
}

TEST(PngDecode, LargePicturesDecodeOnTwoThreadsWithTheSameResult) {
    // Above a megabyte of image data the inflation runs on its own thread. Every other row is
    // stored with the Up filter, so each row needs the one before it.
    const Rgba image = noise(700, 420, 7);
    const std::size_t stride = image.width * 4;
    Bytes raw;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        raw.push_back(y % 2 ? 2 : 0);
        for (std::size_t i = 0; i < stride; ++i) {
            const std::size_t at = y * stride + i;
            raw.push_back(static_cast<std::uint8_t>(image.pixels[at] -
                                                    (y % 2 ? image.pixels[at - stride] : 0)));
        }
    }
    const Bytes png = testing::pngFromFilteredRows(image.width, image.height, raw);
    expectCanvasEquals(natural(png), image);
    // Cut short, and with a broken filter byte in the middle: errors cross the threads cleanly.
    PictureError error;
    const auto truncated =
        load(Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2)), &error);
    ASSERT_TRUE(truncated);
    Canvas canvas;
    EXPECT_FALSE(truncated->renderCanvas(70, 42, 1, canvas, &error));
    EXPECT_EQ(error.message, "mem: truncated PNG data");
    raw[300 * (stride + 1)] = 7;
    EXPECT_FALSE(load(testing::pngFromFilteredRows(image.width, image.height, raw))
                     ->renderCanvas(70, 42, 1, canvas, &error));
    EXPECT_EQ(error.message, "mem: damaged PNG data (bad adaptive filter value)");
}

TEST(JpegDecode, ReducedScaleKeepsASolidColour) {
    // Large enough for a 1/8 reduction in the DCT; a grey picture has exact chroma.
    for (bool progressive : {false, true}) {
        const auto picture =
            load(testing::encodeJpeg(Rgba::solid(800, 480, 90, 90, 90), 95, progressive));
        ASSERT_TRUE(picture);
        for (auto [gw, gh] :
             {std::pair{80.0, 30.0}, {100.0, 60.0}, {333.0, 111.5}, {400.0, 240.0}}) {
            Canvas c;
            ASSERT_TRUE(picture->renderCanvas(gw, gh, 1, c));
            for (int y = 0; y < static_cast<int>(gh); ++y) {
                for (int x = 0; x < c.width; ++x)
                    ASSERT_EQ(at(c, x, y), (Px{90, 90, 90, 255})) << gw << "x" << gh;
            }
        }
    }
}

TEST(JpegDecode, LargeProgressiveMatchesBaseline) {
    // Big enough that the progressive coefficient buffer comes from the mapped large-block
    // allocator rather than malloc.
    Rgba image = Rgba::solid(3000, 2000, 0, 0, 0);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            std::uint8_t* p = image.at(x, y);
            p[0] = static_cast<std::uint8_t>(x * 255 / image.width);
            p[1] = static_cast<std::uint8_t>(y * 255 / image.height);
            p[2] = static_cast<std::uint8_t>((x ^ y) & 0xFF);
        }
    }
    Canvas a, b;
    ASSERT_TRUE(load(testing::encodeJpeg(image, 90, false))->renderCanvas(750, 500, 1, a));
    ASSERT_TRUE(load(testing::encodeJpeg(image, 90, true))->renderCanvas(750, 500, 1, b));
    EXPECT_EQ(a.rgba, b.rgba);
}

TEST(Orientation, FractionalCanvasKeepsThePartialEdgeAtTheBottomRight) {
    for (int o : {1, 3, 6, 8}) {
        const auto picture = Picture::open(std::string(GLYPHWERK_TEST_DATA) +
                                           "/good/jpeg-orientation-" + std::to_string(o) + ".jpg");
        ASSERT_TRUE(picture);
        Canvas c;
        ASSERT_TRUE(
            picture->renderCanvas(picture->size().width - 0.5, picture->size().height - 0.5, 1, c));
        EXPECT_EQ(at(c, 0, 0)[3], 255) << o;
        EXPECT_EQ(at(c, c.width - 1, 0)[3], 128) << o;
        EXPECT_EQ(at(c, 0, c.height - 1)[3], 128) << o;
        EXPECT_EQ(at(c, c.width - 1, c.height - 1)[3], 64) << o;
    }
}

} // namespace
} // namespace gw::imaging
