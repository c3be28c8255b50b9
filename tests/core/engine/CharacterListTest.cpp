#include "EngineFakes.h"
#include "palette/InitialSet.h"

#include <gtest/gtest.h>

#include <random>

namespace gw {
namespace {

std::vector<int> listOf(std::u16string_view set) {
    std::array<int, kCharacterListCapacity> list{};
    const int n = buildCharacterList(set, list);
    return {list.begin(), list.begin() + n};
}

TEST(CharacterList, KeepsOrderSkipsLineFeedsAndEndsWithTheSpace) {
    EXPECT_EQ(listOf(u""), std::vector<int>({32}));
    EXPECT_EQ(listOf(u"b a\nb\t"), std::vector<int>({'b', ' ', 'a', 'b', '\t', 32}));
    EXPECT_EQ(listOf(u"\u00e9\u20ac"), std::vector<int>({-61, -30, 32})); // UTF-8 lead bytes
    std::u16string longSet(300, u'x');
    longSet[222] = u'y';
    const std::vector<int> kept = listOf(longSet);
    ASSERT_EQ(kept.size(), 224u);
    EXPECT_EQ(kept[222], 'y');
    EXPECT_EQ(kept[223], 32);
    EXPECT_EQ(utf8ToUtf16("a\xc3\xa9\xf0\x9f\x98\x80"), u"a\u00e9\U0001F600");
    EXPECT_EQ(utf8ToUtf16("\xff\xc0\xaf\xc3"), u"\ufffd\ufffd\ufffd\ufffd");
}

TEST(CellArithmetic, DigitsAlphaAndBrightness) {
    test::LogCapture log;
    EXPECT_EQ(std::string({highHexDigit(255), lowHexDigit(255), highHexDigit(0x7a),
                           lowHexDigit(0x7a), highHexDigit(-15)}),
              "ff7a0");
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(highHexDigit(256), '\0');
    EXPECT_EQ(highHexDigit(-16), '\0');
    EXPECT_EQ(lowHexDigit(-15), '\0');
    EXPECT_EQ(log.lines, std::vector<std::string>({"Shouldn't Be Hit B1", "Shouldn't Be Hit B1",
                                                   "Shouldn't Be Hit B2"}));
    EXPECT_EQ(correctForAlpha(255, 255), 254u);
    EXPECT_EQ(correctForAlpha(128, 255), 127u);
    EXPECT_EQ(correctForAlpha(11, 32), 84u);
    for (std::uint64_t a = 0; a < 256; ++a) { // premultiplied input never reaches 255
        for (std::uint64_t v = 0; v <= a; ++v)
            ASSERT_LE(correctForAlpha(v, a), 254u);
    }
    EXPECT_EQ(cellBrightness(254, 254, 254), 254.0f);
    EXPECT_EQ(cellBrightness(1, 2, 3), static_cast<float>((0.3 + 2 * 0.59) + 3 * 0.11));
}

// The shortcut must answer exactly as the linear search, ties and rounding included.
TEST(CharacterMatcher, AgreesWithTheLinearSearch) {
    std::mt19937 random(20261206);
    const float specials[] = {0.0f,  -0.0f,  1.0f,     0.5f, 0.25f,      1e-9f,     0.99609375f,
                              10.5f, -10.5f, INFINITY, NAN,  0.3333333f, 0.0039062f};
    for (int round = 0; round < 300; ++round) {
        CharacterTable table = test::makeTable({});
        std::vector<int> list;
        for (int i = 1; i <= 1 + round % 40; ++i) {
            const unsigned kind = random() % 10;
            float black = std::uniform_real_distribution<float>(-0.2f, 1.2f)(random);
            if (kind < 2) black = specials[random() % std::size(specials)];
            if (kind == 2) black = table[1 + random() % i].black; // repeat an earlier value
            table[static_cast<std::size_t>(i)] = CharacterRecord{33 + i, 'x', black};
            list.push_back(33 + i);
        }
        std::shuffle(list.begin(), list.end(), random);
        list.push_back(32);
        const CharacterMatcher matcher(table, list.data(), static_cast<int>(list.size()));
        for (int k = 0; k < 400; ++k) {
            const float l = k < 256 ? static_cast<float>(k)
                                    : std::uniform_real_distribution<float>(-10, 300)(random);
            ASSERT_EQ(matcher.match(l), matcher.matchLinear(l)) << "round " << round << " L " << l;
        }
    }
    const CharacterTable far = test::makeTable({{'a', 'a', 20.0f}, {'b', 'b', NAN}});
    const int ab[] = {'a', 'b'};
    EXPECT_EQ(CharacterMatcher(far, ab, 2).match(0.0f), 0); // nothing within 10
}

TEST(CharacterMatcher, TheRealTableHoldsTheInitialSet) {
    CharacterTable table{};
    const TableLoadResult loaded =
        loadCharacterTableFile(std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Table.txt", table);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    test::LogCapture log;
    std::array<int, kCharacterListCapacity> list{};
    const int n = buildCharacterList(utf8ToUtf16(kInitialCharacterSet), list);
    const CharacterMatcher matcher(table, list.data(), n);
    EXPECT_TRUE(log.lines.empty()); // every character found
    EXPECT_EQ(matcher.match(254.0f), ' ');
    EXPECT_NE(matcher.match(0.0f), ' ');
}

} // namespace
} // namespace gw
