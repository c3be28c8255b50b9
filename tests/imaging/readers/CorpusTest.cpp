// The two picture corpora, each file listed in its folder's expected.tsv.
//
// tests/data/good (see its README.md): each picture decodes to the pixels listed for it: every
// variant of layout, depth, palette, compression and origin the BMP, TGA and PSD readers accept,
// and GIF and TIFF files drawn through the libraries at their own size.
//
// tests/data/bad: each file is named after its fault and must give the error listed for it,
// never a picture. Most files were made with ImageMagick and a few lines of Python that cut or
// patch small valid pictures; the ones named after a size trap (chunk longer than file, frame
// wider than screen) were found by fuzzing, and the size and sniffing cases that
// tests/data/good/README.md lists are written by tools/make-test-pictures.py.
#include "RasterReaders.h"
#include "imaging/Picture.h"

#include "support/DataTable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>

namespace gw::imaging {
namespace {

using Bytes = std::vector<std::uint8_t>;
struct Reader {
    bool (*claims)(std::span<const std::uint8_t>);
    bool (*probe)(std::span<const std::uint8_t>, std::uint32_t&, std::uint32_t&, std::string&);
    bool (*decode)(std::span<const std::uint8_t>, const detail::DecodeLimits&, detail::RgbaImage&,
                   std::string&);
};
const std::map<std::string, Reader> kReaders = {
    {"bmp-", {&detail::looksLikeBmp, &detail::probeBmp, &detail::decodeBmp}},
    {"tga-", {&detail::looksLikeTga, &detail::probeTga, &detail::decodeTga}},
    {"psd-", {&detail::looksLikePsd, &detail::probePsd, &detail::decodePsd}}};

// Every file of a corpus has its row in the folder's expected.tsv, and every row its file.
TEST(Corpora, EveryFileHasARow) {
    for (const std::string corpus : {"good", "damaged", "bad"}) {
        SCOPED_TRACE(corpus);
        std::set<std::string> listed, present;
        for (const test::DataRow& row : test::dataTable(corpus + "/expected.tsv"))
            listed.insert(row[0]);
        for (const auto& entry : std::filesystem::directory_iterator(test::dataPath(corpus))) {
            const std::string name = entry.path().filename().string();
            if (name != "expected.tsv" && name != "README.md") present.insert(name);
        }
        EXPECT_EQ(listed, present);
    }
}

Bytes fileBytes(const std::string& path) {
    const std::string text = test::readBytes(path);
    return Bytes(text.begin(), text.end());
}

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

// A file, its size and its pixels.
GW_TABLE_TEST(GoodFileRows, DecodesToThePixelsListedForIt, "good/expected.tsv") {
    const std::string& name = GetParam()[0];
    const std::string want = GetParam()[1] + "\t" + GetParam()[2];
    const Bytes bytes = fileBytes(test::dataPath("good/" + name));
    // Every file is also opened as the program opens it: found by its content, drawn at its
    // own size.
    PictureError error;
    const auto picture = Picture::fromMemory(bytes, name, &error);
    RgbaCanvas canvas;
    EXPECT_TRUE(picture && picture->renderCanvas(picture->size().width, picture->size().height, 1,
                                                 canvas, error.message))
        << error.message;
    // Files named "-damaged" are drawn as far as they can be read, and say so.
    EXPECT_EQ(canvas.partial, name.find("-damaged") != std::string::npos) << name;
    const std::string drawn =
        described(static_cast<std::uint32_t>(canvas.width),
                  static_cast<std::uint32_t>(canvas.height), canvas.rgba.data());
    const auto reader = kReaders.find(name.substr(0, 4));
    if (reader == kReaders.end()) {
        EXPECT_EQ(drawn, want) << name;
        return;
    }
    EXPECT_EQ(formatName(picture->format()), name.substr(0, 3)) << name;
    EXPECT_TRUE(reader->second.claims(bytes)) << name;
    detail::RgbaImage image;
    std::string reason;
    EXPECT_TRUE(reader->second.decode(bytes, {1u << 24}, image, reason)) << name << ": " << reason;
    EXPECT_EQ(described(image.width, image.height, image.rgba.data()), want) << name;
    std::uint32_t width = 0, height = 0;
    EXPECT_TRUE(reader->second.probe(bytes, width, height, reason)) << name << ": " << reason;
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(image.width, image.height)) << name;
    for (std::size_t i = 0; i < image.rgba.size(); ++i) { // the canvas is premultiplied
        if (i % 4 != 3)
            image.rgba[i] =
                static_cast<std::uint8_t>((image.rgba[i] * image.rgba[i / 4 * 4 + 3] + 127) / 255);
    }
    EXPECT_EQ(drawn, described(image.width, image.height, image.rgba.data())) << name;
}

// Each converts, from a path and from memory, drawn as far as it could be read.
GW_TABLE_TEST(DamagedFileRows, ConvertsWhatCouldBeRead, "damaged/expected.tsv") {
    const std::string& name = GetParam()[0];
    const std::string path = test::dataPath("damaged/" + name);
    for (const std::optional<Picture>& picture :
         {Picture::open(path), Picture::fromMemory(fileBytes(path), name)}) {
        ASSERT_TRUE(picture) << name;
        RgbaCanvas canvas;
        std::string error;
        EXPECT_TRUE(picture->renderCanvas(64, 32, 1, canvas, error)) << error;
        EXPECT_TRUE(canvas.partial) << name;
    }
}

// Opens and draws; returns the error, or "" when a picture came out.
std::string failure(const std::optional<Picture>& picture, const PictureError& openError) {
    if (!picture) return openError.message;
    RgbaCanvas canvas;
    PictureError error;
    if (picture->renderCanvas(64, 32, 1, canvas, error.message)) return "";
    EXPECT_TRUE(canvas.rgba.empty()) << "a failed drawing leaves no canvas";
    return error.message;
}

// Our readers report the reason alone, at decoding and, for a fault in the header, at probing.
std::string readerFailure(const Reader& reader, const Bytes& bytes) {
    detail::RgbaImage image;
    std::string reason, probeReason;
    EXPECT_FALSE(reader.decode(bytes, {16u * 1024 * 1024}, image, reason));
    EXPECT_TRUE(image.rgba.empty()) << "a failed decode leaves no picture";
    std::uint32_t width = 0, height = 0;
    if (!reader.probe(bytes, width, height, probeReason)) {
        EXPECT_EQ(probeReason, reason);
    }
    return reason;
}

// A damaged file and the reason it is refused with.
GW_TABLE_TEST(BadFileRows, GivesTheErrorListedForIt, "bad/expected.tsv") {
    const std::string& name = GetParam()[0];
    const std::string& want = GetParam()[1];
    const std::string path = test::dataPath("bad/" + name);
    Bytes bytes = fileBytes(path);
    if (const auto reader = kReaders.find(name.substr(0, 4)); reader != kReaders.end()) {
        EXPECT_EQ(readerFailure(reader->second, bytes), want);
        return;
    }
    PictureError error;
    const auto opened = Picture::open(path, &error);
    EXPECT_EQ(failure(opened, error), path + ": " + want);
    const auto dropped = Picture::fromMemory(std::move(bytes), "dropped " + name, &error);
    EXPECT_EQ(failure(dropped, error), "dropped " + name + ": " + want);
}

} // namespace
} // namespace gw::imaging
