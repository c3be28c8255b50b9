#pragma once
// Small writers for BMP, TGA and PSD files, enough to build each variant the readers accept
// (and broken ones) byte by byte inside a test.

#include "RasterReaders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace gw::imaging::test {

using Bytes = std::vector<std::uint8_t>;

inline void putLe(Bytes& out, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
inline void putBe(Bytes& out, std::uint64_t value, int size) {
    for (int i = size - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
inline void append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

// 0xRRGGBBAA of one decoded pixel.
inline std::uint32_t pixelAt(const detail::RgbaImage& image, std::uint32_t x, std::uint32_t y) {
    const std::size_t i = (std::size_t{y} * image.width + x) * 4;
    return std::uint32_t{image.rgba.at(i)} << 24 | std::uint32_t{image.rgba.at(i + 1)} << 16 |
           std::uint32_t{image.rgba.at(i + 2)} << 8 | image.rgba.at(i + 3);
}

// All pixels, row by row from the top.
inline std::vector<std::uint32_t> allPixels(const detail::RgbaImage& image) {
    std::vector<std::uint32_t> pixels;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x)
            pixels.push_back(pixelAt(image, x, y));
    }
    return pixels;
}

constexpr detail::DecodeLimits kTestLimits{16u * 1024 * 1024};

using Pixels = std::vector<std::uint32_t>;
using Decoder = bool (*)(std::span<const std::uint8_t>, const detail::DecodeLimits&,
                         detail::RgbaImage&, std::string&);

// The decoded pixels, or none with a test failure naming the reason.
inline Pixels pixelsOf(Decoder decode, const Bytes& file) {
    detail::RgbaImage image;
    std::string reason;
    EXPECT_TRUE(decode(file, kTestLimits, image, reason)) << reason;
    return allPixels(image);
}

// The reason a decode fails; a failed decode must leave no picture behind.
inline std::string errorOf(Decoder decode, const Bytes& file,
                           detail::DecodeLimits limits = kTestLimits) {
    detail::RgbaImage image;
    std::string reason;
    EXPECT_FALSE(decode(file, limits, image, reason));
    EXPECT_TRUE(image.rgba.empty());
    return reason;
}

// ---- BMP ----

struct BmpFile {
    std::int32_t width = 1;
    std::int32_t height = 1; // negative: top-down
    std::uint16_t bitsPerPixel = 24;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;
    std::vector<std::uint32_t> masks;                 // written after a 40-byte header, or inside
    std::vector<std::array<std::uint8_t, 3>> palette; // r, g, b
    std::uint32_t colorsUsed = 0;
    Bytes pixels; // file order, rows already padded
};

inline Bytes writeBmp(const BmpFile& f) {
    Bytes header;
    if (f.headerSize == 12) {
        putLe(header, 12, 4);
        putLe(header, static_cast<std::uint16_t>(f.width), 2);
        putLe(header, static_cast<std::uint16_t>(f.height), 2);
        putLe(header, 1, 2);
        putLe(header, f.bitsPerPixel, 2);
    } else {
        putLe(header, f.headerSize, 4);
        putLe(header, static_cast<std::uint32_t>(f.width), 4);
        putLe(header, static_cast<std::uint32_t>(f.height), 4);
        putLe(header, 1, 2);
        putLe(header, f.bitsPerPixel, 2);
        putLe(header, f.compression, 4);
        putLe(header, f.pixels.size(), 4);
        putLe(header, 2835, 4);
        putLe(header, 2835, 4);
        putLe(header, f.colorsUsed, 4);
        putLe(header, 0, 4);
        if (f.headerSize > 40) {
            for (std::size_t i = 0; i < 4 && 40 + 4 * i < f.headerSize; ++i) {
                putLe(header, i < f.masks.size() ? f.masks[i] : 0, 4);
            }
        }
        header.resize(f.headerSize, 0);
        if (f.headerSize == 40) {
            for (std::uint32_t m : f.masks)
                putLe(header, m, 4);
        }
    }
    for (const auto& c : f.palette) {
        header.push_back(c[2]);
        header.push_back(c[1]);
        header.push_back(c[0]);
        if (f.headerSize != 12) header.push_back(0);
    }
    Bytes out{'B', 'M'};
    putLe(out, 14 + header.size() + f.pixels.size(), 4);
    putLe(out, 0, 4);
    putLe(out, 14 + header.size(), 4);
    append(out, header);
    append(out, f.pixels);
    return out;
}

// Pads each row of `rowBytes` bytes to a multiple of 4.
inline Bytes padRows(const std::vector<Bytes>& rows) {
    Bytes out;
    for (const Bytes& row : rows) {
        append(out, row);
        out.resize((out.size() + 3) / 4 * 4, 0);
    }
    return out;
}

// ---- TGA ----

struct TgaFile {
    std::uint8_t imageType = 2;
    std::uint8_t depth = 24;
    std::uint16_t width = 1;
    std::uint16_t height = 1;
    std::uint8_t descriptor = 0; // alpha bits, 0x10 right-to-left, 0x20 top-to-bottom
    Bytes id;
    std::uint8_t mapType = 0;
    std::uint16_t mapFirst = 0;
    std::uint16_t mapLength = 0;
    std::uint8_t mapEntryBits = 0;
    Bytes map; // entries as stored
    Bytes pixels;
};

inline Bytes writeTga(const TgaFile& f) {
    Bytes out;
    out.push_back(static_cast<std::uint8_t>(f.id.size()));
    out.push_back(f.mapType);
    out.push_back(f.imageType);
    putLe(out, f.mapFirst, 2);
    putLe(out, f.mapLength, 2);
    out.push_back(f.mapEntryBits);
    putLe(out, 0, 2);
    putLe(out, 0, 2);
    putLe(out, f.width, 2);
    putLe(out, f.height, 2);
    out.push_back(f.depth);
    out.push_back(f.descriptor);
    append(out, f.id);
    append(out, f.map);
    append(out, f.pixels);
    return out;
}

// ---- PSD ----

struct PsdFile {
    std::uint16_t version = 1;
    std::uint16_t channels = 3;
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    std::uint16_t depth = 8;
    std::uint16_t mode = 3;
    Bytes colourData;
    Bytes resources;
    Bytes layers;
    std::uint16_t compression = 0;
    Bytes data; // after the compression field: planes, or byte counts and packed rows
};

inline Bytes writePsd(const PsdFile& f) {
    Bytes out{'8', 'B', 'P', 'S'};
    putBe(out, f.version, 2);
    putBe(out, 0, 6);
    putBe(out, f.channels, 2);
    putBe(out, f.height, 4);
    putBe(out, f.width, 4);
    putBe(out, f.depth, 2);
    putBe(out, f.mode, 2);
    for (const Bytes* section : {&f.colourData, &f.resources, &f.layers}) {
        putBe(out, section->size(), 4);
        append(out, *section);
    }
    putBe(out, f.compression, 2);
    append(out, f.data);
    return out;
}

// PackBits rows for every channel plane: the table of row byte counts, then the rows. Each
// row is packed as literals of at most 128 bytes, or as one run when all its bytes are equal.
inline Bytes packBitsPlanes(const std::vector<std::vector<Bytes>>& planes) {
    Bytes table;
    Bytes rows;
    for (const auto& plane : planes) {
        for (const Bytes& row : plane) {
            Bytes packed;
            bool same = row.size() > 1 && row.size() <= 128;
            for (std::uint8_t b : row)
                same = same && b == row[0];
            if (same) {
                packed.push_back(static_cast<std::uint8_t>(257 - row.size()));
                packed.push_back(row[0]);
            } else {
                for (std::size_t i = 0; i < row.size(); i += 128) {
                    const std::size_t n = std::min<std::size_t>(128, row.size() - i);
                    packed.push_back(static_cast<std::uint8_t>(n - 1));
                    packed.insert(packed.end(), row.begin() + static_cast<std::ptrdiff_t>(i),
                                  row.begin() + static_cast<std::ptrdiff_t>(i + n));
                }
            }
            putBe(table, packed.size(), 2);
            append(rows, packed);
        }
    }
    append(table, rows);
    return table;
}

} // namespace gw::imaging::test
