// Writes a very large RGB PNG made from a photograph, enlarged by nearest neighbour, row by row
// (ImageMagick's default policy refuses pictures of this area). Usage:
// make_large_png SOURCE.png WIDTH HEIGHT OUT.png
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <png.h>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s SOURCE.png WIDTH HEIGHT OUT.png\n", argv[0]);
        return 2;
    }
    png_image source{};
    source.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&source, argv[1])) {
        std::fprintf(stderr, "%s: %s\n", argv[1], source.message);
        return 1;
    }
    source.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(source));
    if (!png_image_finish_read(&source, nullptr, pixels.data(), 0, nullptr)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], source.message);
        return 1;
    }
    const auto width = static_cast<png_uint_32>(std::strtoul(argv[2], nullptr, 10));
    const auto height = static_cast<png_uint_32>(std::strtoul(argv[3], nullptr, 10));
    std::FILE* out = std::fopen(argv[4], "wb");
    if (!out) {
        std::perror(argv[4]);
        return 1;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) return 1;
    png_init_io(png, out);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(std::size_t{width} * 3);
    for (png_uint_32 y = 0; y < height; ++y) {
        const std::size_t sy = std::size_t{y} * source.height / height;
        for (png_uint_32 x = 0; x < width; ++x) {
            const std::size_t sx = std::size_t{x} * source.width / width;
            for (int c = 0; c < 3; ++c) row[x * 3 + c] = pixels[(sy * source.width + sx) * 3 + c];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(out) == 0 ? 0 : 1;
}
