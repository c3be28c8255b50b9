#include "PictureWriters.h"

#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <jpeglib.h>
#include <stdexcept>

namespace gw::test {
namespace {

void put16le(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32le(std::string& out, unsigned v) {
    put16le(out, v & 0xFFFF);
    put16le(out, v >> 16);
}
void put16be(std::string& out, unsigned v) {
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}
void put32be(std::string& out, unsigned v) {
    put16be(out, v >> 16);
    put16be(out, v & 0xFFFF);
}
std::uint8_t at(const RgbPicture& p, int x, int y, int c) {
    return p.rgb[(static_cast<std::size_t>(y) * p.width + x) * 3 + c];
}

} // namespace

RgbPicture halfDark(int width, int height, int darkColumns) {
    RgbPicture p{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 3, 255)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < darkColumns; ++x) {
            for (int c = 0; c < 3; ++c)
                p.rgb[(std::size_t(y) * width + x) * 3 + c] = 0;
        }
    }
    return p;
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void writePng(const std::string& path, const RgbPicture& p) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(p.width);
    image.height = static_cast<png_uint_32>(p.height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, p.rgb.data(), 0, nullptr)) {
        throw std::runtime_error("cannot write " + path);
    }
}

void writeJpeg(const std::string& path, const RgbPicture& p, bool progressive) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(p.width);
    cinfo.image_height = static_cast<JDIMENSION>(p.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&p.rgb[std::size_t(cinfo.next_scanline) * p.width * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
}

void writeBmp(const std::string& path, const RgbPicture& p) {
    const unsigned rowBytes = (static_cast<unsigned>(p.width) * 3 + 3) & ~3u;
    const unsigned dataSize = rowBytes * static_cast<unsigned>(p.height);
    std::string out = "BM";
    put32le(out, 54 + dataSize);
    put32le(out, 0);
    put32le(out, 54);
    put32le(out, 40);
    put32le(out, static_cast<unsigned>(p.width));
    put32le(out, static_cast<unsigned>(p.height)); // bottom-up
    put16le(out, 1);
    put16le(out, 24);
    put32le(out, 0);
    put32le(out, dataSize);
    put32le(out, 2835);
    put32le(out, 2835);
    put32le(out, 0);
    put32le(out, 0);
    for (int y = p.height - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < p.width; ++x) {
            row += static_cast<char>(at(p, x, y, 2));
            row += static_cast<char>(at(p, x, y, 1));
            row += static_cast<char>(at(p, x, y, 0));
        }
        row.resize(rowBytes, '\0');
        out += row;
    }
    writeBytes(path, out);
}

void writeTga(const std::string& path, const RgbPicture& p) {
    std::string out;
    out += '\0'; // no id
    out += '\0'; // no colour map
    out += '\2'; // uncompressed true colour
    out.append(5, '\0');
    put16le(out, 0);
    put16le(out, 0);
    put16le(out, static_cast<unsigned>(p.width));
    put16le(out, static_cast<unsigned>(p.height));
    out += static_cast<char>(24);
    out += static_cast<char>(0x20); // top-left origin
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            out += static_cast<char>(at(p, x, y, 2));
            out += static_cast<char>(at(p, x, y, 1));
            out += static_cast<char>(at(p, x, y, 0));
        }
    }
    writeBytes(path, out);
}

void writePsd(const std::string& path, const RgbPicture& p) {
    std::string out = "8BPS";
    put16be(out, 1);
    out.append(6, '\0');
    put16be(out, 3);
    put32be(out, static_cast<unsigned>(p.height));
    put32be(out, static_cast<unsigned>(p.width));
    put16be(out, 8);
    put16be(out, 3); // RGB
    put32be(out, 0); // colour mode data
    put32be(out, 0); // image resources
    put32be(out, 0); // layers and masks
    put16be(out, 0); // raw image data, one plane per channel
    for (int c = 0; c < 3; ++c) {
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x)
                out += static_cast<char>(at(p, x, y, c));
        }
    }
    writeBytes(path, out);
}

void writeGif(const std::string& path, const RgbPicture& p) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    if (gif == nullptr) throw std::runtime_error("cannot write " + path);
    GifColorType colors[2] = {{0, 0, 0}, {255, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(2, colors);
    EGifPutScreenDesc(gif, p.width, p.height, 1, 0, map);
    EGifPutImageDesc(gif, 0, 0, p.width, p.height, false, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(p.width));
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x)
            line[std::size_t(x)] = at(p, x, y, 0) > 127 ? 1 : 0;
        EGifPutLine(gif, line.data(), p.width);
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
}

void writeTiff(const std::string& path, const RgbPicture& p) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) throw std::runtime_error("cannot write " + path);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(p.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(p.height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(p.height));
    for (int y = 0; y < p.height; ++y) {
        TIFFWriteScanline(tiff, const_cast<std::uint8_t*>(&p.rgb[std::size_t(y) * p.width * 3]),
                          static_cast<std::uint32_t>(y), 0);
    }
    TIFFClose(tiff);
}

} // namespace gw::test
