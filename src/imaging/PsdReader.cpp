// Photoshop documents: only the merged (composite) picture that follows the layers, raw or
// PackBits, 8 or 16 bits per sample, in RGB, grey or indexed colour. Layers are skipped
// unread. Alpha comes from the channel after the colour ones when there is one; further
// channels (spot colours, saved selections) are never read. The merged colours are taken as
// they are stored: no attempt is made to remove a white matte.
#include "ByteReader.h"
#include "RasterReaders.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace gw::imaging::detail {
namespace {

constexpr std::size_t kHeaderSize = 26;
constexpr unsigned kMaxChannels = 56;

enum Mode : std::uint16_t { kGrey = 1, kIndexed = 2, kRgb = 3 };

struct PsdHeader {
    std::uint16_t channels = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t depth = 0;
    std::uint16_t mode = 0;

    unsigned colourChannels() const { return mode == kRgb ? 3 : 1; }
    // Colour channels plus alpha when the file has one more channel.
    unsigned usedChannels() const {
        const unsigned colour = colourChannels();
        return mode != kIndexed && channels > colour ? colour + 1 : colour;
    }
    std::size_t sampleBytes() const { return depth / 8u; }
};

std::string modeName(std::uint16_t mode) {
    switch (mode) {
    case 0:
        return " (bitmap)";
    case 4:
        return " (CMYK)";
    case 7:
        return " (multichannel)";
    case 8:
        return " (duotone)";
    case 9:
        return " (Lab)";
    default:
        return "";
    }
}

bool parseHeader(std::span<const std::uint8_t> bytes, PsdHeader& h, std::string& reason) {
    ByteReader in(bytes);
    std::uint32_t signature = 0;
    std::uint16_t version = 0;
    if (!in.u32be(signature)) {
        reason = "truncated header";
        return false;
    }
    if (signature != 0x38425053) { // "8BPS"
        reason = "not a PSD file";
        return false;
    }
    if (!in.u16be(version) || !in.skip(6) || !in.u16be(h.channels) || !in.u32be(h.height) ||
        !in.u32be(h.width) || !in.u16be(h.depth) || !in.u16be(h.mode)) {
        reason = "truncated header";
        return false;
    }
    if (version == 2) {
        reason = "unsupported PSD version 2 (large document)";
        return false;
    }
    if (version != 1) {
        reason = "unsupported PSD version " + std::to_string(version);
        return false;
    }
    if (h.channels == 0 || h.channels > kMaxChannels) {
        reason = "invalid PSD channel count " + std::to_string(h.channels);
        return false;
    }
    if (h.mode != kGrey && h.mode != kIndexed && h.mode != kRgb) {
        reason = "unsupported PSD colour mode " + std::to_string(h.mode) + modeName(h.mode);
        return false;
    }
    if (h.depth != 8 && (h.depth != 16 || h.mode == kIndexed)) {
        reason = "unsupported PSD bit depth " + std::to_string(h.depth);
        return false;
    }
    if (h.channels < h.colourChannels()) {
        reason = "too few channels (" + std::to_string(h.channels) + ") for a PSD RGB picture";
        return false;
    }
    if (h.width == 0 || h.height == 0) {
        reason = "zero width or height";
        return false;
    }
    return true;
}

// Unpacks one PackBits row into exactly `row.size()` bytes.
bool unpackRow(std::span<const std::uint8_t> src, std::span<std::uint8_t> row,
               std::string& reason) {
    std::size_t in = 0;
    std::size_t out = 0;
    while (out < row.size() && in < src.size()) {
        const int header = static_cast<std::int8_t>(src[in++]);
        if (header == -128) continue;
        const std::size_t length = header >= 0 ? std::size_t(header) + 1 : std::size_t(1 - header);
        if (length > row.size() - out) {
            reason = "RLE run past the end of a row";
            return false;
        }
        if (header >= 0) {
            if (length > src.size() - in) break;
            for (std::size_t i = 0; i < length; ++i)
                row[out++] = src[in++];
        } else {
            if (in >= src.size()) break;
            const std::uint8_t value = src[in++];
            for (std::size_t i = 0; i < length; ++i)
                row[out++] = value;
        }
    }
    if (out < row.size()) {
        reason = "truncated pixel data";
        return false;
    }
    return true;
}

class PsdDecoder {
public:
    PsdDecoder(const PsdHeader& h, RgbaImage& out) : h_(h), out_(out) {}

    // Colour mode data (the palette of an indexed picture), image resources and the layers.
    bool readSections(ByteReader& in, std::string& reason) {
        std::uint32_t length = 0;
        std::span<const std::uint8_t> colourData;
        if (!in.seek(kHeaderSize) || !in.u32be(length) || !in.take(length, colourData)) {
            reason = "truncated header";
            return false;
        }
        if (h_.mode == kIndexed) {
            if (colourData.size() < 768) {
                reason = "PSD colour table missing";
                return false;
            }
            palette_.assign(colourData.begin(), colourData.begin() + 768);
        }
        for (int section = 0; section < 2; ++section) {
            if (!in.u32be(length) || !in.skip(length)) {
                reason = "truncated header";
                return false;
            }
        }
        std::uint16_t compression = 0;
        if (!in.u16be(compression)) {
            reason = "truncated pixel data";
            return false;
        }
        if (compression > 1) {
            reason = "unsupported PSD compression " + std::to_string(compression) +
                     (compression <= 3 ? " (ZIP)" : "");
            return false;
        }
        rle_ = compression == 1;
        return true;
    }

