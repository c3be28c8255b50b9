// The whole pipeline on arbitrary bytes, as a dropped file arrives: format detection, the
// probe of whichever format the bytes claim, drawing, and the thumbnail.
#include "imaging/Picture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace gw::imaging;
    PictureError error;
    const auto picture =
        Picture::fromMemory(std::vector<std::uint8_t>(data, data + size), "fuzz", &error);
    if (!picture) {
        if (error.message.rfind("fuzz: ", 0) != 0) __builtin_trap();
        return 0;
    }
    const PictureSize s = picture->size();
    // Huge but valid pictures decode slowly, not wrongly; see FuzzDecoder.h.
    if (std::uint64_t{s.width} * s.height > (std::uint64_t{1} << 20)) return 0;
    gw::RgbaCanvas canvas;
    if (!picture->renderCanvas(40.5, 20.25, 2.0, canvas, error.message)) {
        if (error.message.rfind("fuzz: ", 0) != 0 || !canvas.rgba.empty()) __builtin_trap();
        return 0;
    }
    if (canvas.width != 81 || canvas.height != 41) __builtin_trap();
    if (!picture->renderThumbnail(24, canvas, error.message)) return 0;
    if (canvas.width > 24 || canvas.height > 24) __builtin_trap();
    return 0;
}
