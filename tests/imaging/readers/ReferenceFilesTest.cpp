// The pictures of tests/data/good (see its README.md), each decoded to the pixels listed for it
// in expected.tsv: every variant of layout, depth, palette, compression and origin the BMP, TGA
// and PSD readers accept, and GIF and TIFF files drawn through the libraries at their own size.
#include "RasterReaders.h"
#include "imaging/Picture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>

namespace gw::imaging {
namespace {

using Decoder = bool (*)(std::span<const std::uint8_t>, const detail::DecodeLimits&,
                         detail::RgbaImage&, std::string&);
using Prober = bool (*)(std::span<const std::uint8_t>, std::uint32_t&, std::uint32_t&,
                        std::string&);
struct Reader {
    bool (*claims)(std::span<const std::uint8_t>);
    Prober probe;
    Decoder decode;
};
const std::map<std::string, Reader> kReaders = {
    {"bmp-", {&detail::looksLikeBmp, &detail::probeBmp, &detail::decodeBmp}},
    {"tga-", {&detail::looksLikeTga, &detail::probeTga, &detail::decodeTga}},
    {"psd-", {&detail::looksLikePsd, &detail::probePsd, &detail::decodePsd}}};

// "WxH" and the pixels as RRGGBBAA words, as expected.tsv spells them.
std::string described(std::uint32_t width, std::uint32_t height, const std::uint8_t* rgba) {
    std::ostringstream out;
    out << width << 'x' << height << '\t' << std::hex << std::uppercase << std::setfill('0');
    for (std::size_t i = 0; i < std::size_t{width} * height; ++i) {
        const std::uint8_t* p = rgba + 4 * i;
        out << (i ? " " : "") << std::setw(8)
            << (std::uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]);
    }
    return out.str();
}

TEST(GoodFiles, EachDecodesToThePixelsListedForIt) {
    const std::string folder = std::string(GLYPHWERK_TEST_DATA) + "/good/";
    std::map<std::string, std::string> expected;
    std::ifstream table(folder + "expected.tsv");
    for (std::string line; std::getline(table, line);) {
        const auto tab = line.find('\t');
        if (!line.starts_with('#') && tab != std::string::npos)
            expected[line.substr(0, tab)] = line.substr(tab + 1);
    }
    ASSERT_FALSE(expected.empty());
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name == "expected.tsv" || name == "README.md") continue;
        const auto row = expected.find(name);
        if (row == expected.end()) {
            ADD_FAILURE() << name << " has no row in expected.tsv";
            continue;
        }
        const std::string want = row->second;
        expected.erase(row);
        std::stringstream content;
        content << std::ifstream(entry.path(), std::ios::binary).rdbuf();
        const std::string text = content.str();
        const std::vector<std::uint8_t> bytes(text.begin(), text.end());
        // Every file is also opened as the program opens it: found by its content, drawn at its
        // own size.
        PictureError error;
        const auto picture = Picture::fromMemory(bytes, name, &error);
        Canvas canvas;
        EXPECT_TRUE(picture && picture->renderCanvas(picture->size().width, picture->size().height,
                                                     1, canvas, &error))
            << error.message;
        const std::string drawn =
            described(static_cast<std::uint32_t>(canvas.width),
                      static_cast<std::uint32_t>(canvas.height), canvas.rgba.data());
        const auto reader = kReaders.find(name.substr(0, 4));
        if (reader == kReaders.end()) {
            EXPECT_EQ(drawn, want) << name;
            continue;
        }
        EXPECT_EQ(formatName(picture->format()), name.substr(0, 3)) << name;
        EXPECT_TRUE(reader->second.claims(bytes)) << name;
        detail::RgbaImage image;
        std::string reason;
        EXPECT_TRUE(reader->second.decode(bytes, {1u << 24}, image, reason))
            << name << ": " << reason;
        EXPECT_EQ(described(image.width, image.height, image.rgba.data()), want) << name;
        std::uint32_t width = 0, height = 0;
        EXPECT_TRUE(reader->second.probe(bytes, width, height, reason)) << name << ": " << reason;
        EXPECT_EQ(std::make_pair(width, height), std::make_pair(image.width, image.height)) << name;
        for (std::size_t i = 0; i < image.rgba.size(); ++i) { // the canvas is premultiplied
            if (i % 4 != 3)
                image.rgba[i] = static_cast<std::uint8_t>(
                    (image.rgba[i] * image.rgba[i / 4 * 4 + 3] + 127) / 255);
        }
        EXPECT_EQ(drawn, described(image.width, image.height, image.rgba.data())) << name;
    }
    for (const auto& [name, want] : expected)
        ADD_FAILURE() << "expected.tsv lists " << name << ", which is not in the folder";
}

} // namespace
} // namespace gw::imaging
