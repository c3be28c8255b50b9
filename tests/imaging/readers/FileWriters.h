#pragma once
// Small writers for BMP, TGA and PSD files, enough to build each variant the readers accept
// (and broken ones) byte by byte inside a test.

#include "RasterReaders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace gw::imaging::test {

using Bytes = std::vector<std::uint8_t>;
using Pixels = std::vector<std::uint32_t>; // 0xRRGGBBAA, row by row from the top
using Decoder = bool (*)(std::span<const std::uint8_t>, const detail::DecodeLimits&,
                         detail::RgbaImage&, std::string&);
using Prober = bool (*)(std::span<const std::uint8_t>, std::uint32_t&, std::uint32_t&,
                        std::string&);

constexpr detail::DecodeLimits kTestLimits{16u * 1024 * 1024};

inline void put(Bytes& out, std::uint64_t value, int size, bool bigEndian = false) {
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * (bigEndian ? size - 1 - i : i))));
}
inline void append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The decoded pixels, or none with a test failure naming the reason.
inline Pixels pixelsOf(Decoder decode, const Bytes& file) {
    detail::RgbaImage image;
    std::string reason;
    EXPECT_TRUE(decode(file, kTestLimits, image, reason)) << reason;
    Pixels pixels;
    for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
        const std::uint8_t* p = image.rgba.data() + i;
        pixels.push_back(std::uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]);
    }
    return pixels;
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

// The size a header-only probe finds, as "W x H", or its reason for refusing.
inline std::string probed(Prober probe, const Bytes& file) {
    std::uint32_t width = 0, height = 0;
    std::string reason;
    if (!probe(file, width, height, reason)) return reason;
    return std::to_string(width) + " x " + std::to_string(height);
}

// Members that a test leaves out keep these values; every member has one so that designated
// initializers may skip any.
struct BmpFile {
    std::int32_t width = 1, height = 1; // negative height: top-down
    std::uint16_t bitsPerPixel = 24;
    std::uint32_t compression = 0, headerSize = 40;
    std::vector<std::uint32_t> masks{};                 // after a 40-byte header, or inside
    std::vector<std::array<std::uint8_t, 3>> palette{}; // r, g, b
    std::uint32_t colorsUsed = 0;
    Bytes pixels{}; // file order, rows already padded
};

inline Bytes writeBmp(const BmpFile& f) {
    Bytes header;
    const bool core = f.headerSize == 12;
    put(header, f.headerSize, 4);
    put(header, static_cast<std::uint32_t>(f.width), core ? 2 : 4);
    put(header, static_cast<std::uint32_t>(f.height), core ? 2 : 4);
    put(header, 1, 2);
    put(header, f.bitsPerPixel, 2);
    if (!core) {
        for (std::uint64_t v :
             {std::uint64_t{f.compression}, std::uint64_t{f.pixels.size()}, std::uint64_t{2835},
              std::uint64_t{2835}, std::uint64_t{f.colorsUsed}, std::uint64_t{0}})
            put(header, v, 4);
        // Masks lie inside a longer header, or follow the 40-byte one.
        for (std::uint32_t m : f.masks)
            put(header, m, 4);
        header.resize(std::max<std::size_t>(header.size(), f.headerSize), 0);
    }
    for (const auto& c : f.palette) {
        append(header, {c[2], c[1], c[0]});
        if (!core) header.push_back(0);
    }
    Bytes out{'B', 'M'};
    put(out, 14 + header.size() + f.pixels.size(), 4);
    put(out, 0, 4);
    put(out, 14 + header.size(), 4);
    append(out, header);
    append(out, f.pixels);
    return out;
}

// Pads each row to a multiple of 4 bytes.
inline Bytes padRows(const std::vector<Bytes>& rows) {
    Bytes out;
    for (const Bytes& row : rows) {
        append(out, row);
        out.resize((out.size() + 3) / 4 * 4, 0);
    }
    return out;
}

struct TgaFile {
    std::uint8_t imageType = 2, depth = 24;
    std::uint16_t width = 1, height = 1;
    std::uint8_t descriptor = 0; // alpha bits, 0x10 right-to-left, 0x20 top-to-bottom
    Bytes id{};
    std::uint8_t mapType = 0;
    std::uint16_t mapFirst = 0, mapLength = 0;
    std::uint8_t mapEntryBits = 0;
    Bytes map{}, pixels{}; // as stored
};

inline Bytes writeTga(const TgaFile& f) {
    Bytes out{static_cast<std::uint8_t>(f.id.size()), f.mapType, f.imageType};
    for (auto [v, n] : {std::pair<std::uint32_t, int>{f.mapFirst, 2},
                        {f.mapLength, 2},
                        {f.mapEntryBits, 1},
                        {0, 4},
                        {f.width, 2},
                        {f.height, 2}})
        put(out, v, n);
    append(out, {f.depth, f.descriptor});
    append(out, f.id);
    append(out, f.map);
    append(out, f.pixels);
    return out;
}

struct PsdFile {
    std::uint16_t version = 1, channels = 3;
    std::uint32_t width = 1, height = 1;
    std::uint16_t depth = 8, mode = 3;
    Bytes colourData{}, resources{}, layers{};
    std::uint16_t compression = 0;
    Bytes data{}; // after the compression field: planes, or byte counts and packed rows
};

inline Bytes writePsd(const PsdFile& f) {
    Bytes out{'8', 'B', 'P', 'S'};
    for (auto [v, n] : {std::pair<std::uint32_t, int>{f.version, 2},
                        {0, 6},
                        {f.channels, 2},
                        {f.height, 4},
                        {f.width, 4},
                        {f.depth, 2},
                        {f.mode, 2}})
        put(out, v, n, true);
    for (const Bytes* section : {&f.colourData, &f.resources, &f.layers}) {
        put(out, section->size(), 4, true);
        append(out, *section);
    }
    put(out, f.compression, 2, true);
    append(out, f.data);
    return out;
}

} // namespace gw::imaging::test
