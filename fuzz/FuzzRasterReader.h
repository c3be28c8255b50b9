#pragma once
// Shared body of the BMP, TGA and PSD fuzz targets: no crash, no read past a buffer, no hang,
// every failure says why, and a picture that decodes has the size its header promised.

#include "imaging/RasterReaders.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace gw::imaging::fuzzing {

using Sniff = bool (*)(std::span<const std::uint8_t>);
using ProbeRaster = bool (*)(std::span<const std::uint8_t>, std::uint32_t&, std::uint32_t&,
                             std::string&);
using DecodeRaster = bool (*)(std::span<const std::uint8_t>, const detail::DecodeLimits&,
                              detail::RgbaImage&, std::string&);

inline int runRasterReader(const std::uint8_t* data, std::size_t size, Sniff sniff,
                           ProbeRaster probe, DecodeRaster decode) {
    const std::span<const std::uint8_t> bytes(data, size);
    (void)sniff(bytes);
    std::uint32_t width = 0, height = 0;
    std::string reason;
    const bool probed = probe(bytes, width, height, reason);
    detail::RgbaImage image;
    // Small enough that allocating a picture does not dominate the run time.
    const detail::DecodeLimits limits{1024 * 1024};
    if (decode(bytes, limits, image, reason)) {
        if (!probed || image.width != width || image.height != height ||
            image.rgba.size() != std::size_t{width} * height * 4) {
            __builtin_trap();
        }
    } else if (reason.empty() || !image.rgba.empty()) {
        __builtin_trap();
    }
    return 0;
}

} // namespace gw::imaging::fuzzing
