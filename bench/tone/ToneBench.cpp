// Converts one picture as glyphwerk-cli does (drawing it from its file each time), in rounds
// that alternate the plain conversion and the one with the tone options, and prints the best
// processor time of each in milliseconds: "plain toned". Alternating and taking the best keeps a
// busy machine's passing load out of the difference, which is far smaller than the conversion.
// Then the tone step alone on a plane of that grid's size: "plain toned step checksum".
//
//   tone_bench PICTURE TABLE MAX_WIDTH ROUNDS [shape]   (shape: --match shape --dither)
#include "engine/Engine.h"
#include "engine/Tone.h"
#include "imaging/Picture.h"
#include "palette/CharacterTable.h"
#include "palette/InitialSet.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

double cpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s PICTURE TABLE MAX_WIDTH ROUNDS [shape]\n", argv[0]);
        return 2;
    }
    gw::imaging::PictureError error;
    const auto picture = gw::imaging::Picture::open(argv[1], &error);
    if (!picture) {
        std::fprintf(stderr, "%s\n", error.message.c_str());
        return 1;
    }
    gw::CharacterTable table{};
    const gw::TableLoadResult loaded = gw::loadCharacterTableFile(argv[2], table);
    if (!loaded.ok) {
        std::fprintf(stderr, "%s\n", loaded.error.c_str());
        return 1;
    }
    const std::u16string set = gw::utf8ToUtf16(gw::kInitialCharacterSet);
    gw::ConversionInput input;
    input.picture = &*picture;
    input.maxWidth = std::atoi(argv[3]);
    input.characterSet = set;
    input.characters = &table;
    if (argc > 5 && std::string(argv[5]) == "shape") {
        input.match = gw::MatchMode::Shape;
        input.dither = true;
    }
    const gw::ToneSettings toned{true, 20, 10, true};
    const int rounds = std::max(1, std::atoi(argv[4]));
    gw::CellGridPtr grid = gw::makeCellGrid();
    double best[2] = {1e300, 1e300};
    long checksum = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int which = 0; which < 2; ++which) {
            input.tone = which == 0 ? gw::ToneSettings{} : toned;
            gw::ConversionInfo info;
            const double start = cpuMilliseconds();
            if (!gw::processImage(input, *grid, info).ok) return 1;
            best[which] = std::min(best[which], cpuMilliseconds() - start);
            checksum += grid->ascii[1][1];
        }
    }
    // The tone step alone, on a plane of the last conversion's size and ink grid.
    gw::BrightnessPlane plane;
    plane.columns = grid->width2;
    plane.rows = grid->height2 - 1;
    if (input.match == gw::MatchMode::Shape) gw::inkGridOf(table, plane.inkColumns, plane.inkRows);
    const auto cells = static_cast<std::size_t>(plane.columns * std::max(plane.rows, 0));
    double step = 1e300;
    for (int round = 0; round < rounds; ++round) {
        plane.cells.assign(cells, 0.0f);
        for (std::size_t i = 0; i < cells; ++i)
            plane.cells[i] = static_cast<float>((i * 37) % 256);
        if (input.match == gw::MatchMode::Shape)
            plane.subcells.assign(
                cells * static_cast<std::size_t>(plane.inkColumns * plane.inkRows), 99.0f);
        const double start = cpuMilliseconds();
        gw::applyTone(toned, plane);
        step = std::min(step, cpuMilliseconds() - start);
        checksum += static_cast<long>(plane.cells[cells / 2]);
    }
    std::printf("%.3f %.3f %.3f %ld\n", best[0], best[1], step, checksum);
    return 0;
}
