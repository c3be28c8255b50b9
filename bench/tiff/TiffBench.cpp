// Converts a picture as the command-line converter does and writes the art as a TIFF image or
// as plain text (the peer script's input).
//
//   glyphwerk-tiff-bench PICTURE WIDTH POINTS bw|color OUT.tif
//   glyphwerk-tiff-bench PICTURE WIDTH text OUT.txt
//   glyphwerk-tiff-bench art ART.txt POINTS bw|color OUT.tif
//
// The last form draws a plain text file (coloured by a gradient) without converting a picture,
// to measure the image writer alone.
#include "engine/Engine.h"
#include "imaging/Picture.h"
#include "output/SafeFile.h"
#include "output/TextOutput.h"
#include "palette/CharacterTable.h"
#include "palette/InitialSet.h"
#include "render/TiffImage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "glyphwerk-tiff-bench: %s\n", message.c_str());
    return 1;
}

} // namespace

// The grid of a plain text art file: one row per line, framed by an empty border.
bool gridFromArt(const char* path, gw::CellGrid& grid) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    int x = 1, y = 1, width = 0;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        if (c == '\n') {
            x = 1;
            ++y;
        } else if (x < gw::kGridCapacity - 1 && y < gw::kGridRowCapacity - 1) {
            grid.ascii[x][y] = c;
            const std::uint64_t rgb[3] = {static_cast<std::uint64_t>(x % 256),
                                          static_cast<std::uint64_t>(y % 256), 128};
            std::copy_n(rgb, 3, grid.data[x][y]);
            width = std::max(width, x++);
        }
    }
    std::fclose(file);
    grid.width2 = width + 2;
    grid.height2 = std::min(y, gw::kGridRowCapacity - 2) + 2;
    return true;
}

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "art") {
        const gw::CellGridPtr grid = gw::makeCellGrid();
        if (!gridFromArt(argv[2], *grid)) return fail(std::string(argv[2]) + ": cannot read");
        gw::render::TiffImageOptions options;
        options.fontName = "DejaVu Sans Mono";
        options.pointSize = std::atoi(argv[3]);
        options.color = std::string(argv[4]) == "color";
        std::string error;
        return gw::render::writeTiffImage(argv[5], *grid, options, gw::LinkPolicy::writeThrough,
                                          error)
                   ? 0
                   : fail(error);
    }
    if (argc != 6 && !(argc == 5 && std::string(argv[3]) == "text"))
        return fail("usage: PICTURE WIDTH POINTS bw|color OUT.tif | PICTURE WIDTH text OUT.txt");
    gw::CharacterTable table{};
    const auto loaded =
        gw::loadCharacterTableFile(std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Table.txt", table);
    if (!loaded.ok) return fail(loaded.error);
    gw::imaging::PictureError failure;
    const auto picture = gw::imaging::Picture::open(argv[1], &failure);
    if (!picture) return fail(failure.message);
    const std::u16string set = gw::utf8ToUtf16(gw::kInitialCharacterSet);
    gw::ConversionInput input;
    input.picture = &*picture;
    input.maxWidth = std::atoi(argv[2]);
    input.characterSet = set;
    input.characters = &table;
    gw::ConversionInfo info;
    const gw::CellGridPtr grid = gw::makeCellGrid();
    const gw::ConversionStatus status = gw::processImage(input, *grid, info);
    if (!status.ok) return fail(status.error);
    std::string error;
    if (argc == 5) {
        return gw::writeFileSafely(argv[4], gw::plainText(*grid), error) ? 0 : fail(error);
    }
    gw::render::TiffImageOptions options;
    options.fontName = "DejaVu Sans Mono";
    options.pointSize = std::atoi(argv[3]);
    options.color = std::string(argv[4]) == "color";
    return gw::render::writeTiffImage(argv[5], *grid, options, gw::LinkPolicy::writeThrough, error)
               ? 0
               : fail(error);
}
