#pragma once
// A bounds-checked cursor over bytes in memory and the size arithmetic shared by the BMP, TGA
// and PSD readers. Every read reports whether the bytes were there; nothing reads past the span.

#include "RasterReaders.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace gw::imaging::detail {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t position() const { return pos_; }
    std::size_t size() const { return bytes_.size(); }
    std::size_t remaining() const { return bytes_.size() - pos_; }
    bool atEnd() const { return pos_ == bytes_.size(); }

    bool seek(std::size_t position) {
        if (position > bytes_.size()) return false;
        pos_ = position;
        return true;
    }
    bool skip(std::uint64_t count) {
        if (count > remaining()) return false;
        pos_ += static_cast<std::size_t>(count);
        return true;
    }

    bool u8(std::uint8_t& value) {
        if (remaining() < 1) return false;
        value = bytes_[pos_++];
        return true;
    }
    bool u16le(std::uint16_t& value) { return le(value); }
    bool u32le(std::uint32_t& value) { return le(value); }
    bool u16be(std::uint16_t& value) { return be(value); }
    bool u32be(std::uint32_t& value) { return be(value); }
    bool i32le(std::int32_t& value) {
        std::uint32_t raw = 0;
        if (!le(raw)) return false;
        value = static_cast<std::int32_t>(raw);
        return true;
    }

    // A view of the next `count` bytes, consumed.
    bool take(std::uint64_t count, std::span<const std::uint8_t>& out) {
        if (count > remaining()) return false;
        out = bytes_.subspan(pos_, static_cast<std::size_t>(count));
        pos_ += static_cast<std::size_t>(count);
        return true;
    }

private:
    template <typename T> bool le(T& value) {
        if (remaining() < sizeof(T)) return false;
        T v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            v |= static_cast<T>(bytes_[pos_ + i]) << (8 * i);
        pos_ += sizeof(T);
        value = v;
        return true;
    }
    template <typename T> bool be(T& value) {
        if (remaining() < sizeof(T)) return false;
        T v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            v = static_cast<T>((v << 8) | bytes_[pos_ + i]);
        pos_ += sizeof(T);
        value = v;
        return true;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// a * b, false on overflow.
inline bool checkedMul(std::uint64_t a, std::uint64_t b, std::uint64_t& result) {
    return !__builtin_mul_overflow(a, b, &result);
}

// a + b, false on overflow.
inline bool checkedAdd(std::uint64_t a, std::uint64_t b, std::uint64_t& result) {
    return !__builtin_add_overflow(a, b, &result);
}

// Checks a picture's size against the limits, before anything is allocated for it. The reason
// names the size so that a user can tell a huge picture from a broken one.
inline bool checkSize(std::uint32_t width, std::uint32_t height, const DecodeLimits& limits,
                      std::string& reason) {
    if (width == 0 || height == 0) {
        reason = "zero width or height";
        return false;
    }
    std::uint64_t pixels = 0;
    std::uint64_t bytes = 0;
    if (!checkedMul(width, height, pixels) || pixels > limits.maxPixels ||
        !checkedMul(pixels, 4, bytes) || bytes > SIZE_MAX) {
        reason = "picture too large (" + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels)";
        return false;
    }
    return true;
}

// checkSize, then the RGBA buffer with all samples zero (not yet resident).
inline bool allocateImage(std::uint32_t width, std::uint32_t height, const DecodeLimits& limits,
                          RgbaImage& out, std::string& reason) {
    if (!checkSize(width, height, limits, reason)) return false;
    const std::uint64_t bytes = std::uint64_t{width} * height * 4;
    out.width = width;
    out.height = height;
    out.rgba = ZeroedBuffer(static_cast<std::size_t>(bytes));
    return true;
}

// Writers often leave an alpha channel they never meant to use at zero; such a picture is
// shown opaque rather than invisible.
inline void opaqueIfAlphaAllZero(RgbaImage& image) {
    for (std::size_t i = 3; i < image.rgba.size(); i += 4) {
        if (image.rgba[i] != 0) return;
    }
    for (std::size_t i = 3; i < image.rgba.size(); i += 4)
        image.rgba[i] = 255;
}

// Reduces an n-bit sample (n in 1..32) to 8 bits with rounding.
inline std::uint8_t scaleTo8(std::uint32_t value, unsigned bits) {
    if (bits == 0) return 0;
    if (bits == 8) return static_cast<std::uint8_t>(value);
    const std::uint64_t max = (std::uint64_t{1} << bits) - 1;
    return static_cast<std::uint8_t>((std::uint64_t{value} * 255 + max / 2) / max);
}

} // namespace gw::imaging::detail
