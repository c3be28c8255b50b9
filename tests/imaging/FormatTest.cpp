// PNG and JPEG decoding on pictures made here with libpng and libjpeg: colour types, depths,
// filters, alpha, orientation, odd sizes, scaled decoding. GIF and TIFF variants are files in
// tests/data/good.
#include "Encoders.h"

#include "imaging/Picture.h"

#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

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

// An 8-bit RGBA PNG around already filtered rows, so that a test can break a filter byte.
Bytes handmadePng(std::uint32_t width, std::uint32_t height, const Bytes& filteredRows) {
    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto put32 = [](Bytes& to, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            to.push_back(static_cast<std::uint8_t>(v >> shift));
    };
    auto chunk = [&](const char* type, const Bytes& data) {
        put32(out, static_cast<std::uint32_t>(data.size()));
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        put32(out, static_cast<std::uint32_t>(
                       crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
    };
    Bytes header;
    put32(header, width);
    put32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    chunk("IHDR", header);
    uLongf size = compressBound(static_cast<uLong>(filteredRows.size()));
    Bytes deflated(size);
    compress(deflated.data(), &size, filteredRows.data(), static_cast<uLong>(filteredRows.size()));
    deflated.resize(size);
    chunk("IDAT", deflated);
    chunk("IEND", {});
    return out;
}

TEST(PngDecode, ColourTypesDepthsFiltersAndSizes) {
    Rgba alpha = distinct(5, 3);
    alpha.at(0, 0)[3] = 0;
    alpha.at(1, 0)[3] = 128;
    Rgba grey = Rgba::solid(3, 1, 0, 0, 0);
    for (std::uint32_t x = 0; x < 3; ++x) {
        std::fill_n(grey.at(x, 0), 3, static_cast<std::uint8_t>(x * 100));
        grey.at(x, 0)[3] = static_cast<std::uint8_t>(255 - x * 100);
    }
    std::vector<std::pair<Rgba, testing::PngOptions>> cases = {
        {alpha, {}},
        {alpha, {PNG_COLOR_TYPE_RGBA, 16, false}},
        {alpha, {PNG_COLOR_TYPE_RGBA, 8, true}},
        {alpha, {PNG_COLOR_TYPE_PALETTE, 8, false}},
        {distinct(7, 5), {PNG_COLOR_TYPE_RGB, 8, false}},
        {distinct(7, 5), {PNG_COLOR_TYPE_RGB, 16, true}},
        {grey, {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false}},
        {grey, {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false}},
        // libpng writes IDAT chunks of its buffer size: these cross chunks mid-row.
        {noise(300, 90, 99), {}},
    };
    for (auto [w, h] : {std::pair{1u, 1u}, {1u, 9u}, {13u, 1u}, {17u, 11u}}) {
        cases.push_back({distinct(w, h), {}});
        cases.push_back({distinct(w, h), {PNG_COLOR_TYPE_RGBA, 8, true}});
    }
    // Odd widths with each row filter, so that Paeth's three choices all occur.
    for (auto [w, h] : {std::pair{1u, 3u}, {13u, 9u}, {64u, 5u}}) {
        for (int filters : {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG,
                            PNG_FILTER_PAETH, PNG_ALL_FILTERS}) {
            cases.push_back({noise(w, h, 12345), {PNG_COLOR_TYPE_RGBA, 8, false, filters}});
            cases.push_back({noise(w, h, 12345, true), {PNG_COLOR_TYPE_RGB, 8, false, filters}});
        }
    }
    for (const auto& [image, options] : cases) {
        SCOPED_TRACE(::testing::Message()
                     << image.width << "x" << image.height << " type " << options.colourType
                     << " depth " << options.bitDepth << " filters " << options.filters);
        expectCanvasEquals(natural(testing::encodePng(image, options)), image);
    }
}

TEST(PngDecode, LargePicturesDecodeOnTwoThreadsWithTheSameResult) {
    // Above a megabyte of image data the inflation runs on its own thread.
    const Rgba image = noise(700, 420, 7);
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
        raw.insert(raw.end(), image.pixels.begin() + y * image.width * 4,
                   image.pixels.begin() + (y + 1) * image.width * 4);
    }
    EXPECT_FALSE(
        load(handmadePng(image.width, image.height, raw))->renderCanvas(70, 42, 1, canvas, &error));
    EXPECT_EQ(error.message, "mem: damaged PNG data (bad adaptive filter value)");
    raw[300 * (image.width * 4 + 1)] = 0;
    expectCanvasEquals(natural(handmadePng(image.width, image.height, raw)), image);
}

TEST(PngDecode, SampleExpansionAndTransparency) {
    // 0x807F (127.998 of 255) must round up to 128, 0x0080 (0.498) down to 0.
    const Canvas c16 =
        natural(testing::encodePngRaw(2, 1, PNG_COLOR_TYPE_GRAY, 16, {{0x80, 0x7F, 0x00, 0x80}}));
    EXPECT_EQ(at(c16, 0, 0), (Px{128, 128, 128, 255}));
    EXPECT_EQ(at(c16, 1, 0), (Px{0, 0, 0, 255}));
    // Two-bit grey 0..3 expands to 0, 85, 170, 255; the key 2 makes that sample transparent.
    const Canvas g =
        natural(testing::encodePngRaw(4, 1, PNG_COLOR_TYPE_GRAY, 2, {{0b00011011}}, {}, {0, 2}));
    EXPECT_EQ(at(g, 0, 0), (Px{0, 0, 0, 255}));
    EXPECT_EQ(at(g, 1, 0), (Px{85, 85, 85, 255}));
    EXPECT_EQ(at(g, 2, 0), (Px{0, 0, 0, 0}));
    EXPECT_EQ(at(g, 3, 0), (Px{255, 255, 255, 255}));
    // One-bit palette with a tRNS entry of half alpha for index 1.
    const Canvas p = natural(testing::encodePngRaw(3, 1, PNG_COLOR_TYPE_PALETTE, 1, {{0b01000000}},
                                                   {255, 0, 0, 0, 0, 255}, {255, 128}));
    EXPECT_EQ(at(p, 0, 0), (Px{255, 0, 0, 255}));
    EXPECT_EQ(at(p, 1, 0), (Px{0, 0, 128, 128}));
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
