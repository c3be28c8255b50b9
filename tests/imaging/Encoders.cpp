#include "Encoders.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include <jpeglib.h>
#include <unistd.h>

namespace gw::imaging::testing {

Rgba Rgba::solid(std::uint32_t w, std::uint32_t h, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                 std::uint8_t a) {
    Rgba image{w, h, Bytes(std::size_t{w} * h * 4)};
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        image.pixels[i] = r;
        image.pixels[i + 1] = g;
        image.pixels[i + 2] = b;
        image.pixels[i + 3] = a;
    }
    return image;
}

Bytes encodeBmp(const Rgba& image) {
    Bytes out{'B', 'M'};
    auto put = [&](std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const auto size = static_cast<std::uint32_t>(image.pixels.size());
    for (const auto& [v, n] : {std::pair<std::uint32_t, int>{54 + size, 4},
                               {0, 4},
                               {54, 4},
                               {40, 4},
                               {image.width, 4},
                               {0u - image.height, 4},
                               {1, 2},
                               {32, 2},
                               {0, 4},
                               {size, 4}})
        put(v, n);
    out.resize(out.size() + 16, 0); // resolution and palette counts
    for (std::size_t i = 0; i < size; i += 4) {
        const std::uint8_t* p = image.pixels.data() + i;
        out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
    return out;
}

Bytes encodeJpeg(const Rgba& image, const JpegOptions& options) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = image.width;
    info.image_height = image.height;
    info.input_components = options.grey ? 1 : 3;
    info.in_color_space = options.grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    if (options.orientation != 0) {
        // "Exif\0\0", a big-endian TIFF header and IFD0 with the one orientation entry.
        const unsigned char o = static_cast<unsigned char>(options.orientation);
        const unsigned char exif[] = {'E', 'x', 'i', 'f', 0, 0,    'M',  'M', 0, 42, 0,
                                      0,   0,   8,   0,   1, 0x01, 0x12, 0,   3, 0,  0,
                                      0,   1,   0,   o,   0, 0,    0,    0,   0, 0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
    }
    std::vector<std::uint8_t> row(std::size_t{image.width} * 3);
    while (info.next_scanline < info.image_height) {
        const std::uint8_t* p =
            image.pixels.data() + std::size_t{info.next_scanline} * image.width * 4;
        std::size_t n = 0;
        for (std::uint32_t x = 0; x < image.width; ++x, p += 4) {
            row[n++] = p[0];
            if (!options.grey) {
                row[n++] = p[1];
                row[n++] = p[2];
            }
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

std::filesystem::path writeTemp(const std::string& name, const Bytes& bytes) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("gw-imaging-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
}

} // namespace gw::imaging::testing
