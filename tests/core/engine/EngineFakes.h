#pragma once
// Fakes for the engine's inputs: a picture that hands out a prepared canvas, screens, a table
// built in memory, and a log collector.

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

struct RenderCall {
    double gw;
    double gh;
    double scale;
};

// A picture of a given size whose canvas is painted by `paint(px, py)` -> RGBA.
class FakePicture : public PictureSource {
public:
    using Painter = std::function<std::array<std::uint8_t, 4>(int px, int py)>;

    FakePicture(double w, double h, Painter paint) : w_(w), h_(h), paint_(std::move(paint)) {}

    std::optional<PointSize> size() const override { return PointSize{w_, h_}; }

    bool renderCanvas(double gw, double gh, double scale, RgbaCanvas& out,
                      std::string& error) const override {
        calls.push_back({gw, gh, scale});
        if (!failWith.empty()) {
            error = failWith;
            return false;
        }
        out.width = static_cast<int>(std::ceil(gw * scale));
        out.height = static_cast<int>(std::ceil(gh * scale));
        out.stride = static_cast<std::size_t>(out.width) * 4;
        out.rgba.assign(out.stride * static_cast<std::size_t>(out.height), 0);
        for (int y = 0; y < out.height; ++y) {
            for (int x = 0; x < out.width; ++x) {
                const auto p = paint_(x, y);
                std::copy(p.begin(), p.end(), &out.rgba[y * out.stride + x * 4]);
            }
        }
        return true;
    }

    mutable std::vector<RenderCall> calls;
    std::string failWith;

private:
    double w_;
    double h_;
    Painter paint_;
};

inline FakePicture::Painter solid(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    return [=](int, int) { return std::array<std::uint8_t, 4>{r, g, b, a}; };
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

// A table whose entry 0 is the space at 1.0, then the given records; the rest stay zero.
inline CharacterTable makeTable(std::initializer_list<CharacterRecord> records) {
    CharacterTable table{};
    table[0] = CharacterRecord{32, ' ', 1.0f};
    std::size_t i = 1;
    for (const CharacterRecord& r : records)
        table[i++] = r;
    return table;
}

// Collects system log lines for the life of the object.
class LogCapture {
public:
    LogCapture() {
        previous_ = setLogSink([this](std::string_view m) { lines.emplace_back(m); });
    }
    ~LogCapture() { setLogSink(std::move(previous_)); }
    int count(std::string_view text) const {
        int n = 0;
        for (const auto& l : lines)
            n += l == text ? 1 : 0;
        return n;
    }
    std::vector<std::string> lines;

private:
    LogSink previous_;
};

// Pins the version query for one test, and forgets the cache before and after.
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
