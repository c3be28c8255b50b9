// Opening pictures, probing their size, and the canvas they draw into: PNG's two-thread path,
// JPEG's reduced scales (a large baseline and progressive picture in tests/data/jpeg) and
// orientation at a fractional canvas. The pictures drawn here are in tests/data/canvas; the
// variants of each format are in tests/data/good.
#include "imaging/Picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace gw::imaging {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string dataPath(const std::string& name) {
    return std::string(GLYPHWERK_TEST_DATA) + "/canvas/" + name;
}

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

using Px = std::array<int, 4>;

Px pixel(const RgbaCanvas& c, int x, int y) {
    const std::uint8_t* p = c.rgba.data() + (static_cast<std::size_t>(y) * c.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

Picture load(const Bytes& bytes, const std::string& name = "test") {
    PictureError error;
    auto picture = Picture::fromMemory(bytes, name, &error);
    EXPECT_TRUE(picture) << error.message;
    return *picture;
}

// A picture of tests/data/canvas, named "p" in error messages.
Picture open(const std::string& name) {
    return load(readBytes(dataPath(name)), "p");
}

RgbaCanvas render(const Picture& picture, double gw, double gh, double scale = 1.0) {
    RgbaCanvas canvas;
    PictureError error;
    EXPECT_TRUE(picture.renderCanvas(gw, gh, scale, canvas, error.message)) << error.message;
    return canvas;
}

void expectEvery(const RgbaCanvas& c, Px want, int rows = -1) {
    for (int y = 0; y < (rows < 0 ? c.height : rows); ++y) {
        for (int x = 0; x < c.width; ++x)
            ASSERT_EQ(pixel(c, x, y), want) << "pixel " << x << "," << y;
    }
}

TEST(PictureOpen, DetectsFormatFromContentNotName) {
    EXPECT_EQ(pictureFileTypes(), (std::vector<std::string>{"psd", "bmp", "gif", "jpg", "jpeg",
                                                            "png", "tga", "tif", "tiff"}));
    const std::string path = dataPath("png-named-as-jpeg-7x5.jpg");
    PictureError error;
    const auto picture = Picture::open(path, &error);
    ASSERT_TRUE(picture) << error.message;
    EXPECT_EQ(picture->format(), Format::Png);
    EXPECT_EQ(picture->size().width, 7u);
    EXPECT_EQ(picture->size().height, 5u);
    EXPECT_EQ(picture->name(), path);
}

TEST(PictureOpen, ErrorsNameTheFile) {
    PictureError error;
    EXPECT_FALSE(Picture::open("/nonexistent/x.png", &error));
    EXPECT_EQ(error.message, "/nonexistent/x.png: cannot open (No such file or directory)");
    // Empty files and text are in the bad-file corpus.
    const std::string dir = std::filesystem::temp_directory_path().string();
    EXPECT_FALSE(Picture::open(dir, &error));
    EXPECT_EQ(error.message, dir + ": not a regular file");
    // A file removed or replaced after opening.
    const auto path = std::filesystem::temp_directory_path() /
                      ("gw-vanishing-" + std::to_string(::getpid()) + ".png");
    const auto options = std::filesystem::copy_options::overwrite_existing;
    std::filesystem::copy_file(dataPath("solid-4x4.png"), path, options);
    const auto picture = Picture::open(path.string());
    ASSERT_TRUE(picture);
    std::filesystem::remove(path);
    RgbaCanvas canvas;
    EXPECT_FALSE(picture->renderCanvas(4, 4, 1, canvas, error.message));
    EXPECT_EQ(error.message, path.string() + ": cannot open (No such file or directory)");
    std::filesystem::copy_file(dataPath("solid-5x4.png"), path, options);
    EXPECT_FALSE(picture->renderCanvas(4, 4, 1, canvas, error.message));
    EXPECT_EQ(error.message, path.string() + ": the file changed since it was opened");
    std::filesystem::remove(path);
}

TEST(CanvasRender, SolidColourIsExactAtEveryScale) {
    const Picture picture = open("solid-37x23.png");
    for (auto [gw, gh, scale] : {std::tuple{37.0, 23.0, 1.0},
                                 {10.0, 5.0, 1.0},
                                 {80.0, 60.0, 1.0},
                                 {13.0, 11.0, 2.0},
                                 {3.0, 50.0, 1.0},
                                 {1.0, 1.0, 1.0}}) {
        const RgbaCanvas canvas = render(picture, gw, gh, scale);
        EXPECT_EQ(canvas.width, static_cast<int>(gw * scale));
        EXPECT_EQ(canvas.height, static_cast<int>(gh * scale));
        expectEvery(canvas, {200, 100, 7, 255});
    }
}

TEST(CanvasRender, PixelSizeRoundsUpAndPartialPixelsAreCoveredPartly) {
    const Picture picture = open("white-101x101.png");
    const RgbaCanvas canvas = render(picture, 101, 50.5);
    ASSERT_EQ(canvas.width, 101);
    ASSERT_EQ(canvas.height, 51);
    expectEvery(canvas, {255, 255, 255, 255}, 50);
    for (int x = 0; x < canvas.width; ++x) // half covered: premultiplied white at half alpha
        EXPECT_EQ(pixel(canvas, x, 50), (Px{128, 128, 128, 128}));
    const RgbaCanvas scaled = render(picture, 10.25, 4, 2.0);
    EXPECT_EQ(scaled.width, 21);
    EXPECT_EQ(scaled.height, 8);
    EXPECT_EQ(pixel(scaled, 20, 3)[3], 128);
    EXPECT_EQ(pixel(scaled, 19, 3)[3], 255);
    // A canvas wider than the picture is filtered down the columns first.
    const RgbaCanvas wide = render(open("half-alpha-3x400.png"), 50, 20.5);
    ASSERT_EQ(wide.width, 50);
    ASSERT_EQ(wide.height, 21);
    expectEvery(wide, {5, 100, 15, 128}, 20);
    EXPECT_EQ(pixel(wide, 0, 20)[3], 64);
}

TEST(CanvasRender, AlphaIsPremultipliedAndDoesNotBleed) {
    // Row 0 opaque but for half alpha at x 1; row 1 transparent.
    const Picture picture = open("alpha-4x2.png");
    const RgbaCanvas canvas = render(picture, 4, 2);
    EXPECT_EQ(pixel(canvas, 0, 0), (Px{200, 100, 50, 255}));
    EXPECT_EQ(pixel(canvas, 1, 0), (Px{100, 50, 25, 128}));
    EXPECT_EQ(pixel(canvas, 2, 1), (Px{0, 0, 0, 0}));
    // A transparent neighbour's colour must not bleed into an average: only alpha drops.
    EXPECT_EQ(pixel(render(picture, 4, 1), 0, 0), (Px{100, 50, 25, 128}));
}

TEST(CanvasRender, ShrinkingAveragesAndEnlargingIsSmooth) {
    // Columns alternate black and white: a 2:1 shrink gives mid-grey everywhere.
    expectEvery(render(open("stripes-8x2.png"), 4, 1), {128, 128, 128, 255});
    const RgbaCanvas canvas = render(open("pair-2x1.png"), 8, 1); // black, then red
    EXPECT_EQ(pixel(canvas, 0, 0)[0], 0);
    EXPECT_EQ(pixel(canvas, 7, 0)[0], 255);
    for (int x = 1; x < 8; ++x)
        EXPECT_GE(pixel(canvas, x, 0)[0], pixel(canvas, x - 1, 0)[0]);
    EXPECT_GT(pixel(canvas, 4, 0)[0], 0);
    EXPECT_LT(pixel(canvas, 3, 0)[0], 255);
    // A vertical ramp (grey y on row y) keeps its order from top to bottom, and its mean,
    // whichever order the two filter passes run in.
    const Picture picture = open("ramp-4x256.png");
    const RgbaCanvas narrow = render(picture, 2, 8);
    const RgbaCanvas broad = render(picture, 40, 8);
    for (int y = 0; y < 8; ++y) {
        EXPECT_EQ(pixel(narrow, 0, y)[0], pixel(broad, 17, y)[0]) << y;
        if (y > 0) {
            EXPECT_GT(pixel(broad, 3, y)[0], pixel(broad, 3, y - 1)[0]);
        }
    }
}

TEST(CanvasRender, EmptyAndRefusedSizesAndThumbnails) {
    const Picture picture = open("solid-4x4.png");
    RgbaCanvas canvas;
    PictureError error;
    EXPECT_TRUE(picture.renderCanvas(0, 5, 1, canvas, error.message));
    EXPECT_EQ(canvas.width, 0);
    EXPECT_TRUE(canvas.rgba.empty());
    EXPECT_FALSE(picture.renderCanvas(-1, 5, 1, canvas, error.message));
    EXPECT_EQ(error.message, "p: invalid canvas size");
    EXPECT_FALSE(picture.renderCanvas(1e9, 1e9, 1, canvas, error.message));
    EXPECT_EQ(error.message.rfind("p: the canvas is too large", 0), 0u);
    // Thumbnails fit the longer side and never enlarge.
    ASSERT_TRUE(open("solid-300x100.png").renderThumbnail(64, canvas, error.message));
    EXPECT_EQ(canvas.width, 64);
    EXPECT_EQ(canvas.height, 21);
    expectEvery(canvas, {10, 20, 30, 255});
    const Picture small = open("solid-5x4.png");
    ASSERT_TRUE(small.renderThumbnail(64, canvas, error.message));
    EXPECT_EQ(canvas.width, 5);
    EXPECT_EQ(canvas.height, 4);
    EXPECT_FALSE(small.renderThumbnail(0, canvas, error.message));
    // An empty canvas still has the picture decoded through, so that damage is reported.
    const std::string damaged =
        std::string(GLYPHWERK_TEST_DATA) + "/bad/picture-bmp-rle8-11585x11585-truncated.bmp";
    const auto bmp = Picture::open(damaged, &error);
    ASSERT_TRUE(bmp) << error.message;
    EXPECT_FALSE(bmp->renderCanvas(0, 0, 1, canvas, error.message));
    EXPECT_EQ(error.message, damaged + ": truncated pixel data");
}

// Headers within the caps that claim far more than the data holds draw what the data says,
// from memory that follows the data (measured outside the tests, see
// tools/make-hostile-pictures.py).
TEST(CanvasRender, HugeHeadersDrawWhatTheirDataHolds) {
    Bytes textChunk = {0, 0x10, 0, 0, 't', 'E', 'X', 't', 'k', 0};
    textChunk.resize(textChunk.size() + (1 << 20) - 2, 'x');
    const Bytes crc = {0x57, 0xC1, 0xF3, 0x29}; // of the chunk's type and data
    textChunk.insert(textChunk.end(), crc.begin(), crc.end());
    Bytes withText = readBytes(dataPath("solid-4x4.png"));
    withText.insert(withText.begin() + 33, textChunk.begin(), textChunk.end()); // after IHDR
    // The BMP and GIF are tests/data/canvas/huge-*: their data ends the picture at once.
    const std::pair<Bytes, Px> files[] = {
        {readBytes(dataPath("huge-rle8-11585x11585-ends-at-once.bmp")), {0, 0, 0, 0}},
        {readBytes(dataPath("huge-frame-30000x30000-no-data.gif")), {0, 0, 0, 0}},
        {withText, {1, 2, 3, 255}}, // a megabyte of text in a PNG
    };
    for (const auto& [bytes, colour] : files)
        expectEvery(render(load(bytes), 4, 4), colour);
}

TEST(PngDecode, LargePicturesDecodeOnTwoThreadsWithTheSameResult) {
    // Above a megabyte of image data the inflation runs on its own thread. Every other row is
    // stored with the Up filter, so each row needs the one before it. Opaque noise of four
    // levels, drawn here again as the script draws it: the canvas holds the very pixels.
    Bytes want(std::size_t{520} * 512 * 4);
    std::uint32_t state = 7;
    for (std::size_t i = 0; i < want.size(); ++i) {
        state = state * 1103515245u + 12345u;
        want[i] = i % 4 == 3 ? 255 : static_cast<std::uint8_t>((state >> 22 & 3) * 85);
    }
    const Bytes png = readBytes(dataPath("noise-520x512.png"));
    EXPECT_TRUE(render(load(png), 520, 512).rgba == want);
    // Cut short, and with a broken filter byte in the middle: errors cross the threads cleanly,
    // and the rows before the damage are drawn, the rest left transparent.
    const Bytes half(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2));
    for (const auto& [picture, name] :
         {std::pair{load(half, "mem"), "mem"}, std::pair{open("bad-filter-520x512.png"), "p"}}) {
        RgbaCanvas canvas;
        std::string error;
        ASSERT_TRUE(picture.renderCanvas(520, 512, 1, canvas, error)) << error;
        EXPECT_TRUE(canvas.partial) << name;
        const std::size_t row = std::size_t{520} * 4;
        if (std::string(name) == "mem") {
            EXPECT_TRUE(std::equal(want.begin(), want.begin() + row, canvas.rgba.begin()));
        }
        EXPECT_TRUE(std::all_of(canvas.rgba.end() - row, canvas.rgba.end(), [](std::uint8_t v) {
            return v == 0;
        })) << name;
    }
}

// Large enough for a 1/8 reduction in the DCT, and for the progressive picture's coefficients to
// come from the large-block allocator; a grey picture has exact chroma.
TEST(JpegDecode, ReducedScalesKeepASolidColour) {
    for (const char* name : {"grey-3000x2000.jpg", "grey-3000x2000-progressive.jpg"}) {
        SCOPED_TRACE(name);
        const auto picture = Picture::open(std::string(GLYPHWERK_TEST_DATA) + "/jpeg/" + name);
        ASSERT_TRUE(picture);
        for (auto [gw, gh] :
             {std::pair{80.0, 30.0}, {333.0, 111.5}, {400.0, 240.0}, {750.0, 500.0}})
            expectEvery(render(*picture, gw, gh), {90, 90, 90, 255}, static_cast<int>(gh));
    }
}

TEST(Orientation, FractionalCanvasKeepsThePartialEdgeAtTheBottomRight) {
    for (int o : {1, 3, 6, 8}) {
        const auto picture = Picture::open(std::string(GLYPHWERK_TEST_DATA) +
                                           "/good/jpeg-orientation-" + std::to_string(o) + ".jpg");
        ASSERT_TRUE(picture);
        const RgbaCanvas c =
            render(*picture, picture->size().width - 0.5, picture->size().height - 0.5);
        EXPECT_EQ(pixel(c, 0, 0)[3], 255) << o;
        EXPECT_EQ(pixel(c, c.width - 1, 0)[3], 128) << o;
        EXPECT_EQ(pixel(c, 0, c.height - 1)[3], 128) << o;
        EXPECT_EQ(pixel(c, c.width - 1, c.height - 1)[3], 64) << o;
    }
}

} // namespace
} // namespace gw::imaging
