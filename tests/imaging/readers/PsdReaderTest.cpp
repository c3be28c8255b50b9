#include "FileWriters.h"
#include "RasterReaders.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace gw::imaging::test {
namespace {

using Planes = std::vector<std::vector<Bytes>>;

// A 3 x 2 RGB picture: red green blue / black grey white, as planes.
const Planes kRgbPlanes = {
    {{255, 0, 0}, {0, 128, 255}},
    {{0, 255, 0}, {0, 128, 255}},
    {{0, 0, 255}, {0, 128, 255}},
};
const Pixels kRgbPixels = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF, 0x000000FF, 0x808080FF, 0xFFFFFFFF};

// Raw planes, or with PackBits the table of row byte counts and then the rows: a row of equal
// bytes as one run, any other as one literal (rows here are short).
Bytes planeData(const Planes& planes, bool packBits) {
    Bytes table, rows;
    for (const auto& plane : planes) {
        for (const Bytes& row : plane) {
            Bytes packed;
            if (!packBits) {
                packed = row;
            } else if (row.size() > 1 && std::equal(row.begin() + 1, row.end(), row.begin())) {
                packed = {static_cast<std::uint8_t>(257 - row.size()), row[0]};
            } else {
                packed = {static_cast<std::uint8_t>(row.size() - 1)};
                append(packed, row);
            }
            put(table, packed.size(), 2, true);
            append(rows, packed);
        }
    }
    if (!packBits) return rows;
    append(table, rows);
    return table;
}

Pixels rgb(const Planes& planes, bool packBits, PsdFile f = {}) {
    f.channels = static_cast<std::uint16_t>(planes.size());
    f.width = 3;
    f.height = 2;
    f.compression = packBits ? 1 : 0;
    f.data = planeData(planes, packBits);
    return pixelsOf(detail::decodePsd, writePsd(f));
}

TEST(PsdReader, RgbPlanesRawAndPackBits) {
    Planes alpha = kRgbPlanes;
    alpha.push_back({{255, 128, 0}, {255, 255, 255}});
    Planes emptyAlpha = kRgbPlanes;
    emptyAlpha.push_back({{0, 0, 0}, {0, 0, 0}});
    // Only the first four of 56 channels are read; raw, only their rows need to be present,
    // while the PackBits byte count table covers all 56.
    Planes many = kRgbPlanes;
    many.push_back({{255, 255, 255}, {255, 255, 255}});
    for (bool packBits : {false, true}) {
        SCOPED_TRACE(packBits ? "PackBits" : "raw");
        EXPECT_EQ(rgb(kRgbPlanes, packBits), kRgbPixels);
        EXPECT_EQ(
            rgb(kRgbPlanes, packBits, {.resources = Bytes(37, 0xAB), .layers = Bytes(100, 0xCD)}),
            kRgbPixels);
        EXPECT_EQ(rgb(alpha, packBits),
                  (Pixels{0xFF0000FF, 0x00FF0080, 0x0000FF00, 0x000000FF, 0x808080FF, 0xFFFFFFFF}));
        // An alpha channel left empty shows the picture.
        EXPECT_EQ(rgb(emptyAlpha, packBits), kRgbPixels);
    }
    PsdFile f{.channels = 56, .width = 3, .height = 2, .data = planeData(many, false)};
    EXPECT_EQ(pixelsOf(detail::decodePsd, writePsd(f)), kRgbPixels);
    while (many.size() < 56)
        many.push_back({{9, 9, 9}, {9, 9, 9}});
    f.compression = 1;
    f.data = planeData(many, true);
    EXPECT_EQ(pixelsOf(detail::decodePsd, writePsd(f)), kRgbPixels);
}

TEST(PsdReader, DepthsAndModes) {
    // The colour table holds 256 reds, then 256 greens, then 256 blues.
    Bytes table(768, 0);
    table[1] = table[256 + 2] = 255;
    table[255] = 7;
    table[767] = 9;
    // clang-format off
    const std::pair<PsdFile, Pixels> cases[] = {
        // 0x7FFF rounds down to 127, 0x8000 up to 128, 0x0101 is exactly 1, 0x0080 rounds to 0.
        {{.width = 2, .depth = 16, .data = {0xFF, 0xFF, 0x7F, 0xFF, 0x00, 0x00, 0x80, 0x00, 0x01,
          0x01, 0x00, 0x80}}, {0xFF0001FF, 0x7F8000FF}},
        {{.channels = 1, .width = 2, .mode = 1, .data = {0, 200}}, {0x000000FF, 0xC8C8C8FF}},
        {{.channels = 2, .width = 2, .mode = 1, .data = {10, 20, 255, 128}},
         {0x0A0A0AFF, 0x14141480}},
        {{.channels = 1, .width = 3, .mode = 2, .colourData = table, .data = {1, 2, 255}},
         {0xFF0000FF, 0x00FF00FF, 0x070009FF}},
    };
    // clang-format on
    for (const auto& [file, want] : cases)
        EXPECT_EQ(pixelsOf(detail::decodePsd, writePsd(file)), want) << file.mode;
}

TEST(PsdReader, SizeIsCheckedBeforeThePixelsAndSniffing) {
    PsdFile f{.width = 100000, .height = 100000};
    EXPECT_EQ(errorOf(detail::decodePsd, writePsd(f)),
              "picture too large (100000 x 100000 pixels)");
    f.width = f.height = 4000;
    EXPECT_EQ(errorOf(detail::decodePsd, writePsd(f)), "truncated pixel data");
    f.compression = 1;
    EXPECT_EQ(errorOf(detail::decodePsd, writePsd(f)), "truncated pixel data");
    EXPECT_EQ(probed(detail::probePsd, writePsd(f)), "4000 x 4000");
    EXPECT_TRUE(detail::looksLikePsd(writePsd(f)));
    EXPECT_TRUE(detail::looksLikePsd(writePsd({.version = 2})));
    EXPECT_FALSE(detail::looksLikePsd(Bytes{'8', 'B', 'P', 'S', 0, 3}));
    EXPECT_FALSE(detail::looksLikePsd(Bytes{'8', 'B', 'P'}));
}

} // namespace
} // namespace gw::imaging::test
