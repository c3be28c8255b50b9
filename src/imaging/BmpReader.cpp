// Windows and OS/2 bitmaps: 1/2/4/8-bit palette, 16/24/32-bit direct colour, bit-field masks,
// RLE4 and RLE8. Colour indices past the end of the palette are an error, not a guessed colour.
// Pixels that an RLE stream skips (delta and end-of-line escapes) stay transparent.
#include "ByteReader.h"
#include "RasterReaders.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace gw::imaging::detail {
namespace {

constexpr std::size_t kFileHeaderSize = 14;

enum Compression : std::uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kJpeg = 4,
    kPng = 5,
    kAlphaBitFields = 6,
};

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

struct Channel {
    std::uint32_t mask = 0;
    unsigned shift = 0;
    unsigned bits = 0;
};

struct BmpHeader {
    std::uint32_t pixelOffset = 0;
    std::uint32_t headerSize = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool topDown = false;
    unsigned bitsPerPixel = 0;
    std::uint32_t compression = kRgb;
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha
    std::size_t paletteOffset = 0;
    std::size_t paletteEntrySize = 4;
    std::uint32_t paletteDeclared = 0; // entries the header claims for an indexed picture
};

std::string compressionName(std::uint32_t compression, std::uint32_t headerSize) {
    if (headerSize == 64 && compression == 3) return " (OS/2 Huffman)";
    if (headerSize == 64 && compression == 4) return " (OS/2 RLE24)";
    switch (compression) {
    case kJpeg:
        return " (JPEG)";
    case kPng:
        return " (PNG)";
    case 11:
    case 12:
    case 13:
        return " (CMYK)";
    default:
        return "";
    }
}

bool parseHeader(std::span<const std::uint8_t> bytes, BmpHeader& h, std::string& reason) {
    ByteReader in(bytes);
    std::uint8_t b0 = 0, b1 = 0;
    if (!in.u8(b0) || !in.u8(b1)) {
        reason = "truncated header";
        return false;
    }
    if (b0 != 'B' || b1 != 'M') {
        reason = "not a BMP file";
        return false;
    }
    std::uint32_t ignored = 0;
    if (!in.u32le(ignored) || !in.u32le(ignored) || !in.u32le(h.pixelOffset) ||
        !in.u32le(h.headerSize)) {
        reason = "truncated header";
        return false;
    }
    switch (h.headerSize) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
        break;
    default:
        reason = "unsupported BMP header size " + std::to_string(h.headerSize);
        return false;
    }
    if (in.remaining() < h.headerSize - 4) {
        reason = "truncated header";
        return false;
    }

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bpp = 0;
    if (h.headerSize == 12) {
        std::uint16_t w = 0, hh = 0;
        in.u16le(w);
        in.u16le(hh);
        width = w;
        height = hh;
        h.paletteEntrySize = 3;
    } else {
        std::int32_t w = 0, hh = 0;
        in.i32le(w);
        in.i32le(hh);
        width = w;
        height = hh;
    }
    in.u16le(planes);
    in.u16le(bpp);
    std::uint32_t colorsUsed = 0;
    if (h.headerSize >= 40) {
        in.u32le(h.compression);
        in.skip(12); // image size, resolution
        in.u32le(colorsUsed);
    }
    in.seek(kFileHeaderSize + h.headerSize);

    if (width < 0) {
        reason = "invalid BMP width " + std::to_string(width);
        return false;
    }
    if (height < 0) {
        h.topDown = true;
        height = -height;
    }
    if (width == 0 || height == 0) {
        reason = "zero width or height";
        return false;
    }
    h.width = static_cast<std::uint32_t>(width);
    h.height = static_cast<std::uint32_t>(height);
    h.bitsPerPixel = bpp;

    switch (bpp) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        reason = "unsupported BMP bit depth " + std::to_string(bpp);
        return false;
    }

    const bool os2v2 = h.headerSize == 16 || h.headerSize == 64;
    bool compressionFits = false;
    switch (h.compression) {
    case kRgb:
        compressionFits = true;
        break;
    case kRle8:
        compressionFits = bpp == 8;
        break;
    case kRle4:
        compressionFits = bpp == 4;
        break;
    case kBitFields:
    case kAlphaBitFields:
        compressionFits = !os2v2 && (bpp == 16 || bpp == 32);
        break;
    default:
        break;
    }
    if (!compressionFits) {
        const bool known = h.compression <= kAlphaBitFields && !os2v2 && h.compression != kJpeg &&
                           h.compression != kPng;
        reason = (known ? "invalid BMP compression " : "unsupported BMP compression ") +
                 std::to_string(h.compression) + compressionName(h.compression, h.headerSize);
        if (known) reason += " for " + std::to_string(bpp) + "-bit pixels";
        return false;
    }

    // Masks: in the header from the V2 header on, else after a 40-byte header; the defaults
    // for uncompressed pixels are 5-5-5 and 8-8-8 (with the top byte as alpha, see decode).
    if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
        if (h.headerSize >= 52) {
            ByteReader masks(bytes);
            masks.seek(kFileHeaderSize + 40);
            masks.u32le(h.masks[0]);
            masks.u32le(h.masks[1]);
            masks.u32le(h.masks[2]);
            if (h.headerSize >= 56) masks.u32le(h.masks[3]);
        } else {
            const int count = h.compression == kAlphaBitFields ? 4 : 3;
            for (int i = 0; i < count; ++i) {
                if (!in.u32le(h.masks[static_cast<std::size_t>(i)])) {
                    reason = "truncated header";
                    return false;
                }
            }
        }
    } else if (bpp == 16) {
        h.masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else if (bpp == 32) {
        h.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    }
    h.paletteOffset = in.position();

    if (bpp <= 8) {
        const std::uint32_t maxEntries = 1u << bpp;
        h.paletteDeclared = colorsUsed == 0 || colorsUsed > maxEntries ? maxEntries : colorsUsed;
    }
    if (h.pixelOffset < h.paletteOffset) {
        reason = "invalid BMP pixel data offset";
        return false;
    }
    return true;
}

