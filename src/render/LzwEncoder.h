#pragma once
// TIFF's LZW with horizontal differencing (predictor 2) for 8-bit RGB strips, as libtiff
// decodes them: MSB-first codes from 9 to 12 bits that widen one code early, a clear code at
// the start and whenever the table fills, an end code at the end.
//
// Written for text pictures, which after differencing are mostly runs of zeros: the zero
// continuation of every code has a table of its own, so a run costs one array look-up per byte.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gw::render {

class LzwEncoder {
public:
    LzwEncoder();
    // Differences and compresses `rows` scanlines of `rowBytes` bytes (RGB, 3 bytes a pixel)
    // into `out`, replacing its contents: one strip.
    void encodeStrip(const std::uint8_t* scanlines, int rows, std::size_t rowBytes,
                     std::vector<std::uint8_t>& out);

private:
    static constexpr int kHashBits = 13;
    // Entries are tagged with the table's generation, so that a clear code costs no clearing;
    // the tables are wiped only when the 12-bit generation wraps.
    void clearTable();
    std::uint32_t generation_ = 0;
    std::vector<std::uint32_t> zeroChild_; // generation << 12 | code of (code, 0)
    std::vector<std::uint32_t> hashTag_;   // generation << 20 | code << 8 | byte
    std::vector<std::uint16_t> hashCode_;
    std::vector<std::uint8_t> differences_; // one scanline after differencing
};

} // namespace gw::render
