#include "EngineFakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "palette/InitialSet.h"

namespace gw {
namespace {

using test::LogCapture;
using test::makeTable;

std::vector<int> listOf(std::u16string_view set) {
    std::array<int, kCharacterListCapacity> list{};
    const int n = buildCharacterList(set, list);
    return {list.begin(), list.begin() + n};
}

TEST(CharacterList, KeepsOrderAndRepeatsAndAppendsTheSpace) {
    EXPECT_EQ(listOf(u""), std::vector<int>({32}));
    EXPECT_EQ(listOf(u"b a b"), std::vector<int>({'b', ' ', 'a', ' ', 'b', 32}));
}

TEST(CharacterList, SkipsLineFeedsOnly) {
    EXPECT_EQ(listOf(u"a\nb\r\t"), std::vector<int>({'a', 'b', '\r', '\t', 32}));
}

TEST(CharacterList, NonAsciiGivesTheNegativeLeadByte) {
    // U+00E9 is C3 A9 in UTF-8, U+20AC is E2 82 AC; each surrogate half stands alone.
    EXPECT_EQ(listOf(u"\u00e9\u20ac"), std::vector<int>({-61, -30, 32}));
    const std::vector<int> emoji = listOf(u"\U0001F600");
    ASSERT_EQ(emoji.size(), 3u);
    EXPECT_LT(emoji[0], 0);
    EXPECT_LT(emoji[1], 0);
}

TEST(CharacterList, LongSetKeepsTheFirst223AndTheSpaceLast) {
    std::u16string set(300, u'x');
    set[222] = u'y';
    set[223] = u'z';
    const std::vector<int> list = listOf(set);
    ASSERT_EQ(list.size(), 224u);
    EXPECT_EQ(list[222], 'y');
    EXPECT_EQ(list[223], 32);
    // Line feeds do not count against the capacity.
    const std::vector<int> withBreaks = listOf(std::u16string(223, u'x') + u"\n");
    EXPECT_EQ(withBreaks.size(), 224u);
}

TEST(Utf8ToUtf16, DecodesAndReplacesInvalidBytes) {
    EXPECT_EQ(utf8ToUtf16("a\xc3\xa9\xe2\x82\xac"), u"a\u00e9\u20ac");
    EXPECT_EQ(utf8ToUtf16("\xf0\x9f\x98\x80"), u"\U0001F600");
    EXPECT_EQ(utf8ToUtf16("\xff"
                          "a\xc3"),
              u"\ufffda\ufffd");
    EXPECT_EQ(utf8ToUtf16("\xc0\xaf"), u"\ufffd\ufffd");           // overlong form
    EXPECT_EQ(utf8ToUtf16("\xed\xa0\x80"), u"\ufffd\ufffd\ufffd"); // encoded surrogate
}

TEST(HexDigits, CoverMinus15To255AndLogOutside) {
    LogCapture log;
    EXPECT_EQ(highHexDigit(0), '0');
    EXPECT_EQ(highHexDigit(255), 'f');
    EXPECT_EQ(lowHexDigit(255), 'f');
    EXPECT_EQ(highHexDigit(0x7f), '7');
    EXPECT_EQ(lowHexDigit(0x3a), 'a');
    EXPECT_EQ(highHexDigit(-15), '0'); // quotient truncates to 0
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(highHexDigit(256), '\0');
    EXPECT_EQ(highHexDigit(-16), '\0');
    EXPECT_EQ(log.count("Shouldn't Be Hit B1"), 2);
    EXPECT_EQ(lowHexDigit(-15), '\0');
    EXPECT_EQ(lowHexDigit(-16), '0'); // the remainder is 0
    EXPECT_EQ(log.count("Shouldn't Be Hit B2"), 1);
}

TEST(AlphaCorrection, FollowsDoubleArithmetic) {
    EXPECT_EQ(correctForAlpha(255, 255), 254u);
    EXPECT_EQ(correctForAlpha(128, 255), 127u);
    EXPECT_EQ(correctForAlpha(11, 32), 84u);
    EXPECT_EQ(correctForAlpha(0, 0), 0u);
    // Premultiplied input never reaches 255.
    for (std::uint64_t a = 0; a < 256; ++a) {
        for (std::uint64_t v = 0; v <= a; ++v)
            ASSERT_LE(correctForAlpha(v, a), 254u);
    }
}

TEST(Brightness, WeighsRedGreenBlue) {
    EXPECT_EQ(cellBrightness(254, 254, 254), 254.0f);
    EXPECT_EQ(cellBrightness(0, 0, 0), 0.0f);
    EXPECT_EQ(cellBrightness(100, 0, 0), static_cast<float>(100 * 0.3));
    EXPECT_EQ(cellBrightness(1, 2, 3), static_cast<float>((0.3 + 2 * 0.59) + 3 * 0.11));
}

// The shortcut must answer exactly as the linear search, ties and rounding included.
TEST(CharacterMatcher, AgreesWithTheLinearSearch) {
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> pick(0, 9);
    const float specials[] = {0.0f,  -0.0f,  1.0f,     0.5f, 0.25f,      1e-9f,     0.99609375f,
                              10.5f, -10.5f, INFINITY, NAN,  0.3333333f, 0.0039062f};
    for (int round = 0; round < 300; ++round) {
        CharacterTable table{};
        table[0] = CharacterRecord{32, ' ', 1.0f};
        std::vector<int> list;
        const int entries = 1 + round % 40;
        for (int i = 1; i <= entries; ++i) {
            float black;
            switch (pick(random)) {
            case 0:
            case 1:
                black = specials[random() % std::size(specials)];
                break;
            case 2: // collide with an earlier entry
                black = table[1 + random() % i].black;
                break;
            default:
                black = std::uniform_real_distribution<float>(-0.2f, 1.2f)(random);
            }
            table[static_cast<std::size_t>(i)] = CharacterRecord{33 + i, 'x', black};
            list.push_back(33 + i);
        }
        std::shuffle(list.begin(), list.end(), random);
        list.push_back(32);
        const CharacterMatcher matcher(table, list.data(), static_cast<int>(list.size()));
        for (int k = 0; k < 400; ++k) {
            float l;
            if (k < 256) {
                l = static_cast<float>(k);
            } else {
                l = std::uniform_real_distribution<float>(-10.0f, 300.0f)(random);
            }
            ASSERT_EQ(matcher.match(l), matcher.matchLinear(l)) << "round " << round << " L " << l;
        }
        for (std::uint64_t r = 0; r < 255; r += 7) {
            for (std::uint64_t g = 0; g < 255; g += 11) {
                const float l = cellBrightness(r, g, (r * g) % 255);
                ASSERT_EQ(matcher.match(l), matcher.matchLinear(l));
            }
        }
    }
}

TEST(CharacterMatcher, NoUsableEntryGivesCodeZero) {
    const CharacterTable table = makeTable({{'a', 'a', 20.0f}, {'b', 'b', NAN}});
    const int list[] = {'a', 'b'};
    const CharacterMatcher matcher(table, list, 2);
    EXPECT_EQ(matcher.match(0.0f), 0);
    EXPECT_EQ(matcher.matchLinear(0.0f), 0);
    const CharacterMatcher empty(table, list, 0);
    EXPECT_EQ(empty.match(128.0f), 0);
}

TEST(RealTable, HoldsEveryInitialCharacterAndMapsBlackAndWhite) {
    CharacterTable table{};
    const TableLoadResult loaded =
        loadCharacterTableFile(std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Table.txt", table);
    ASSERT_TRUE(loaded.ok) << loaded.error;
    LogCapture log;
    const std::u16string set = utf8ToUtf16(kInitialCharacterSet);
    std::array<int, kCharacterListCapacity> list{};
    const int n = buildCharacterList(set, list);
    for (int k = 0; k < n; ++k)
        EXPECT_GE(getChar(table, static_cast<char>(list[k])), 0);
    EXPECT_TRUE(log.lines.empty());
    const CharacterMatcher matcher(table, list.data(), n);
    EXPECT_EQ(matcher.match(254.0f), ' ');
    EXPECT_NE(matcher.match(0.0f), ' ');
}

} // namespace
} // namespace gw
