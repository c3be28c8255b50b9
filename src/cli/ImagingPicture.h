#pragma once
// The imaging library's picture as the engine's picture source, for the converter and the
// benchmarks that convert as it does. Points are pixels here.

#include "engine/Engine.h"
#include "imaging/Picture.h"

#include <optional>
#include <string>
#include <utility>

namespace gw::cli {

class ImagingPicture final : public PictureSource {
public:
    explicit ImagingPicture(const imaging::Picture& picture) : picture_(picture) {}

    std::optional<PointSize> size() const override {
        const imaging::PictureSize s = picture_.size();
        return PointSize{static_cast<double>(s.width), static_cast<double>(s.height)};
    }

    bool renderCanvas(double gw, double gh, double scale, RgbaCanvas& out,
                      std::string& error) const override {
        imaging::Canvas canvas;
        imaging::PictureError failure;
        if (!picture_.renderCanvas(gw, gh, scale, canvas, &failure)) {
            error = failure.message;
            return false;
        }
        warning_ = std::move(failure.warning);
        out.width = canvas.width;
        out.height = canvas.height;
        out.stride = static_cast<std::size_t>(canvas.width) * 4;
        out.rgba = std::move(canvas.rgba);
        return true;
    }

    // "<name>: damaged data, converted the part that could be read" after drawing a damaged
    // picture as far as it could be read; empty otherwise.
    const std::string& warning() const { return warning_; }

private:
    const imaging::Picture& picture_;
    mutable std::string warning_;
};

} // namespace gw::cli