// Probes see only the start of a file; the pixel offset is checked against the whole file.
bool pixelOffsetInFile(std::span<const std::uint8_t> bytes, const BmpHeader& h,
                       std::string& reason) {
    if (h.pixelOffset > bytes.size()) {
        reason = "invalid BMP pixel data offset";
        return false;
    }
    return true;
}

bool parseMask(std::uint32_t mask, Channel& channel) {
    channel.mask = mask;
    if (mask == 0) return true;
    channel.shift = static_cast<unsigned>(std::countr_zero(mask));
    const std::uint32_t shifted = mask >> channel.shift;
    if ((shifted & (shifted + 1)) != 0) return false; // not one run of bits
    channel.bits = static_cast<unsigned>(std::popcount(shifted));
    return true;
}

std::uint8_t extract(std::uint32_t value, const Channel& c) {
    if (c.mask == 0) return 0;
    return scaleTo8((value & c.mask) >> c.shift, c.bits);
}

class BmpDecoder {
public:
    BmpDecoder(std::span<const std::uint8_t> bytes, const BmpHeader& h, RgbaImage& out)
        : bytes_(bytes), h_(h), out_(out) {}

    bool readPalette(std::string& reason) {
        if (h_.bitsPerPixel > 8) return true;
        const std::size_t room = (h_.pixelOffset - h_.paletteOffset) / h_.paletteEntrySize;
        const std::size_t count = room < h_.paletteDeclared ? room : h_.paletteDeclared;
        ByteReader in(bytes_);
        in.seek(h_.paletteOffset);
        for (std::size_t i = 0; i < count; ++i) {
            std::uint8_t b = 0, g = 0, r = 0, unused = 0;
            if (!in.u8(b) || !in.u8(g) || !in.u8(r) ||
                (h_.paletteEntrySize == 4 && !in.u8(unused))) {
                reason = "truncated header";
                return false;
            }
            palette_[i] = Rgba{r, g, b, 255};
        }
        paletteSize_ = count;
        return true;
    }

