// Draws one picture into one canvas, as the converter does, and prints a checksum of the canvas
// so that the work cannot be skipped. Usage: imaging_bench FILE GW GH [SCALE]
#include "imaging/Picture.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s FILE GW GH [SCALE]\n", argv[0]);
        return 2;
    }
    using namespace gw::imaging;
    PictureError error;
    const auto picture = Picture::open(argv[1], &error);
    gw::RgbaCanvas canvas;
    if (!picture ||
        !picture->renderCanvas(std::atof(argv[2]), std::atof(argv[3]),
                               argc > 4 ? std::atof(argv[4]) : 1.0, canvas, error.message)) {
        std::fprintf(stderr, "%s\n", error.message.c_str());
        return 1;
    }
    // Eight bytes a step: a byte-wise checksum of a 513 x 256 canvas took a millisecond, as
    // much as drawing it from a small JPEG.
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i + 8 <= canvas.rgba.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, canvas.rgba.data() + i, 8);
        sum = (sum ^ word) * 0x100000001B3u;
    }
    std::printf("%dx%d %llx\n", canvas.width, canvas.height, static_cast<unsigned long long>(sum));
    return 0;
}