    // Checks that the channels to be read are all there, before the picture is allocated.
    bool dataCanFill(const ByteReader& in, std::string& reason) {
        const std::uint64_t rowBytes = std::uint64_t{h_.width} * h_.sampleBytes();
        std::uint64_t needed = 0;
        if (!rle_) {
            if (!checkedMul(rowBytes, h_.height, needed) ||
                !checkedMul(needed, h_.usedChannels(), needed) || needed > in.remaining()) {
                reason = "truncated pixel data";
                return false;
            }
            return true;
        }
        // The row byte counts of every channel come first; each is trusted only after the sum
        // of those we read is seen to fit in the file.
        const std::uint64_t tableBytes = std::uint64_t{h_.channels} * h_.height * 2;
        if (tableBytes > in.remaining()) {
            reason = "truncated pixel data";
            return false;
        }
        ByteReader table = in;
        const std::uint64_t rows = std::uint64_t{h_.usedChannels()} * h_.height;
        for (std::uint64_t i = 0; i < rows; ++i) {
            std::uint16_t count = 0;
            table.u16be(count);
            needed += count;
        }
        if (needed > in.remaining() - tableBytes) {
            reason = "truncated pixel data";
            return false;
        }
        return true;
    }

    bool decode(ByteReader& in, std::string& reason) {
        const std::size_t rowBytes = std::size_t{h_.width} * h_.sampleBytes();
        std::vector<std::uint8_t> row(rowBytes);
        ByteReader counts = in;
        if (rle_) in.skip(std::uint64_t{h_.channels} * h_.height * 2);
        for (unsigned channel = 0; channel < h_.usedChannels(); ++channel) {
            for (std::uint32_t y = 0; y < h_.height; ++y) {
                std::span<const std::uint8_t> src;
                if (rle_) {
                    std::uint16_t count = 0;
                    if (!counts.u16be(count) || !in.take(count, src)) {
                        reason = "truncated pixel data";
                        return false;
                    }
                    if (!unpackRow(src, row, reason)) return false;
                } else if (!in.take(rowBytes, src)) {
                    reason = "truncated pixel data";
                    return false;
                } else {
                    std::copy(src.begin(), src.end(), row.begin());
                }
                storeRow(channel, y, row);
            }
        }
        if (h_.usedChannels() > h_.colourChannels()) {
            opaqueIfAlphaAllZero(out_);
        } else {
            for (std::size_t i = 3; i < out_.rgba.size(); i += 4)
                out_.rgba[i] = 255;
        }
        return true;
    }

private:
    void storeRow(unsigned channel, std::uint32_t y, const std::vector<std::uint8_t>& row) {
        std::uint8_t* dst = out_.rgba.data() + std::size_t{y} * h_.width * 4;
        for (std::uint32_t x = 0; x < h_.width; ++x, dst += 4) {
            std::uint8_t v = 0;
            if (h_.depth == 16) {
                const std::size_t i = 2 * std::size_t{x};
                const unsigned wide = (unsigned{row[i]} << 8) | row[i + 1];
                v = static_cast<std::uint8_t>((wide * 255 + 32767) / 65535);
            } else {
                v = row[x];
            }
            if (h_.mode == kIndexed) {
                dst[0] = palette_[v];
                dst[1] = palette_[256 + v];
                dst[2] = palette_[512 + v];
            } else if (channel == h_.colourChannels()) {
                dst[3] = v;
            } else if (h_.mode == kGrey) {
                dst[0] = dst[1] = dst[2] = v;
            } else {
                dst[channel] = v;
            }
        }
    }

    const PsdHeader& h_;
    RgbaImage& out_;
    std::vector<std::uint8_t> palette_; // 256 reds, 256 greens, 256 blues
    bool rle_ = false;
};

} // namespace

bool looksLikePsd(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 6 && bytes[0] == '8' && bytes[1] == 'B' && bytes[2] == 'P' &&
           bytes[3] == 'S' && bytes[4] == 0 && (bytes[5] == 1 || bytes[5] == 2);
}

bool probePsd(std::span<const std::uint8_t> bytes, std::uint32_t& width, std::uint32_t& height,
              std::string& reason) {
    PsdHeader h;
    if (!parseHeader(bytes, h, reason)) return false;
    width = h.width;
    height = h.height;
    return true;
}

bool decodePsd(std::span<const std::uint8_t> bytes, const DecodeLimits& limits, RgbaImage& out,
               std::string& reason) {
    out = RgbaImage{};
    PsdHeader h;
    if (!parseHeader(bytes, h, reason) || !checkSize(h.width, h.height, limits, reason)) {
        return false;
    }
    RgbaImage image;
    PsdDecoder decoder(h, image);
    ByteReader in(bytes);
    if (!decoder.readSections(in, reason) || !decoder.dataCanFill(in, reason) ||
        !allocateImage(h.width, h.height, limits, image, reason) || !decoder.decode(in, reason)) {
        return false;
    }
    out = std::move(image);
    return true;
}

} // namespace gw::imaging::detail
