#pragma once
// Small writers for test pictures in every format the converter reads.

#include <cstdint>
#include <string>
#include <vector>

namespace gw::test {

// Opaque RGB, 8 bits per sample, row 0 at the top.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// Left `darkColumns` columns black, the rest white.
RgbPicture halfDark(int width, int height, int darkColumns);

void writePng(const std::string& path, const RgbPicture& p);
void writeJpeg(const std::string& path, const RgbPicture& p, bool progressive = false);
void writeBmp(const std::string& path, const RgbPicture& p);
void writeTga(const std::string& path, const RgbPicture& p);
void writePsd(const std::string& path, const RgbPicture& p);
void writeGif(const std::string& path, const RgbPicture& p); // black and white only
void writeTiff(const std::string& path, const RgbPicture& p);

void writeBytes(const std::string& path, const std::string& bytes);
std::string readBytes(const std::string& path);

} // namespace gw::test
