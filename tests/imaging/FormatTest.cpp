// Every decoder on small pictures made here: solid colours, alpha, orientation, odd sizes,
// 16-bit samples, palettes.
#include "Encoders.h"

#include "imaging/Picture.h"

#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

namespace gw::imaging {
namespace {

using testing::Bytes;
using testing::Rgba;

std::optional<Picture> load(const Bytes& bytes, PictureError* error = nullptr) {
    return Picture::fromMemory(bytes, "mem", error);
}

// Draws a picture at its own size.
Canvas natural(const Bytes& bytes) {
    PictureError error;
    const auto picture = load(bytes, &error);
    EXPECT_TRUE(picture) << error.message;
    if (!picture) return {};
    Canvas canvas;
    EXPECT_TRUE(
        picture->renderCanvas(picture->size().width, picture->size().height, 1, canvas, &error))
        << error.message;
    return canvas;
}

std::array<int, 4> at(const Canvas& c, int x, int y) {
    const std::uint8_t* p = c.rgba.data() + (static_cast<std::size_t>(y) * c.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// A picture whose every pixel differs, so that any misplacement shows.
Rgba distinct(std::uint32_t w, std::uint32_t h) {
    Rgba image = Rgba::solid(w, h, 0, 0, 0);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            image.at(x, y)[0] = static_cast<std::uint8_t>(20 + 40 * x);
            image.at(x, y)[1] = static_cast<std::uint8_t>(20 + 40 * y);
            image.at(x, y)[2] = static_cast<std::uint8_t>(7 * (x + y));
        }
    }
    return image;
}

// The picture as it should be shown for an EXIF/TIFF orientation value: the tag says where the
// stored row 0 and column 0 belong (1: top/left, 6: right/top, 8: left/bottom, ...).
Rgba oriented(const Rgba& s, int o) {
    const bool swap = o >= 5;
    Rgba d = Rgba::solid(swap ? s.height : s.width, swap ? s.width : s.height, 0, 0, 0, 0);
    for (std::uint32_t sy = 0; sy < s.height; ++sy) {
        for (std::uint32_t sx = 0; sx < s.width; ++sx) {
            const std::uint32_t fx = s.width - 1 - sx, fy = s.height - 1 - sy;
            std::uint32_t dx = sx, dy = sy;
            switch (o) {
            case 2:
                dx = fx;
                break;
            case 3:
                dx = fx;
                dy = fy;
                break;
            case 4:
                dy = fy;
                break;
            case 5:
                dx = sy;
                dy = sx;
                break;
            case 6:
                dx = fy;
                dy = sx;
                break;
            case 7:
                dx = fy;
                dy = fx;
                break;
            case 8:
                dx = sy;
                dy = fx;
                break;
            default:
                break;
            }
            std::copy_n(s.pixels.data() + (std::size_t{sy} * s.width + sx) * 4, 4, d.at(dx, dy));
        }
    }
    return d;
}

void expectCanvasEquals(const Canvas& c, const Rgba& want, int tolerance = 0) {
    ASSERT_EQ(c.width, static_cast<int>(want.width));
    ASSERT_EQ(c.height, static_cast<int>(want.height));
    for (std::uint32_t y = 0; y < want.height; ++y) {
        for (std::uint32_t x = 0; x < want.width; ++x) {
            const std::uint8_t* w = want.pixels.data() + (std::size_t{y} * want.width + x) * 4;
            const auto got = at(c, static_cast<int>(x), static_cast<int>(y));
            for (int k = 0; k < 4; ++k) {
                const int expect = k == 3 ? w[3] : (w[k] * w[3] + 127) / 255;
                ASSERT_NEAR(got[static_cast<std::size_t>(k)], expect, tolerance)
                    << "at " << x << "," << y << " sample " << k;
            }
        }
    }
}

// An 8-bit RGBA PNG around already filtered rows, so that a test can break a filter byte.
Bytes handmadePng(std::uint32_t width, std::uint32_t height, const Bytes& filteredRows) {
    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, const Bytes& data) {
        const auto n = static_cast<std::uint32_t>(data.size());
        out.insert(out.end(),
                   {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                    static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, out.data() + start, static_cast<uInt>(out.size() - start)));
        out.insert(out.end(),
                   {static_cast<std::uint8_t>(crc >> 24), static_cast<std::uint8_t>(crc >> 16),
                    static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)});
    };
    Bytes header(13, 0);
    for (int i = 0; i < 4; ++i) {
        header[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
        header[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
    }
    header[8] = 8;
    header[9] = 6;
    chunk("IHDR", header);
    uLongf size = compressBound(static_cast<uLong>(filteredRows.size()));
    Bytes deflated(size);
    compress(deflated.data(), &size, filteredRows.data(), static_cast<uLong>(filteredRows.size()));
    deflated.resize(size);
    chunk("IDAT", deflated);
    chunk("IEND", {});
    return out;
}

TEST(PngDecode, EveryColourTypeAndDepth) {
    Rgba image = distinct(5, 3);
    image.at(0, 0)[3] = 0;
    image.at(1, 0)[3] = 128;
    expectCanvasEquals(natural(testing::encodePng(image)), image);
    expectCanvasEquals(natural(testing::encodePng(image, {PNG_COLOR_TYPE_RGBA, 16, false})), image);
    expectCanvasEquals(natural(testing::encodePng(image, {PNG_COLOR_TYPE_RGBA, 8, true})), image);
    expectCanvasEquals(natural(testing::encodePng(image, {PNG_COLOR_TYPE_PALETTE, 8, false})),
                       image);

    Rgba opaque = distinct(7, 5);
    expectCanvasEquals(natural(testing::encodePng(opaque, {PNG_COLOR_TYPE_RGB, 8, false})), opaque);
    expectCanvasEquals(natural(testing::encodePng(opaque, {PNG_COLOR_TYPE_RGB, 16, true})), opaque);

    Rgba grey = Rgba::solid(3, 1, 0, 0, 0);
    for (std::uint32_t x = 0; x < 3; ++x) {
        std::fill_n(grey.at(x, 0), 3, static_cast<std::uint8_t>(x * 100));
        grey.at(x, 0)[3] = static_cast<std::uint8_t>(255 - x * 100);
    }
    expectCanvasEquals(natural(testing::encodePng(grey, {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false})),
                       grey);
    expectCanvasEquals(natural(testing::encodePng(grey, {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false})),
                       grey);
}

TEST(PngDecode, EveryRowFilterForRgbAndRgba) {
    // Noise-like content so that Paeth's three choices all occur, at odd widths.
    for (auto [w, h] : {std::pair{1u, 3u}, std::pair{13u, 9u}, std::pair{64u, 5u}}) {
        Rgba image = Rgba::solid(w, h, 0, 0, 0);
        std::uint32_t state = 12345;
        for (auto& v : image.pixels) {
            state = state * 1103515245u + 12345u;
            v = static_cast<std::uint8_t>(state >> 16);
        }
        for (int filters : {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG,
                            PNG_FILTER_PAETH, PNG_ALL_FILTERS}) {
            expectCanvasEquals(
                natural(testing::encodePng(image, {PNG_COLOR_TYPE_RGBA, 8, false, filters})),
                image);
            Rgba opaque = image;
            for (std::size_t i = 3; i < opaque.pixels.size(); i += 4)
                opaque.pixels[i] = 255;
            expectCanvasEquals(
                natural(testing::encodePng(opaque, {PNG_COLOR_TYPE_RGB, 8, false, filters})),
                opaque);
        }
    }
}

TEST(PngDecode, ImageDataSplitAcrossManyChunks) {
    // libpng writes IDAT chunks of its buffer size; a picture of several of them crosses
    // chunk boundaries mid-row.
    Rgba image = Rgba::solid(300, 90, 0, 0, 0);
    std::uint32_t state = 99;
    for (auto& v : image.pixels) {
        state = state * 1103515245u + 12345u;
        v = static_cast<std::uint8_t>(state >> 16);
    }
    expectCanvasEquals(natural(testing::encodePng(image)), image);
}

TEST(PngDecode, LargePicturesDecodeOnTwoThreadsWithTheSameResult) {
    // Above a megabyte of image data the inflation runs on its own thread.
    Rgba image = Rgba::solid(700, 420, 0, 0, 0);
    std::uint32_t state = 7;
    for (auto& v : image.pixels) {
        state = state * 1103515245u + 12345u;
        v = static_cast<std::uint8_t>(state >> 16);
    }
    const Bytes png = testing::encodePng(image, {PNG_COLOR_TYPE_RGBA, 8, false, PNG_ALL_FILTERS});
    expectCanvasEquals(natural(png), image);
    // Cut short, and with a broken filter byte in the middle: errors cross the threads cleanly.
    PictureError error;
    const auto truncated =
        load(Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2)), &error);
    ASSERT_TRUE(truncated);
    Canvas canvas;
    EXPECT_FALSE(truncated->renderCanvas(70, 42, 1, canvas, &error));
    EXPECT_EQ(error.message, "mem: truncated PNG data");
    Bytes raw;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        raw.push_back(y == 300 ? 7 : 0);
        raw.insert(raw.end(), image.at(0, y), image.at(0, y) + image.width * 4);
    }
    const Bytes broken = handmadePng(image.width, image.height, raw);
    EXPECT_FALSE(load(broken)->renderCanvas(70, 42, 1, canvas, &error));
    EXPECT_EQ(error.message, "mem: damaged PNG data (bad adaptive filter value)");
    raw[300 * (image.width * 4 + 1)] = 0;
    expectCanvasEquals(natural(handmadePng(image.width, image.height, raw)), image);
}

