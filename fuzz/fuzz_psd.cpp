// The PSD reader on arbitrary bytes: no crash, no read past a buffer, no hang, and a picture
// that decodes has the size its header promised.
#include "imaging/RasterReaders.h"

#include <cstdint>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace gw::imaging::detail;
    const std::span<const std::uint8_t> bytes(data, size);
    (void)looksLikePsd(bytes);
    std::uint32_t width = 0, height = 0;
    std::string reason;
    const bool probed = probePsd(bytes, width, height, reason);
    RgbaImage image;
    // Small enough that allocating a picture does not dominate the run time.
    const DecodeLimits limits{1024 * 1024};
    if (decodePsd(bytes, limits, image, reason)) {
        if (!probed || image.width != width || image.height != height ||
            image.rgba.size() != std::size_t{width} * height * 4) {
            __builtin_trap();
        }
    } else if (reason.empty() || !image.rgba.empty()) {
        __builtin_trap();
    }
    return 0;
}
