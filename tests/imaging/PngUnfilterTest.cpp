// The fast PNG unfilters against the plain reference, on random rows of every filter type and of
// lengths around the vector widths.
#include "PngUnfilter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace gw::imaging::detail::png {
namespace {

constexpr std::size_t kSlack = 4; // unfiltered rows carry it

struct Rows {
    std::vector<std::uint8_t> prior, in, in2;
};

Rows randomRows(std::size_t size, std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    Rows r;
    r.prior.resize(size + kSlack);
    r.in.resize(size);
    r.in2.resize(size);
    for (auto* v : {&r.prior, &r.in, &r.in2})
        for (auto& b : *v)
            b = static_cast<std::uint8_t>(byte(random));
    return r;
}

class Unfilter : public testing::TestWithParam<std::size_t> {};

TEST_P(Unfilter, EveryFilterMatchesTheReference) {
    const std::size_t bpp = GetParam();
    std::mt19937 random(static_cast<std::uint32_t>(bpp));
    for (const std::size_t pixels : {1u, 2u, 3u, 5u, 16u, 17u, 64u, 101u}) {
        const std::size_t size = pixels * bpp;
        for (std::uint8_t type = 0; type <= 4; ++type) {
            const Rows r = randomRows(size, random);
            std::vector<std::uint8_t> fast(size + kSlack), reference(size + kSlack);
            ASSERT_TRUE(unfilterRow(type, r.in.data(), fast.data(), r.prior.data(), size, bpp));
            ASSERT_TRUE(
                unfilterReference(type, r.in.data(), reference.data(), r.prior.data(), size, bpp));
            fast.resize(size);
            reference.resize(size);
            EXPECT_EQ(fast, reference) << "filter " << int{type} << ", " << pixels << " pixels";
        }
    }
}

// Only photographs' pixel sizes have a paired Paeth unfilter, and only where the build has SSE2.
class PaethPair : public testing::TestWithParam<std::size_t> {};

TEST_P(PaethPair, MatchesTwoReferenceRows) {
    const std::size_t bpp = GetParam();
    if (!hasPaethPair(bpp)) GTEST_SKIP() << "this build has no paired Paeth unfilter";
    std::mt19937 random(static_cast<std::uint32_t>(bpp) + 100);
    for (const std::size_t pixels : {1u, 2u, 7u, 64u, 99u}) {
        const std::size_t size = pixels * bpp;
        const Rows r = randomRows(size, random);
        std::vector<std::uint8_t> upper(size + kSlack), lower = r.prior;
        unfilterPaethPair(r.in.data(), r.in2.data(), upper.data(), lower.data(), size, bpp);
        std::vector<std::uint8_t> upperRef(size + kSlack), lowerRef(size + kSlack);
        unfilterReference(4, r.in.data(), upperRef.data(), r.prior.data(), size, bpp);
        unfilterReference(4, r.in2.data(), lowerRef.data(), upperRef.data(), size, bpp);
        for (auto* v : {&upper, &lower, &upperRef, &lowerRef})
            v->resize(size);
        EXPECT_EQ(upper, upperRef) << pixels << " pixels";
        EXPECT_EQ(lower, lowerRef) << pixels << " pixels";
    }
}

TEST(UnfilterReference, KnownPaethRow) {
    // Predictors by hand: first pixel from above (b), then the nearest of a, b, c with ties in
    // that order.
    const std::uint8_t prior[] = {10, 20, 0, 0};
    const std::uint8_t in[] = {1, 2};
    std::uint8_t out[2 + kSlack] = {};
    ASSERT_TRUE(unfilterReference(4, in, out, prior, 2, 1));
    EXPECT_EQ(out[0], 11); // 1 + b = 10
    EXPECT_EQ(out[1], 22); // a = 11, b = 20, c = 10: p = 21, nearest is b
}

TEST(UnfilterReference, RefusesUnknownFilterTypes) {
    const std::uint8_t prior[8] = {}, in[4] = {};
    std::uint8_t out[8] = {};
    EXPECT_FALSE(unfilterReference(5, in, out, prior, 4, 4));
    EXPECT_FALSE(unfilterRow(255, in, out, prior, 4, 4));
}

std::string bytesName(const testing::TestParamInfo<std::size_t>& row) {
    return std::to_string(row.param) + "Bytes";
}

INSTANTIATE_TEST_SUITE_P(BytesPerPixel, Unfilter, testing::Values(1, 2, 3, 4, 6, 8), bytesName);
INSTANTIATE_TEST_SUITE_P(BytesPerPixel, PaethPair, testing::Values(3, 4), bytesName);

} // namespace
} // namespace gw::imaging::detail::png