TEST(PngDecode, SixteenBitSamplesRoundToNearest) {
    // 0x807F (127.998 of 255) must round up to 128, 0x0080 (0.498) down to 0.
    const Bytes png =
        testing::encodePngRaw(2, 1, PNG_COLOR_TYPE_GRAY, 16, {{0x80, 0x7F, 0x00, 0x80}});
    const Canvas c = natural(png);
    EXPECT_EQ(at(c, 0, 0), (std::array<int, 4>{128, 128, 128, 255}));
    EXPECT_EQ(at(c, 1, 0), (std::array<int, 4>{0, 0, 0, 255}));
}

TEST(PngDecode, LowBitGreyPaletteAndTransparencyKey) {
    // Two-bit grey 0..3 expands to 0, 85, 170, 255; the key 2 makes that sample transparent.
    const Bytes grey =
        testing::encodePngRaw(4, 1, PNG_COLOR_TYPE_GRAY, 2, {{0b00011011}}, {}, {0, 2});
    const Canvas g = natural(grey);
    EXPECT_EQ(at(g, 0, 0), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(at(g, 1, 0), (std::array<int, 4>{85, 85, 85, 255}));
    EXPECT_EQ(at(g, 2, 0), (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(at(g, 3, 0), (std::array<int, 4>{255, 255, 255, 255}));
    // One-bit palette with a tRNS entry of half alpha for index 1.
    const Bytes pal = testing::encodePngRaw(3, 1, PNG_COLOR_TYPE_PALETTE, 1, {{0b01000000}},
                                            {255, 0, 0, 0, 0, 255}, {255, 128});
    const Canvas p = natural(pal);
    EXPECT_EQ(at(p, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(at(p, 1, 0), (std::array<int, 4>{0, 0, 128, 128}));
}

TEST(PngDecode, OnePixelAndOddSizes) {
    for (auto [w, h] : {std::pair{1u, 1u}, {1u, 9u}, {13u, 1u}, {17u, 11u}}) {
        const Rgba image = distinct(w, h);
        expectCanvasEquals(natural(testing::encodePng(image)), image);
        expectCanvasEquals(natural(testing::encodePng(image, {PNG_COLOR_TYPE_RGBA, 8, true})),
                           image);
    }
}

TEST(JpegDecode, SolidColoursAndGrey) {
    for (const auto& [r, g, b] :
         {std::tuple{0, 0, 0}, {255, 255, 255}, {200, 30, 90}, {17, 130, 240}}) {
        const Rgba image = Rgba::solid(19, 13, static_cast<std::uint8_t>(r),
                                       static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b));
        expectCanvasEquals(natural(testing::encodeJpeg(image)), image, 2);
        expectCanvasEquals(natural(testing::encodeJpeg(image, {100, true, false, 0})), image, 2);
    }
    const Rgba grey = Rgba::solid(1, 1, 77, 77, 77);
    expectCanvasEquals(natural(testing::encodeJpeg(grey, {100, false, true, 0})), grey);
}

TEST(JpegDecode, ScaledDecodeKeepsSolidColoursExact) {
    // Large enough for a 1/8 reduction in the DCT; a grey picture has exact chroma.
    const Rgba image = Rgba::solid(800, 480, 90, 90, 90);
    for (bool progressive : {false, true}) {
        const auto picture = load(testing::encodeJpeg(image, {95, progressive, false, 0}));
        ASSERT_TRUE(picture);
        for (auto [gw, gh] :
             {std::pair{80.0, 30.0}, {100.0, 60.0}, {333.0, 111.5}, {400.0, 240.0}}) {
            Canvas c;
            ASSERT_TRUE(picture->renderCanvas(gw, gh, 1, c));
            for (int y = 0; y < static_cast<int>(gh); ++y) {
                for (int x = 0; x < c.width; ++x)
                    ASSERT_EQ(at(c, x, y), (std::array<int, 4>{90, 90, 90, 255}));
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
    const auto baseline = load(testing::encodeJpeg(image, {90, false, false, 0}));
    const auto progressive = load(testing::encodeJpeg(image, {90, true, false, 0}));
    ASSERT_TRUE(baseline && progressive);
    Canvas a, b;
    ASSERT_TRUE(baseline->renderCanvas(750, 500, 1, a));
    ASSERT_TRUE(progressive->renderCanvas(750, 500, 1, b));
    EXPECT_EQ(a.rgba, b.rgba);
}

TEST(JpegDecode, ExifOrientationTurnsThePicture) {
    // 16 x 8: the top-left 8 x 8 block is white, the other black; each block survives JPEG.
    Rgba stored = Rgba::solid(16, 8, 0, 0, 0);
    for (std::uint32_t y = 0; y < 8; ++y) {
        for (std::uint32_t x = 0; x < 8; ++x)
            std::fill_n(stored.at(x, y), 3, std::uint8_t{255});
    }
    for (int o = 1; o <= 8; ++o) {
        const Bytes jpeg = testing::encodeJpeg(stored, {100, false, false, o});
        const auto picture = load(jpeg);
        ASSERT_TRUE(picture);
        const Rgba want = oriented(stored, o);
        EXPECT_EQ(picture->size().width, want.width) << "orientation " << o;
        const Canvas c = natural(jpeg);
        for (std::uint32_t y = 4; y < want.height; y += 8) {
            for (std::uint32_t x = 4; x < want.width; x += 8) {
                EXPECT_NEAR(at(c, static_cast<int>(x), static_cast<int>(y))[0],
                            want.pixels[(y * want.width + x) * 4], 3)
                    << "orientation " << o << " at " << x << "," << y;
            }
        }
    }
}

TEST(GifDecode, FirstFrameWithTransparency) {
    Rgba image = distinct(5, 4);
    image.at(2, 1)[3] = 0;
    image.at(4, 3)[3] = 0;
    expectCanvasEquals(natural(testing::encodeGif(image)), image);
    expectCanvasEquals(natural(testing::encodeGif(image, true)), image);
    const Rgba one = Rgba::solid(1, 1, 9, 8, 7);
    expectCanvasEquals(natural(testing::encodeGif(one)), one);
    const Rgba tall = distinct(3, 11); // every interlace pass, and an odd height
    expectCanvasEquals(natural(testing::encodeGif(tall, true)), tall);
}

TEST(TiffDecode, StripsTilesAlphaAndOrientation) {
    Rgba image = distinct(5, 3);
    image.at(1, 1)[3] = 128;
    image.at(3, 2)[3] = 0;
    expectCanvasEquals(natural(testing::encodeTiff(image)), image, 1);
    expectCanvasEquals(natural(testing::encodeTiff(image, {1, true, true, 0})), image, 1);
    const Rgba big = distinct(37, 21); // tiles of 16 cut at the right and the bottom
    expectCanvasEquals(natural(testing::encodeTiff(big, {1, true, false, 0})), big);
    expectCanvasEquals(natural(testing::encodeTiff(big, {1, false, false, 1})), big);
    const Rgba stored = distinct(3, 2);
    for (int o = 1; o <= 8; ++o) {
        const Bytes tiff = testing::encodeTiff(stored, {o, false, false, 1});
        expectCanvasEquals(natural(tiff), oriented(stored, o));
        expectCanvasEquals(natural(testing::encodeTiff(stored, {o, true, false, 1})),
                           oriented(stored, o));
    }
}

TEST(Orientation, FractionalCanvasKeepsThePartialEdgeAtTheBottomRight) {
    const Rgba stored = Rgba::solid(4, 6, 255, 255, 255);
    for (int o : {1, 3, 6, 8}) {
        const auto picture = load(testing::encodeTiff(stored, {o, false, false, 2}));
        ASSERT_TRUE(picture);
        const PictureSize s = picture->size();
        Canvas c;
        ASSERT_TRUE(picture->renderCanvas(s.width - 0.5, s.height - 0.5, 1, c));
        EXPECT_EQ(at(c, 0, 0)[3], 255) << o;
        EXPECT_EQ(at(c, c.width - 1, 0)[3], 128) << o;
        EXPECT_EQ(at(c, 0, c.height - 1)[3], 128) << o;
        EXPECT_EQ(at(c, c.width - 1, c.height - 1)[3], 64) << o;
    }
}

} // namespace
} // namespace gw::imaging
