#pragma once
// A picture of w x h points whose canvas pixel (px, py) is paint(px, py); it records each
// canvas asked of it and fails with `failWith` when that is set.

#include "engine/Engine.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gw {

using Rgba = std::array<std::uint8_t, 4>;

struct FakePicture : PictureSource {
    FakePicture(double width, double height, std::function<Rgba(int, int)> painter)
        : w(width), h(height), paint(std::move(painter)) {}
    FakePicture(double width, double height, Rgba color)
        : FakePicture(width, height, [=](int, int) { return color; }) {}
    PointSize pointSize() const override { return PointSize{w, h}; }
    bool renderCanvas(double cw, double ch, double scale, RgbaCanvas& out,
                      std::string& error) const override {
        calls.push_back({cw, ch, scale});
        error = failWith;
        out.width = static_cast<int>(std::ceil(cw * scale));
        out.height = static_cast<int>(std::ceil(ch * scale));
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x)
                for (const std::uint8_t c : paint(x, y))
                    out.rgba.push_back(c);
        return failWith.empty();
    }
    double w, h;
    std::function<Rgba(int, int)> paint;
    mutable std::vector<std::array<double, 3>> calls; // gw, gh, scale
    std::string failWith;
};

} // namespace gw
