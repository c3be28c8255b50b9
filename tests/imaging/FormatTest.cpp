// JPEG decoding on pictures made here with libjpeg (solid colours, scaled decoding, a large
// progressive picture, orientation) and PNG's two-thread path. The variants of GIF, PNG and TIFF
// files are pictures in tests/data/good.
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

// The picture as it should be shown for an EXIF/TIFF orientation value: the tag says where the
// stored row 0 and column 0 belong (1: top/left, 6: right/top, 8: left/bottom, ...).
Rgba oriented(const Rgba& s, int o) {
    // Per orientation, which of {sx, sy, flipped sx, flipped sy} give the shown x and y.
    static constexpr int kFrom[9][2] = {{0, 1}, {0, 1}, {2, 1}, {2, 3}, {0, 3},
                                        {1, 0}, {3, 0}, {3, 2}, {1, 2}};
    const bool swap = o >= 5;
    Rgba d = Rgba::solid(swap ? s.height : s.width, swap ? s.width : s.height, 0, 0, 0, 0);
    for (std::uint32_t sy = 0; sy < s.height; ++sy) {
        for (std::uint32_t sx = 0; sx < s.width; ++sx) {
            const std::uint32_t v[] = {sx, sy, s.width - 1 - sx, s.height - 1 - sy};
            std::copy_n(s.pixels.data() + (std::size_t{sy} * s.width + sx) * 4, 4,
                        d.at(v[kFrom[o][0]], v[kFrom[o][1]]));
        }
    }
    return d;
}

// The canvas holds `want` premultiplied.
void expectCanvasEquals(const Canvas& c, const Rgba& want, int tolerance = 0) {
    ASSERT_EQ(c.width, static_cast<int>(want.width));
    ASSERT_EQ(c.height, static_cast<int>(want.height));
    for (std::size_t i = 0; i < want.pixels.size(); ++i) {
        const std::uint8_t* w = want.pixels.data() + i / 4 * 4;
        const int expect = i % 4 == 3 ? w[3] : (want.pixels[i] * w[3] + 127) / 255;
        ASSERT_NEAR(c.rgba[i], expect, tolerance)
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

TEST(JpegDecode, SolidColoursAtFullAndReducedScale) {
    for (const auto& [r, g, b] :
         {std::tuple{0, 0, 0}, {255, 255, 255}, {200, 30, 90}, {17, 130, 240}}) {
        const Rgba image = Rgba::solid(19, 13, static_cast<std::uint8_t>(r),
                                       static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b));
        expectCanvasEquals(natural(testing::encodeJpeg(image)), image, 2);
        expectCanvasEquals(natural(testing::encodeJpeg(image, {100, true, false, 0})), image, 2);
    }
    const Rgba grey = Rgba::solid(1, 1, 77, 77, 77);
    expectCanvasEquals(natural(testing::encodeJpeg(grey, {100, false, true, 0})), grey);
    // Large enough for a 1/8 reduction in the DCT; a grey picture has exact chroma.
    for (bool progressive : {false, true}) {
        const auto picture =
            load(testing::encodeJpeg(Rgba::solid(800, 480, 90, 90, 90), {95, progressive}));
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
    ASSERT_TRUE(load(testing::encodeJpeg(image, {90, false}))->renderCanvas(750, 500, 1, a));
    ASSERT_TRUE(load(testing::encodeJpeg(image, {90, true}))->renderCanvas(750, 500, 1, b));
    EXPECT_EQ(a.rgba, b.rgba);
}

TEST(JpegDecode, ExifOrientationTurnsThePicture) {
    // 16 x 8: the top-left 8 x 8 block is white, the other black; each block survives JPEG.
    Rgba stored = Rgba::solid(16, 8, 0, 0, 0);
    for (std::uint32_t y = 0; y < 8; ++y)
        std::fill_n(stored.at(0, y), 8 * 4, std::uint8_t{255});
    for (int o = 1; o <= 8; ++o) {
        const Rgba want = oriented(stored, o);
        const Canvas c = natural(testing::encodeJpeg(stored, {100, false, false, o}));
        ASSERT_EQ(c.width, static_cast<int>(want.width)) << "orientation " << o;
        for (std::uint32_t y = 4; y < want.height; y += 8) {
            for (std::uint32_t x = 4; x < want.width; x += 8) {
                EXPECT_NEAR(at(c, static_cast<int>(x), static_cast<int>(y))[0],
                            want.pixels[(y * want.width + x) * 4], 3)
                    << "orientation " << o << " at " << x << "," << y;
            }
        }
    }
}

TEST(Orientation, FractionalCanvasKeepsThePartialEdgeAtTheBottomRight) {
    for (int o : {1, 3, 6, 8}) {
        const auto picture =
            load(testing::encodeJpeg(Rgba::solid(4, 6, 255, 255, 255), {100, false, false, o}));
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
