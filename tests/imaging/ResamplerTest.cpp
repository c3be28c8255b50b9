// Rows pushed in any order, split across several pushes as interlaced passes bring them, draw
// the same canvas as the same picture pushed top to bottom.
#include "Decoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace gw::imaging::detail {
namespace {

struct Case {
    const char* name;
    double extentX, extentY;
    Orientation orientation;
};

class AnyOrder : public testing::TestWithParam<Case> {};

TEST_P(AnyOrder, DrawsWhatTopToBottomDraws) {
    const Case& c = GetParam();
    constexpr std::uint32_t w = 37, h = 23;
    std::mt19937 random(5);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> picture(std::size_t{w} * h * 4);
    for (auto& v : picture)
        v = static_cast<std::uint8_t>(byte(random));
    const auto draw = [&](Resampler::Order order, const auto& feed) {
        RgbaCanvas canvas;
        const bool turned = swapsAxes(c.orientation);
        canvas.width = static_cast<int>(std::ceil(turned ? c.extentY : c.extentX));
        canvas.height = static_cast<int>(std::ceil(turned ? c.extentX : c.extentY));
        canvas.rgba.assign(static_cast<std::size_t>(canvas.width) * canvas.height * 4, 0);
        const RenderTarget target{turned ? c.extentY : c.extentX, turned ? c.extentX : c.extentY,
                                  &canvas};
        Resampler resampler(target, w, h, c.orientation, Resampler::Layout::Rgba, order);
        feed(resampler);
        resampler.finish();
        return canvas.rgba;
    };
    const auto row = [&](std::uint32_t y) { return picture.data() + std::size_t{y} * w * 4; };
    const auto inOrder = draw(Resampler::Order::TopToBottom, [&](Resampler& r) {
        for (std::uint32_t y = 0; y < h; ++y)
            r.pushRow(row(y));
    });
    // Bottom to top, each row in two pushes: even columns, then odd ones.
    const auto split = draw(Resampler::Order::Any, [&](Resampler& r) {
        std::vector<std::uint8_t> part(std::size_t{w} * 4);
        for (std::uint32_t y = h; y-- > 0;) {
            for (std::uint32_t parity = 0; parity < 2; ++parity) {
                std::fill(part.begin(), part.end(), std::uint8_t{0});
                for (std::uint32_t x = parity; x < w; x += 2)
                    std::copy_n(row(y) + x * 4, 4, part.data() + x * 4);
                r.pushRowAt(y, part.data());
            }
        }
    });
    ASSERT_EQ(split.size(), inOrder.size());
    for (std::size_t i = 0; i < split.size(); ++i) // float sums in another order: one level
        ASSERT_LE(std::abs(split[i] - inOrder[i]), 1) << "byte " << i;
    // A picture of which nothing arrived is transparent.
    const auto none = draw(Resampler::Order::Any, [](Resampler&) {});
    EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](std::uint8_t v) { return v == 0; }));
}

INSTANTIATE_TEST_SUITE_P(Canvases, AnyOrder,
                         testing::Values(Case{"Shrunk", 11, 7.5, 1}, Case{"Enlarged", 80, 51, 1},
                                         Case{"ShrunkAndTurned", 9.5, 6, 6},
                                         Case{"EnlargedAndMirrored", 50, 30, 7}),
                         [](const testing::TestParamInfo<Case>& row) {
                             return std::string(row.param.name);
                         });

} // namespace
} // namespace gw::imaging::detail
