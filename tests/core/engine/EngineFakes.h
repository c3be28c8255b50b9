#pragma once
// Fakes for the engine's inputs, and a log collector.

#include "common/Log.h"
#include "engine/Engine.h"
#include "engine/SystemVersion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace gw::test {

using Rgba = std::array<std::uint8_t, 4>;

// A picture of w x h points whose canvas pixel (px, py) is paint(px, py).
class FakePicture : public PictureSource {
public:
    FakePicture(double w, double h, std::function<Rgba(int, int)> paint)
        : w_(w), h_(h), paint_(std::move(paint)) {}
    std::optional<PointSize> size() const override { return PointSize{w_, h_}; }
    bool renderCanvas(double gw, double gh, double scale, RgbaCanvas& out,
                      std::string& error) const override {
        calls.push_back({gw, gh, scale});
        error = failWith;
        out.width = static_cast<int>(std::ceil(gw * scale));
        out.height = static_cast<int>(std::ceil(gh * scale));
        for (int y = 0; y < out.height; ++y) {
            for (int x = 0; x < out.width; ++x) {
                const Rgba p = paint_(x, y);
                out.rgba.insert(out.rgba.end(), p.begin(), p.end());
            }
        }
        return failWith.empty();
    }
    mutable std::vector<std::array<double, 3>> calls; // gw, gh, scale
    std::string failWith;

private:
    double w_, h_;
    std::function<Rgba(int, int)> paint_;
};

inline std::function<Rgba(int, int)> solid(Rgba color) {
    return [=](int, int) { return color; };
}

class FakeScreens : public ScreenList {
public:
    explicit FakeScreens(std::vector<double> factors) : factors_(std::move(factors)) {}
    std::vector<double> backingScaleFactors() const override {
        ++asked;
        return factors_;
    }
    mutable int asked = 0;

private:
    std::vector<double> factors_;
};

// Entry 0 is the space at 1.0, then the given records.
inline CharacterTable makeTable(std::initializer_list<CharacterRecord> records) {
    CharacterTable table{};
    table[0] = CharacterRecord{32, ' ', 1.0f};
    std::size_t i = 1;
    for (const CharacterRecord& r : records)
        table[i++] = r;
    return table;
}

class LogCapture {
public:
    LogCapture() {
        previous_ = setLogSink([this](std::string_view m) { lines.emplace_back(m); });
    }
    ~LogCapture() { setLogSink(std::move(previous_)); }
    int count(std::string_view text) const {
        return static_cast<int>(std::count(lines.begin(), lines.end(), text));
    }
    std::vector<std::string> lines;

private:
    LogSink previous_;
};

// Pins the version query for one scope, with a fresh cache on entry and exit.
class VersionScope {
public:
    explicit VersionScope(VersionQuery query) {
        resetVersionCache();
        previous_ = setVersionQuery(query);
    }
    ~VersionScope() {
        setVersionQuery(previous_);
        resetVersionCache();
    }

private:
    VersionQuery previous_;
};

inline bool linuxLikeVersion(std::uint32_t& code) {
    code = 0x610;
    return true;
}

} // namespace gw::test
