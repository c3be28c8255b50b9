#include "Encoders.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include <jpeglib.h>
#include <unistd.h>
#include <zlib.h>

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

Bytes pngFromFilteredRows(std::uint32_t width, std::uint32_t height, const Bytes& filteredRows) {
    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto put32 = [](Bytes& to, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            to.push_back(static_cast<std::uint8_t>(v >> shift));
    };
    auto chunk = [&](const char* type, const Bytes& data) {
        put32(out, static_cast<std::uint32_t>(data.size()));
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        put32(out, static_cast<std::uint32_t>(
                       crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
    };
    Bytes header;
    put32(header, width);
    put32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    chunk("IHDR", header);
    uLongf size = compressBound(static_cast<uLong>(filteredRows.size()));
    Bytes deflated(size);
    compress(deflated.data(), &size, filteredRows.data(), static_cast<uLong>(filteredRows.size()));
    deflated.resize(size);
    for (std::size_t at = 0; at < size; at += 8192) // as libpng cuts it, so a cut file opens
        chunk("IDAT", Bytes(deflated.begin() + static_cast<std::ptrdiff_t>(at),
                            deflated.begin() + static_cast<std::ptrdiff_t>(
                                                   std::min<std::size_t>(size, at + 8192))));
    chunk("IEND", {});
    return out;
}

Bytes encodePng(const Rgba& image) {
    Bytes rows;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        rows.push_back(0);
        rows.insert(rows.end(), image.pixels.begin() + std::ptrdiff_t{y} * image.width * 4,
                    image.pixels.begin() + std::ptrdiff_t{y + 1} * image.width * 4);
    }
    return pngFromFilteredRows(image.width, image.height, rows);
}

Bytes encodeJpeg(const Rgba& image, int quality, bool progressive) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = image.width;
    info.image_height = image.height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(std::size_t{image.width} * 3);
    while (info.next_scanline < info.image_height) {
        const std::uint8_t* p =
            image.pixels.data() + std::size_t{info.next_scanline} * image.width * 4;
        for (std::uint32_t x = 0; x < image.width; ++x, p += 4)
            std::copy_n(p, 3, row.data() + std::size_t{x} * 3);
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
