// Converts a picture as the command-line converter does and writes the art as a PNG image, or
// draws a plain text art file as one (the writer alone, as the peer script draws it).
//
//   glyphwerk-png-bench PICTURE WIDTH POINTS bw|color OUT.png
//   glyphwerk-png-bench art ART.txt POINTS bw|color OUT.png [LEVEL FILTERS STRATEGY [TIMES]]
//
// The second form takes zlib's level, the PNG filters (libpng's bit mask) and zlib's strategy,
// to choose them, and writes the image TIMES times (to time the writer without the start).
#include "engine/Engine.h"
#include "imaging/Picture.h"
#include "palette/CharacterTable.h"
#include "palette/InitialSet.h"
#include "render/PngImage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "glyphwerk-png-bench: %s\n", message.c_str());
    return 1;
}

// The grid of a plain text art file: one row per line, framed by an empty border, coloured by
// a gradient.
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

} // namespace

int main(int argc, char** argv) {
    gw::render::ImageOptions options;
    options.fontName = "DejaVu Sans Mono";
    if (argc >= 6 && std::string(argv[1]) == "art") {
        const gw::CellGridPtr grid = gw::makeCellGrid();
        if (!gridFromArt(argv[2], *grid)) return fail(std::string(argv[2]) + ": cannot read");
        options.pointSize = std::atoi(argv[3]);
        options.color = std::string(argv[4]) == "color";
        gw::render::PngEncoding encoding;
        if (argc >= 9) {
            encoding.level = std::atoi(argv[6]);
            encoding.filters = static_cast<int>(std::strtol(argv[7], nullptr, 0));
            encoding.strategy = std::atoi(argv[8]);
        }
        const int times = argc >= 10 ? std::max(1, std::atoi(argv[9])) : 1;
        std::string error;
        for (int i = 0; i < times; ++i) {
            if (!gw::render::writePngImage(argv[5], *grid, options, gw::LinkPolicy::writeThrough,
                                           error, encoding))
                return fail(error);
        }
        return 0;
    }
    if (argc != 6) return fail("usage: PICTURE WIDTH POINTS bw|color OUT.png");
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
    options.pointSize = std::atoi(argv[3]);
    options.color = std::string(argv[4]) == "color";
    std::string error;
    return gw::render::writePngImage(argv[5], *grid, options, gw::LinkPolicy::writeThrough, error)
               ? 0
               : fail(error);
}
