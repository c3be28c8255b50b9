#include "render/LzwEncoder.h"

#include <algorithm>

namespace gw::render {
namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEnd = 257;
constexpr unsigned kFirstFree = 258;
constexpr unsigned kTableFull = 4094; // a clear code follows the entry that reaches it
constexpr int kMinBits = 9;

// MSB first, into a buffer sized for the worst case.
class BitWriter {
public:
    explicit BitWriter(std::uint8_t* out) : out_(out) {}
    void put(unsigned code, int bits) {
        buffer_ = (buffer_ << bits) | code;
        count_ += bits;
        while (count_ >= 8) {
            count_ -= 8;
            *out_++ = static_cast<std::uint8_t>(buffer_ >> count_);
        }
    }
    // The last byte's unused bits are zero.
    std::uint8_t* finish() {
        if (count_ > 0) *out_++ = static_cast<std::uint8_t>(buffer_ << (8 - count_));
        return out_;
    }

private:
    std::uint8_t* out_;
    std::uint64_t buffer_ = 0;
    int count_ = 0;
};

} // namespace

LzwEncoder::LzwEncoder()
    : zeroChild_(4096, 0), hashTag_(1u << kHashBits, 0), hashCode_(1u << kHashBits, 0) {}

void LzwEncoder::clearTable() {
    if (++generation_ == 4096) {
        std::fill(zeroChild_.begin(), zeroChild_.end(), 0u);
        std::fill(hashTag_.begin(), hashTag_.end(), 0u);
        generation_ = 1;
    }
}

void LzwEncoder::encodeStrip(const std::uint8_t* scanlines, int rows, std::size_t rowBytes,
                             std::vector<std::uint8_t>& out) {
    const std::size_t bytes = static_cast<std::size_t>(rows) * rowBytes;
    // At most one code of 12 bits per byte, plus clear codes and the end.
    out.resize(bytes + bytes / 2 + bytes / 1000 + 16);
    differences_.resize(rowBytes);
    BitWriter writer(out.data());
    clearTable();
    int bits = kMinBits;
    unsigned maxCode = (1u << bits) - 1;
    unsigned freeCode = kFirstFree;
    writer.put(kClear, bits);
    constexpr unsigned kNone = ~0u;
    constexpr std::uint32_t kHashMask = (1u << kHashBits) - 1;
    unsigned prefix = kNone;
    std::uint32_t zeroTag = generation_ << 12;
    std::uint32_t hashTag = generation_ << 20;
    // Raw pointers: the output bytes may alias anything, which would reload vector members.
    std::uint32_t* const zeroChild = zeroChild_.data();
    std::uint32_t* const hashTags = hashTag_.data();
    std::uint16_t* const hashCodes = hashCode_.data();

    for (int row = 0; row < rows; ++row) {
        const std::uint8_t* line = scanlines + static_cast<std::size_t>(row) * rowBytes;
        std::uint8_t* diff = differences_.data();
        std::copy_n(line, std::min<std::size_t>(rowBytes, 3), diff);
        for (std::size_t i = 3; i < rowBytes; ++i)
            diff[i] = static_cast<std::uint8_t>(line[i] - line[i - 3]);
        std::size_t i = 0;
        if (prefix == kNone && rowBytes > 0) prefix = diff[i++];
        while (i < rowBytes) {
            const unsigned byte = diff[i];
            if (byte == 0) {
                // Runs of zeros: one look-up per byte.
                const std::uint32_t child = zeroChild[prefix];
                if ((child & ~0xFFFu) == zeroTag) {
                    prefix = child & 0xFFFu;
                    ++i;
                    continue;
                }
            } else {
                const std::uint32_t key = hashTag | (prefix << 8) | byte;
                std::uint32_t slot = (key * 2654435761u) >> (32 - kHashBits);
                bool found = false;
                for (std::uint32_t tag; ((tag = hashTags[slot]) & ~0xFFFFFu) == hashTag;
                     slot = (slot + 1) & kHashMask) {
                    if (tag == key) {
                        found = true;
                        break;
                    }
                }
                if (found) {
                    prefix = hashCodes[slot];
                    ++i;
                    continue;
                }
                // `slot` is the free place for the new entry.
                hashTags[slot] = key;
                hashCodes[slot] = static_cast<std::uint16_t>(freeCode);
            }
            if (byte == 0) zeroChild[prefix] = zeroTag | freeCode;
            writer.put(prefix, bits);
            prefix = byte;
            ++i;
            if (++freeCode == kTableFull) {
                writer.put(kClear, bits);
                clearTable();
                zeroTag = generation_ << 12;
                hashTag = generation_ << 20;
                freeCode = kFirstFree;
                bits = kMinBits;
                maxCode = (1u << bits) - 1;
            } else if (freeCode > maxCode) {
                ++bits;
                maxCode = (1u << bits) - 1;
            }
        }
    }
    if (prefix != kNone) {
        writer.put(prefix, bits);
        // The decoder adds an entry for this code too, and reads the end code at the width
        // that entry gives.
        if (++freeCode == kTableFull) {
            writer.put(kClear, bits);
            bits = kMinBits;
        } else if (freeCode > maxCode) {
            ++bits;
        }
    }
    writer.put(kEnd, bits);
    out.resize(static_cast<std::size_t>(writer.finish() - out.data()));
}

} // namespace gw::render
