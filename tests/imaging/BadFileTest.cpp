// The damaged-file corpus: each file is named after its fault and must give its own clean
// error, at opening or at drawing, never a picture. The files were made with ImageMagick and
// a few lines of Python that cut or patch small valid pictures; the ones named after a size
// trap (chunk longer than file, frame wider than screen) were found by fuzzing.
#include "imaging/Picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace gw::imaging {
namespace {

const std::string kBad = std::string(GLYPHWERK_TEST_DATA) + "/bad/";
const char* const kPrefixes[] = {"jpeg-", "png-", "gif-", "tiff-", "picture-"};

const std::map<std::string, std::string>& expectedErrors() {
    static const std::map<std::string, std::string> errors{
        {"gif-65535x65535-little-data.gif",
         "damaged GIF data (Image EOF detected before image complete)"},
        {"gif-colour-index-beyond-table.gif",
         "damaged GIF data (colour index 3 beyond a colour table of 2 entries)"},
        {"gif-interlaced-65535x65535.gif",
         "the picture is too large to decode (65535 x 65535 pixels, limit 134217728 pixels)"},
        {"gif-interlaced-frame-wider-than-screen.gif",
         "damaged GIF data (Image EOF detected before image complete)"},
        {"gif-no-colour-table.gif", "damaged GIF data (no colour table)"},
        {"gif-no-image.gif", "the GIF file holds no image"},
        {"gif-truncated-in-header.gif", "truncated GIF header"},
        {"gif-truncated.gif", "truncated GIF data"},
        {"gif-zero-size.gif", "the picture has zero width or height"},
        {"jpeg-65500x65500-little-data.jpg", "damaged JPEG data (entropy-coded data is cut short)"},
        {"jpeg-65535x65535.jpg",
         "damaged JPEG data (Maximum supported image dimension is 65500 pixels)"},
        {"jpeg-no-image.jpg", "damaged JPEG data (JPEG datastream contains no image)"},
        {"jpeg-progressive-65500x65500.jpg",
         "the picture is too large to decode (65500 x 65500 pixels, limit 134217728 pixels)"},
        {"jpeg-progressive-truncated.jpg", "truncated JPEG data"},
        {"jpeg-truncated-in-header.jpg", "truncated JPEG data"},
        {"jpeg-truncated.jpg", "truncated JPEG data"},
        {"jpeg-zero-height.jpg", "damaged JPEG data (Empty JPEG image (DNL not supported))"},
        {"jpeg-zero-width.jpg", "damaged JPEG data (Empty JPEG image (DNL not supported))"},
        {"picture-empty.png", "the file is empty"},
        {"picture-jpeg-start-only.jpg", "not a picture in a supported format"},
        {"picture-text-named-png.png", "not a picture in a supported format"},
        {"png-65535x65535-little-data.png", "damaged PNG data (Not enough image data)"},
        {"png-bit-depth-3.png", "damaged PNG data (Invalid IHDR data)"},
        {"png-chunk-longer-than-file.png", "truncated PNG data"},
        {"png-header-checksum-wrong.png", "damaged PNG data (IHDR: CRC error)"},
        {"png-grey-image-data-checksum-wrong.png", "damaged PNG data (IDAT: incorrect data check)"},
        {"png-image-data-checksum-wrong.png", "damaged PNG data (IDAT: incorrect data check)"},
        {"png-image-data-crc-wrong.png", "damaged PNG data (IDAT: CRC error)"},
        {"png-image-data-missing.png", "damaged PNG data (IEND: out of place)"},
        {"png-image-data-not-deflate.png", "damaged PNG data (IDAT: incorrect header check)"},
        {"png-interlaced-65535x65535.png",
         "the picture is too large to decode (65535 x 65535 pixels, limit 134217728 pixels)"},
        {"png-palette-length-not-multiple-of-3.png", "damaged PNG data (PLTE: invalid)"},
        {"png-palette-missing.png", "damaged PNG data (IDAT: Missing PLTE before IDAT)"},
        {"png-palette-too-short-for-indices.png",
         "damaged PNG data (colour index 5 beyond a palette of 2 entries)"},
        {"png-truncated-in-header.png", "truncated PNG data"},
        {"png-truncated-in-image-data.png", "truncated PNG data"},
        {"png-zero-height.png", "damaged PNG data (Invalid IHDR data)"},
        {"png-zero-width.png", "damaged PNG data (Invalid IHDR data)"},
        {"tiff-65281-samples-per-pixel.tif", "unsupported TIFF layout (65281 samples per pixel)"},
        {"tiff-3-bit-samples.tif",
         "unsupported TIFF layout (Sorry, can not handle images with 3-bit samples)"},
        {"tiff-65535x65535-strip-beyond-file.tif",
         "truncated TIFF data (image data past the end of the file)"},
        {"tiff-first-directory-offset-beyond-file.tif",
         "damaged TIFF data (Can not read TIFF directory count)"},
        {"tiff-truncated-in-header.tif", "damaged TIFF data (Cannot read TIFF header)"},
        {"tiff-truncated.tif", "damaged TIFF data (Can not read TIFF directory count)"},
        {"tiff-zero-width.tif", "damaged TIFF data (Computed scanline size is zero)"},
    };
    return errors;
}

// Opens and draws; returns the error, or "" when a picture came out.
std::string failure(const std::optional<Picture>& picture, const PictureError& openError) {
    if (!picture) return openError.message;
    Canvas canvas;
    PictureError error;
    if (picture->renderCanvas(64, 32, 1, canvas, &error)) return "";
    EXPECT_TRUE(canvas.rgba.empty()) << "a failed drawing leaves no canvas";
    return error.message;
}

TEST(BadFiles, EachGivesItsErrorFromAPathAndFromMemory) {
    std::size_t seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kBad)) {
        const std::string name = entry.path().filename().string();
        if (std::none_of(std::begin(kPrefixes), std::end(kPrefixes),
                         [&](const char* prefix) { return name.starts_with(prefix); }))
            continue; // another reader's file
        ++seen;
        const auto expected = expectedErrors().find(name);
        ASSERT_NE(expected, expectedErrors().end()) << name << " has no expected error";
        PictureError error;
        const auto opened = Picture::open(kBad + name, &error);
        EXPECT_EQ(failure(opened, error), kBad + name + ": " + expected->second);
        std::ifstream in(kBad + name, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        const auto dropped = Picture::fromMemory(std::move(bytes), "dropped " + name, &error);
        EXPECT_EQ(failure(dropped, error), "dropped " + name + ": " + expected->second);
    }
    EXPECT_EQ(seen, expectedErrors().size()) << "a listed file is missing";
}

} // namespace
} // namespace gw::imaging
