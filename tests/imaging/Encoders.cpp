#include "Encoders.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <stdexcept>

#include <jpeglib.h>
#include <png.h>
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

namespace {

void pngWrite(png_structp png, png_bytep data, std::size_t size) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}
void pngFlush(png_structp) {}

} // namespace

Bytes encodePngRaw(std::uint32_t width, std::uint32_t height, int colourType, int bitDepth,
                   const std::vector<Bytes>& rows, const Bytes& palette, const Bytes& trns,
                   bool interlaced, int filters) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png encode failed");
    }
    png_set_write_fn(png, &out, &pngWrite, &pngFlush);
    if (filters != 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
    png_set_IHDR(png, info, width, height, bitDepth, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> plte;
    for (std::size_t i = 0; i + 2 < palette.size(); i += 3)
        plte.push_back({palette[i], palette[i + 1], palette[i + 2]});
    if (!plte.empty()) png_set_PLTE(png, info, plte.data(), static_cast<int>(plte.size()));
    if (!trns.empty() && colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
    } else if (!trns.empty()) {
        png_color_16 key{};
        key.gray = static_cast<png_uint_16>(trns[0] << 8 | trns[1]);
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (const Bytes& row : rows)
        pointers.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes encodePng(const Rgba& image, const PngOptions& options) {
    std::vector<Bytes> rows(image.height);
    Bytes palette, trns;
    std::map<std::uint32_t, std::uint8_t> indices;
    const std::map<int, std::vector<int>> samples{{PNG_COLOR_TYPE_RGBA, {0, 1, 2, 3}},
                                                  {PNG_COLOR_TYPE_RGB, {0, 1, 2}},
                                                  {PNG_COLOR_TYPE_GRAY, {0}},
                                                  {PNG_COLOR_TYPE_GRAY_ALPHA, {0, 3}}};
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.pixels.data() + (std::size_t{y} * image.width + x) * 4;
            if (options.colourType != PNG_COLOR_TYPE_PALETTE) {
                for (int k : samples.at(options.colourType))
                    rows[y].insert(rows[y].end(), options.bitDepth / 8, p[k]);
                continue;
            }
            const std::uint32_t key = p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
            auto it = indices.find(key);
            if (it == indices.end()) {
                it = indices.emplace(key, static_cast<std::uint8_t>(indices.size())).first;
                palette.insert(palette.end(), {p[0], p[1], p[2]});
                trns.push_back(p[3]);
            }
            rows[y].push_back(it->second);
        }
    }
    if (std::all_of(trns.begin(), trns.end(), [](std::uint8_t a) { return a == 255; }))
        trns.clear();
    return encodePngRaw(image.width, image.height, options.colourType, options.bitDepth, rows,
                        palette, trns, options.interlaced, options.filters);
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
