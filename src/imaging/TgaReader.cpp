// Truevision TGA: colour-mapped, true-colour and grey pictures, raw or run-length encoded, in
// any of the four corner orders. RLE packets may cross rows (older writers do that) but never
// the end of the picture. Colour indices outside the colour map are an error.
#include "ByteReader.h"
#include "RasterReaders.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace gw::imaging::detail {
namespace {

constexpr std::size_t kHeaderSize = 18;

enum ImageType : std::uint8_t {
    kMapped = 1,
    kTrueColour = 2,
    kGrey = 3,
    kMappedRle = 9,
    kTrueColourRle = 10,
    kGreyRle = 11,
};

struct TgaHeader {
    std::uint8_t idLength = 0;
    std::uint8_t mapType = 0;
    std::uint8_t imageType = 0;
    std::uint16_t mapFirst = 0;
    std::uint16_t mapLength = 0;
    std::uint8_t mapEntryBits = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t depth = 0;
    std::uint8_t descriptor = 0;

    unsigned kind() const { return imageType & 3u; } // 1 mapped, 2 true colour, 3 grey
    bool rle() const { return imageType >= 9; }
    unsigned alphaBits() const { return descriptor & 15u; }
    bool rightToLeft() const { return (descriptor & 0x10) != 0; }
    bool topToBottom() const { return (descriptor & 0x20) != 0; }
    std::size_t mapEntryBytes() const { return (mapEntryBits + 7u) / 8u; }
    std::size_t pixelBytes() const { return (depth + 7u) / 8u; }
};

bool isColourDepth(unsigned bits) {
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

bool readHeader(std::span<const std::uint8_t> bytes, TgaHeader& h) {
    ByteReader in(bytes);
    std::uint16_t origin = 0;
    return in.u8(h.idLength) && in.u8(h.mapType) && in.u8(h.imageType) && in.u16le(h.mapFirst) &&
           in.u16le(h.mapLength) && in.u8(h.mapEntryBits) && in.u16le(origin) && in.u16le(origin) &&
           in.u16le(h.width) && in.u16le(h.height) && in.u8(h.depth) && in.u8(h.descriptor);
}

bool validate(const TgaHeader& h, std::string& reason) {
    if (h.mapType > 1) {
        reason = "invalid TGA colour map type " + std::to_string(h.mapType);
        return false;
    }
    switch (h.imageType) {
    case kMapped:
    case kTrueColour:
    case kGrey:
    case kMappedRle:
    case kTrueColourRle:
    case kGreyRle:
        break;
    default:
        reason = "unsupported TGA image type " + std::to_string(h.imageType);
        return false;
    }
    if ((h.descriptor & 0xC0) != 0) {
        reason = "unsupported TGA interleaving";
        return false;
    }
    bool depthFits = false;
    switch (h.kind()) {
    case kMapped:
        depthFits = h.depth == 8 || h.depth == 16;
        break;
    case kTrueColour:
        depthFits = isColourDepth(h.depth);
        break;
    default:
        depthFits = h.depth == 8 || h.depth == 16;
        break;
    }
    if (!depthFits) {
        reason = "unsupported TGA bit depth " + std::to_string(h.depth);
        return false;
    }
    if (h.kind() == kMapped) {
        if (h.mapType != 1 || h.mapLength == 0) {
            reason = "TGA colour-mapped picture without a colour map";
            return false;
        }
        if (!isColourDepth(h.mapEntryBits)) {
            reason = "unsupported TGA colour map entry size " + std::to_string(h.mapEntryBits);
            return false;
        }
    }
    if (h.width == 0 || h.height == 0) {
        reason = "zero width or height";
        return false;
    }
    return true;
}

bool parseHeader(std::span<const std::uint8_t> bytes, TgaHeader& h, std::string& reason) {
    if (!readHeader(bytes, h)) {
        reason = "truncated header";
        return false;
    }
    return validate(h, reason);
}

// One true-colour value of 15, 16, 24 or 32 bits as RGBA. `useAlpha` applies to 16 bits only.
std::array<std::uint8_t, 4> colour(const std::uint8_t* p, unsigned bits, bool useAlpha) {
    if (bits == 24) return {p[2], p[1], p[0], 255};
    if (bits == 32) return {p[2], p[1], p[0], p[3]};
    const unsigned v = p[0] | (unsigned{p[1]} << 8);
    const std::uint8_t alpha = bits == 16 && useAlpha && (v & 0x8000) == 0 ? 0 : 255;
    return {scaleTo8((v >> 10) & 31, 5), scaleTo8((v >> 5) & 31, 5), scaleTo8(v & 31, 5), alpha};
}

class TgaDecoder {
public:
    explicit TgaDecoder(const TgaHeader& h) : h_(h) {}

    // Skips the ID field and reads or skips the colour map; leaves `in` at the pixels.
    bool readMap(ByteReader& in, std::string& reason) {
        std::span<const std::uint8_t> map;
        if (!in.seek(kHeaderSize) || !in.skip(h_.idLength) ||
            (h_.mapType == 1 && !in.take(std::size_t{h_.mapLength} * h_.mapEntryBytes(), map))) {
            reason = "truncated header";
            return false;
        }
        if (h_.kind() != kMapped) return true;
        map_.resize(h_.mapLength);
        const bool alpha = h_.alphaBits() > 0;
        for (std::size_t i = 0; i < h_.mapLength; ++i) {
            map_[i] = colour(map.data() + i * h_.mapEntryBytes(), h_.mapEntryBits, alpha);
        }
        return true;
    }

    // Raw data must be all there; an RLE packet covers at most 128 pixels, which bounds the
    // smallest possible stream. Both checks come before the picture is allocated.
    bool dataCanFill(const ByteReader& in, std::string& reason) const {
        const std::uint64_t pixels = std::uint64_t{h_.width} * h_.height;
        std::uint64_t needed = 0;
        if (h_.rle()) {
            needed = (pixels + 127) / 128 * (1 + h_.pixelBytes());
        } else {
            needed = pixels * h_.pixelBytes();
        }
        if (needed > in.remaining()) {
            reason = "truncated pixel data";
            return false;
        }
        return true;
    }

    bool decode(ByteReader& in, RgbaImage& out, std::string& reason) {
        const std::size_t pixelBytes = h_.pixelBytes();
        const std::uint64_t pixels = std::uint64_t{h_.width} * h_.height;
        std::uint64_t i = 0;
        while (i < pixels) {
            std::uint64_t count = 1;
            bool repeat = false;
            if (h_.rle()) {
                std::uint8_t packet = 0;
                if (!in.u8(packet)) {
                    reason = "truncated pixel data";
                    return false;
                }
                count = (packet & 0x7Fu) + 1;
                repeat = (packet & 0x80) != 0;
                if (i + count > pixels) {
                    reason = "RLE run past the end of the picture";
                    return false;
                }
            }
            std::span<const std::uint8_t> data;
            if (!in.take(repeat ? pixelBytes : count * pixelBytes, data)) {
                reason = "truncated pixel data";
                return false;
            }
            for (std::uint64_t k = 0; k < count; ++k, ++i) {
                const std::uint8_t* p = data.data() + (repeat ? 0 : k * pixelBytes);
                if (!store(p, out, reason)) return false;
            }
        }
        return true;
    }

    bool alphaFromData() const {
        switch (h_.kind()) {
        case kMapped:
            return h_.mapEntryBits == 32 || (h_.mapEntryBits == 16 && h_.alphaBits());
        case kTrueColour:
            return h_.depth == 32 || (h_.depth == 16 && h_.alphaBits());
        default:
            return h_.depth == 16;
        }
    }

private:
    // Pixels arrive in file order; the cursor maps them to the picture's corner order.
    bool store(const std::uint8_t* p, RgbaImage& out, std::string& reason) {
        std::array<std::uint8_t, 4> c{};
        switch (h_.kind()) {
        case kMapped: {
            const unsigned value = h_.depth == 8 ? p[0] : p[0] | (unsigned{p[1]} << 8);
            if (value < h_.mapFirst || value - h_.mapFirst >= map_.size()) {
                reason = "colour index " + std::to_string(value) + " outside the colour map";
                return false;
            }
            c = map_[value - h_.mapFirst];
            break;
        }
        case kTrueColour:
            c = colour(p, h_.depth, h_.alphaBits() > 0);
            break;
        default:
            c = {p[0], p[0], p[0], h_.depth == 16 ? p[1] : std::uint8_t{255}};
            break;
        }
        const std::size_t x = h_.rightToLeft() ? h_.width - 1u - column_ : column_;
        const std::size_t y = h_.topToBottom() ? fileRow_ : h_.height - 1u - fileRow_;
        std::uint8_t* dst = out.rgba.data() + (y * h_.width + x) * 4;
        if (++column_ == h_.width) {
            column_ = 0;
            ++fileRow_;
        }
        dst[0] = c[0];
        dst[1] = c[1];
        dst[2] = c[2];
        dst[3] = c[3];
        return true;
    }

    const TgaHeader& h_;
    std::uint32_t column_ = 0;
    std::uint32_t fileRow_ = 0;
    std::vector<std::array<std::uint8_t, 4>> map_;
};

} // namespace

bool looksLikeTga(std::span<const std::uint8_t> bytes) {
    TgaHeader h;
    std::string reason;
    if (!readHeader(bytes, h) || !validate(h, reason)) return false;
    // A colour map on a picture that does not use one must still look like one.
    if (h.mapType == 1 && (!isColourDepth(h.mapEntryBits) || h.mapLength == 0)) return false;
    return h.alphaBits() <= 8 && bytes.size() > kHeaderSize;
}

bool probeTga(std::span<const std::uint8_t> bytes, std::uint32_t& width, std::uint32_t& height,
              std::string& reason) {
    TgaHeader h;
    if (!parseHeader(bytes, h, reason)) return false;
    width = h.width;
    height = h.height;
    return true;
}

bool decodeTga(std::span<const std::uint8_t> bytes, const DecodeLimits& limits, RgbaImage& out,
               std::string& reason) {
    out = RgbaImage{};
    TgaHeader h;
    if (!parseHeader(bytes, h, reason) || !checkSize(h.width, h.height, limits, reason)) {
        return false;
    }
    TgaDecoder decoder(h);
    ByteReader in(bytes);
    RgbaImage image;
    if (!decoder.readMap(in, reason) || !decoder.dataCanFill(in, reason) ||
        !allocateImage(h.width, h.height, limits, image, reason) ||
        !decoder.decode(in, image, reason)) {
        return false;
    }
    if (decoder.alphaFromData()) opaqueIfAlphaAllZero(image);
    out = std::move(image);
    return true;
}

} // namespace gw::imaging::detail
