// Draws one picture into one canvas, as the converter does, and prints a checksum of the canvas
// so that the work cannot be skipped. Usage: imaging_bench FILE GW GH [SCALE]
#include "imaging/Picture.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s FILE GW GH [SCALE]\n", argv[0]);
        return 2;
    }
    using namespace gw::imaging;
    PictureError error;
    const auto picture = Picture::open(argv[1], &error);
    Canvas canvas;
    if (!picture || !picture->renderCanvas(std::atof(argv[2]), std::atof(argv[3]),
                                           argc > 4 ? std::atof(argv[4]) : 1.0, canvas, &error)) {
        std::fprintf(stderr, "%s\n", error.message.c_str());
        return 1;
    }
    unsigned long sum = 0;
    for (const auto v : canvas.rgba) sum = sum * 31 + v;
    std::printf("%dx%d %lx\n", canvas.width, canvas.height, sum);
    return 0;
}
