#pragma once
// Shared body of the per-decoder fuzz targets.

#include "imaging/Decoding.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gw::imaging::fuzzing {

using Probe = bool (*)(detail::ByteSource&, detail::HeaderInfo&, std::string&);
using Decode = bool (*)(detail::ByteSource&, const detail::HeaderInfo&, const detail::RenderTarget&,
                        std::string&);

// Pictures beyond this many pixels are probed but not drawn: a few kilobytes of deflate or
// LZW can describe billions of pixels, which is slow without being wrong, and would hide the
// findings that matter behind timeouts.
inline constexpr std::uint64_t kFuzzMaxPixels = std::uint64_t{1} << 20;

inline int runDecoder(const std::uint8_t* data, std::size_t size, Probe probe, Decode decode) {
    auto bytes = std::make_shared<const std::vector<std::uint8_t>>(data, data + size);
    std::string reason;
    detail::HeaderInfo header;
    {
        auto source = detail::ByteSource::fromMemory(bytes);
        if (!probe(*source, header, reason)) {
            if (reason.empty()) __builtin_trap(); // every failure must say why
            return 0;
        }
    }
    if (header.width == 0 || header.height == 0 ||
        std::uint64_t{header.width} * header.height > kFuzzMaxPixels) {
        return 0;
    }
    for (const auto [w, h] : {std::pair{33.0, 16.5}, std::pair{300.0, 7.0}}) {
        RgbaCanvas canvas;
        canvas.width = static_cast<int>(w + 0.999);
        canvas.height = static_cast<int>(h + 0.999);
        canvas.rgba.assign(static_cast<std::size_t>(canvas.width) * canvas.height * 4, 0);
        auto source = detail::ByteSource::fromMemory(bytes);
        reason.clear();
        const detail::RenderTarget target{w, h, &canvas};
        if (!decode(*source, header, target, reason) && reason.empty()) __builtin_trap();
        for (std::size_t i = 0; i < canvas.rgba.size(); i += 4) {
            // Premultiplied: no colour sample may exceed its alpha.
            const std::uint8_t a = canvas.rgba[i + 3];
            if (canvas.rgba[i] > a || canvas.rgba[i + 1] > a || canvas.rgba[i + 2] > a)
                __builtin_trap();
        }
    }
    return 0;
}

} // namespace gw::imaging::fuzzing
