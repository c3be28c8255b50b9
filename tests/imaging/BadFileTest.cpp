// The damaged-file corpus: each file is named after its fault and must give the error listed
// for it in tests/data/bad/expected.tsv, never a picture. Most files were made with ImageMagick
// and a few lines of Python that cut or patch small valid pictures; the ones named after a size
// trap (chunk longer than file, frame wider than screen) were found by fuzzing, and the size and
// sniffing cases that tests/data/good/README.md lists are written by tools/make-test-pictures.py.
#include "RasterReaders.h"
#include "imaging/Picture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace gw::imaging {
namespace {

const std::string kBad = std::string(GLYPHWERK_TEST_DATA) + "/bad/";

using Decoder = bool (*)(std::span<const std::uint8_t>, const detail::DecodeLimits&,
                         detail::RgbaImage&, std::string&);
using Prober = bool (*)(std::span<const std::uint8_t>, std::uint32_t&, std::uint32_t&,
                        std::string&);
const std::map<std::string, std::pair<Decoder, Prober>> kOwnReaders = {
    {"bmp-", {&detail::decodeBmp, &detail::probeBmp}},
    {"tga-", {&detail::decodeTga, &detail::probeTga}},
    {"psd-", {&detail::decodePsd, &detail::probePsd}}};

// Opens and draws; returns the error, or "" when a picture came out.
std::string failure(const std::optional<Picture>& picture, const PictureError& openError) {
    if (!picture) return openError.message;
    Canvas canvas;
    PictureError error;
    if (picture->renderCanvas(64, 32, 1, canvas, &error)) return "";
    EXPECT_TRUE(canvas.rgba.empty()) << "a failed drawing leaves no canvas";
    return error.message;
}

// Our readers report the reason alone, at decoding and, for a fault in the header, at probing.
std::string readerFailure(const std::pair<Decoder, Prober>& reader,
                          const std::vector<std::uint8_t>& bytes) {
    detail::RgbaImage image;
    std::string reason, probeReason;
    EXPECT_FALSE(reader.first(bytes, {16u * 1024 * 1024}, image, reason));
    EXPECT_TRUE(image.rgba.empty()) << "a failed decode leaves no picture";
    std::uint32_t width = 0, height = 0;
    if (!reader.second(bytes, width, height, probeReason)) {
        EXPECT_EQ(probeReason, reason);
    }
    return reason;
}

TEST(BadFiles, EachGivesTheErrorListedForIt) {
    std::map<std::string, std::string> expected;
    std::ifstream table(kBad + "expected.tsv");
    for (std::string line; std::getline(table, line);) {
        const auto tab = line.find('\t');
        if (line.starts_with('#') || tab == std::string::npos) continue;
        expected[line.substr(0, tab)] = line.substr(tab + 1);
    }
    ASSERT_FALSE(expected.empty());
    for (const auto& entry : std::filesystem::directory_iterator(kBad)) {
        const std::string name = entry.path().filename().string();
        if (name == "expected.tsv") continue;
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
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        if (const auto reader = kOwnReaders.find(name.substr(0, 4)); reader != kOwnReaders.end()) {
            EXPECT_EQ(readerFailure(reader->second, bytes), want) << name;
            continue;
        }
        PictureError error;
        const auto opened = Picture::open(kBad + name, &error);
        EXPECT_EQ(failure(opened, error), kBad + name + ": " + want);
        const auto dropped = Picture::fromMemory(std::move(bytes), "dropped " + name, &error);
        EXPECT_EQ(failure(dropped, error), "dropped " + name + ": " + want);
    }
    for (const auto& [name, want] : expected)
        ADD_FAILURE() << "expected.tsv lists " << name << ", which is not in the folder";
}

} // namespace
} // namespace gw::imaging
