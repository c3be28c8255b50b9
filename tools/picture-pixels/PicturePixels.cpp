// picture-pixels: prints the pixels the program decodes from pictures, one line a file as
// tests/data/good/expected.tsv spells them: the name, a tab, "WxH", a tab, and RRGGBBAA words
// row by row from the top, premultiplied, the picture drawn on a canvas at its own size.
// Damaged files that are drawn as far as they go get a fourth column, the warning.
// tools/check-against-pillow.py compares these lines with Pillow's pixels.
#include "imaging/Picture.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: picture-pixels PICTURE...\n", stderr);
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        gw::imaging::PictureError error;
        const auto picture = gw::imaging::Picture::open(argv[i], &error);
        gw::RgbaCanvas canvas;
        if (!picture || !picture->renderCanvas(picture->size().width, picture->size().height, 1,
                                               canvas, error.message)) {
            std::printf("%s\terror\t%s\n", argv[i], error.message.c_str());
            status = 1;
            continue;
        }
        std::printf("%s\t%dx%d\t", argv[i], canvas.width, canvas.height);
        for (std::size_t p = 0; p + 3 < canvas.rgba.size(); p += 4) {
            std::printf("%s%02X%02X%02X%02X", p ? " " : "", canvas.rgba[p], canvas.rgba[p + 1],
                        canvas.rgba[p + 2], canvas.rgba[p + 3]);
        }
        std::printf("\t%s\n",
                    canvas.partial ? gw::imaging::damagedDataWarning(argv[i]).c_str() : "");
    }
    return status;
}