    bool decodeDirect(std::string& reason) {
        std::array<Channel, 4> channels;
        for (std::size_t i = 0; i < 4; ++i) {
            if (!parseMask(h_.masks[i], channels[i])) {
                reason = "invalid BMP bit field masks";
                return false;
            }
        }
        if (!directDataFits(reason)) return false;
        const std::uint64_t stride = directStride();
        const std::uint8_t* base = bytes_.data() + h_.pixelOffset;
        const unsigned bpp = h_.bitsPerPixel;
        for (std::uint32_t fileRow = 0; fileRow < h_.height; ++fileRow) {
            const std::uint8_t* src = base + stride * fileRow;
            std::uint8_t* dst = rowPointer(fileRow);
            for (std::uint32_t x = 0; x < h_.width; ++x, dst += 4) {
                if (bpp <= 8) {
                    const std::uint64_t bit = std::uint64_t{x} * bpp;
                    const unsigned index =
                        (src[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                    if (!putIndex(index, dst, reason)) return false;
                    continue;
                }
                std::uint32_t v = 0;
                if (bpp == 24) {
                    const std::uint8_t* p = src + std::size_t{x} * 3;
                    dst[0] = p[2];
                    dst[1] = p[1];
                    dst[2] = p[0];
                    dst[3] = 255;
                    continue;
                }
                if (bpp == 16) {
                    const std::uint8_t* p = src + std::size_t{x} * 2;
                    v = p[0] | (std::uint32_t{p[1]} << 8);
                } else {
                    const std::uint8_t* p = src + std::size_t{x} * 4;
                    v = p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
                        (std::uint32_t{p[3]} << 24);
                }
                dst[0] = extract(v, channels[0]);
                dst[1] = extract(v, channels[1]);
                dst[2] = extract(v, channels[2]);
                dst[3] = channels[3].mask != 0 ? extract(v, channels[3]) : 255;
            }
        }
        if (bpp >= 16 && channels[3].mask != 0) opaqueIfAlphaAllZero(out_);
        return true;
    }

    std::uint64_t directStride() const {
        const std::uint64_t rowBits = std::uint64_t{h_.width} * h_.bitsPerPixel;
        return (rowBits + 31) / 32 * 4;
    }

    // Rows are padded to 32 bits; a last row without its padding is accepted.
    bool directDataFits(std::string& reason) const {
        const std::uint64_t lastRow = (std::uint64_t{h_.width} * h_.bitsPerPixel + 7) / 8;
        std::uint64_t needed = 0;
        if (!checkedMul(directStride(), h_.height - 1, needed) ||
            !checkedAdd(needed, lastRow, needed) || needed > bytes_.size() - h_.pixelOffset) {
            reason = "truncated pixel data";
            return false;
        }
        return true;
    }

    // RLE streams are bounded by their own bytes: every step consumes at least two of them,
    // and every run is checked against the (padded) row and the picture.
    bool decodeRle(std::string& reason) {
        ByteReader in(bytes_);
        in.seek(h_.pixelOffset);
        const bool four = h_.compression == kRle4;
        std::uint32_t x = 0;
        std::uint32_t y = 0; // file row
        for (;;) {
            std::uint8_t count = 0, value = 0;
            if (!in.u8(count) || !in.u8(value)) {
                if (y >= h_.height || (y + 1 == h_.height && x >= h_.width)) return true;
                reason = "truncated pixel data";
                return false;
            }
            if (count > 0) {
                if (!checkRun(x, y, count, reason)) return false;
                const std::uint32_t runEnd = x + count;
                std::uint8_t* dst = rowPointer(y);
                for (unsigned i = 0; i < count && x < h_.width; ++i, ++x) {
                    const unsigned index = four ? (i % 2 == 0 ? value >> 4 : value & 15) : value;
                    if (!putIndex(index, dst + std::size_t{x} * 4, reason)) return false;
                }
                x = runEnd;
                continue;
            }
            if (value == 0) { // end of line
                x = 0;
                ++y;
            } else if (value == 1) { // end of picture
                return true;
            } else if (value == 2) { // delta
                std::uint8_t dx = 0, dy = 0;
                if (!in.u8(dx) || !in.u8(dy)) {
                    reason = "truncated pixel data";
                    return false;
                }
                if (std::uint64_t{x} + dx > rowLimit()) {
                    reason = "RLE run past the end of a row";
                    return false;
                }
                if (std::uint64_t{y} + dy > h_.height) {
                    reason = "RLE run past the end of the picture";
                    return false;
                }
                x += dx;
                y += dy;
            } else { // literal pixels, padded to 16 bits
                const unsigned n = value;
                const std::size_t byteCount = four ? (n + 1) / 2 : n;
                std::span<const std::uint8_t> literal;
                if (!in.take(byteCount, literal) || !in.skip(byteCount % 2)) {
                    reason = "truncated pixel data";
                    return false;
                }
                if (!checkRun(x, y, n, reason)) return false;
                const std::uint32_t runEnd = x + n;
                std::uint8_t* dst = rowPointer(y);
                for (unsigned i = 0; i < n && x < h_.width; ++i, ++x) {
                    const unsigned index =
                        four ? (i % 2 == 0 ? literal[i / 2] >> 4 : literal[i / 2] & 15)
                             : literal[i];
                    if (!putIndex(index, dst + std::size_t{x} * 4, reason)) return false;
                }
                x = runEnd;
            }
        }
    }

private:
    std::uint8_t* rowPointer(std::uint32_t fileRow) {
        const std::uint32_t row = h_.topDown ? fileRow : h_.height - 1 - fileRow;
        if (!out_.rowsWritten.empty()) out_.rowsWritten[row] = 1;
        return out_.rgba.data() + std::size_t{row} * h_.width * 4;
    }

    // Some writers encode the padding of each row as well, so a run may reach the padded
    // width; the pixels past the picture's width are dropped.
    std::uint64_t rowLimit() const { return directStride() * 8 / h_.bitsPerPixel; }

    bool checkRun(std::uint32_t x, std::uint32_t y, unsigned count, std::string& reason) const {
        if (y >= h_.height) {
            reason = "RLE run past the end of the picture";
            return false;
        }
        if (std::uint64_t{x} + count > rowLimit()) {
            reason = "RLE run past the end of a row";
            return false;
        }
        return true;
    }

    bool putIndex(unsigned index, std::uint8_t* dst, std::string& reason) const {
        if (index >= paletteSize_) {
            reason = "colour index " + std::to_string(index) + " past the end of the palette (" +
                     std::to_string(paletteSize_) + " colours)";
            return false;
        }
        const Rgba& c = palette_[index];
        dst[0] = c.r;
        dst[1] = c.g;
        dst[2] = c.b;
        dst[3] = 255;
        return true;
    }

    std::span<const std::uint8_t> bytes_;
    const BmpHeader& h_;
    RgbaImage& out_;
    std::array<Rgba, 256> palette_{};
    std::size_t paletteSize_ = 0;
};

} // namespace

bool looksLikeBmp(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 18 || bytes[0] != 'B' || bytes[1] != 'M') return false;
    const std::uint32_t headerSize = bytes[14] | (bytes[15] << 8) |
                                     (std::uint32_t{bytes[16]} << 16) |
                                     (std::uint32_t{bytes[17]} << 24);
    return headerSize >= 12 && headerSize <= 124;
}

bool probeBmp(std::span<const std::uint8_t> bytes, std::uint32_t& width, std::uint32_t& height,
              std::string& reason) {
    BmpHeader h;
    if (!parseHeader(bytes, h, reason)) return false;
    width = h.width;
    height = h.height;
    return true;
}

bool decodeBmp(std::span<const std::uint8_t> bytes, const DecodeLimits& limits, RgbaImage& out,
               std::string& reason) {
    out = RgbaImage{};
    BmpHeader h;
    if (!parseHeader(bytes, h, reason) || !pixelOffsetInFile(bytes, h, reason) ||
        !checkSize(h.width, h.height, limits, reason)) {
        return false;
    }
    RgbaImage image;
    BmpDecoder decoder(bytes, h, image);
    if (!decoder.readPalette(reason)) return false;
    const bool rle = h.compression == kRle4 || h.compression == kRle8;
    if (!rle && !decoder.directDataFits(reason)) return false;
    if (!allocateImage(h.width, h.height, limits, image, reason)) return false;
    if (rle) image.rowsWritten = ZeroedBuffer(h.height);
    if (!(rle ? decoder.decodeRle(reason) : decoder.decodeDirect(reason))) return false;
    out = std::move(image);
    return true;
}

} // namespace gw::imaging::detail
