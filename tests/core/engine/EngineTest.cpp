// Engine steps (grid size, character list, cell arithmetic, matcher, system version) and
// processImage end to end, on fake pictures and screens.

#include "FakePicture.h"
#include "engine/SystemVersion.h"

#include "support/DataTable.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace gw {
namespace {

using testing::LogCapture;

struct FakeScreens : ScreenList {
    explicit FakeScreens(std::vector<double> f) : factors(std::move(f)) {}
    std::vector<double> backingScaleFactors() const override {
        ++asked;
        return factors;
    }
    std::vector<double> factors;
    mutable int asked = 0;
};

// Entry 0 is the space at 1.0, then the given records.
inline CharacterTable makeTable(std::initializer_list<CharacterRecord> records) {
    CharacterTable table{};
    table[0] = CharacterRecord{32, ' ', 1.0f};
    std::copy(records.begin(), records.end(), table.begin() + 1);
    return table;
}

// Pins the version query for one scope, with a fresh cache on entry and exit.
struct VersionScope {
    explicit VersionScope(VersionQuery query) : previous(setVersionQuery(query)) {
        resetVersionCache();
    }
    ~VersionScope() {
        setVersionQuery(previous);
        resetVersionCache();
    }
    VersionQuery previous;
};

// Width, height, maximum width, then W, width2, height2, gw and gh.
GW_TABLE_TEST(GridSizeRows, MatchesTheWorkedExample, "engine/grid-size.tsv") {
    std::vector<double> c;
    for (const std::string& field : GetParam().fields)
        c.push_back(std::stod(field));
    ASSERT_EQ(c.size(), 8u);
    const GridSize g = computeGridSize(c[0], c[1], static_cast<int>(c[2]));
    EXPECT_EQ(
        std::make_tuple(g.width, g.width2, g.height2),
        std::make_tuple(static_cast<int>(c[3]), static_cast<int>(c[4]), static_cast<int>(c[5])));
    EXPECT_EQ(std::make_tuple(g.gw, g.gh),
              std::make_tuple(static_cast<float>(c[6]), static_cast<float>(c[7])));
}

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
    EXPECT_EQ(std::make_pair(kept[222], kept[223]), std::make_pair(int{'y'}, 32));
    EXPECT_EQ(utf8ToUtf16("a\xc3\xa9\xf0\x9f\x98\x80"), u"a\u00e9\U0001F600");
    EXPECT_EQ(utf8ToUtf16("\xff\xc0\xaf\xc3"), u"\ufffd\ufffd\ufffd\ufffd");
}

TEST(CellArithmetic, DigitsAlphaAndBrightness) {
    LogCapture log;
    EXPECT_EQ(std::string({highHexDigit(255), lowHexDigit(255), highHexDigit(0x7a),
                           lowHexDigit(0x7a), highHexDigit(-15)}),
              "ff7a0");
    EXPECT_EQ(std::string({highHexDigit(256), highHexDigit(-16), lowHexDigit(-15)}),
              std::string(3, '\0'));
    EXPECT_EQ(log.lines, std::vector<std::string>({"Shouldn't Be Hit B1", "Shouldn't Be Hit B1",
                                                   "Shouldn't Be Hit B2"}));
    // Worked values are in ProcessImageTest.CorrectsColoursForAlphaAndWritesTheirDigits.
    for (std::uint64_t a = 0; a < 256; ++a) // premultiplied input never reaches 255
        for (std::uint64_t v = 0; v <= a; ++v)
            ASSERT_LE(correctForAlpha(v, a), 254u);
    EXPECT_EQ(cellBrightness(254, 254, 254), 254.0f);
    EXPECT_EQ(cellBrightness(1, 2, 3), static_cast<float>((0.3 + 2 * 0.59) + 3 * 0.11));
}

// The shortcut must answer exactly as the linear search, ties and rounding included.
TEST(CharacterMatcher, AgreesWithTheLinearSearch) {
    std::mt19937 random(20261206);
    const float specials[] = {0.0f,  -0.0f,  1.0f,     0.5f, 0.25f,      1e-9f,     0.99609375f,
                              10.5f, -10.5f, INFINITY, NAN,  0.3333333f, 0.0039062f};
    for (int round = 0; round < 300; ++round) {
        CharacterTable table = makeTable({});
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
    const CharacterTable far = makeTable({{'a', 'a', 20.0f}, {'b', 'b', NAN}});
    const int ab[] = {'a', 'b'};
    EXPECT_EQ(CharacterMatcher(far, ab, 2).match(0.0f), 0); // nothing within 10
}

int queries = 0;

// A kernel release and its version code in hex, 0 when it gives none.
GW_TABLE_TEST(LinuxReleaseRows, GivesOneDigitPerComponent, "engine/linux-release.tsv") {
    const test::DataRow& c = GetParam();
    std::uint32_t code = 0;
    const auto want = static_cast<std::uint32_t>(std::stoul(c[1], nullptr, 16));
    EXPECT_EQ(linuxVersionCode(c[0], code), want != 0);
    EXPECT_EQ(want == 0 ? 0 : code, want);
}

TEST(SystemVersion, TheRunningKernelStaysBelow1070) {
    VersionScope scope(nullptr); // the running kernel
    LogCapture log;
    EXPECT_GT(QVMacOSVersion(), 0);
    EXPECT_LT(QVMacOSVersion(), 1070);
}

// '@' black, '+' mid grey, '.' light; the space is 1.0.
const CharacterTable kTable = makeTable({{'@', '@', 0.0f}, {'+', '+', 0.5f}, {'.', '.', 0.9f}});
constexpr Rgba kBlack = {0, 0, 0, 255};

class ProcessImageTest : public ::testing::Test {
protected:
    ConversionStatus run(const PictureSource* picture, int maxWidth, std::u16string_view set,
                         const CharacterTable& table = kTable,
                         const ScreenList* screens = nullptr) {
        return processImage(
            {picture, maxWidth, set, &table, screens, MatchMode::Darkness, false, {}}, *grid, info);
    }

    VersionScope version{+[](std::uint32_t& code) { return code = 0x610, true; }};
    CellGridPtr grid = makeCellGrid();
    ConversionInfo info;
};

TEST_F(ProcessImageTest, FillsEveryColumnOfAllButTheLastRowAndNothingForEmptyGrids) {
    grid->ascii[0][0] = 99;
    EXPECT_TRUE(run(nullptr, 80, u"abc").ok); // no picture counts as 0 x 0
    EXPECT_EQ(info.width + info.height + grid->width2 + grid->height2, 0);
    EXPECT_EQ(info.numCharacters, 4);
    // An empty grid still reads the picture through, at no size, so that damage shows.
    FakePicture wide(1024, 768, kBlack), flat(10, 3, kBlack); // flat: one row, never filled
    run(&wide, 0, u"@");
    EXPECT_EQ(grid->width2, 0);
    flat.failWith = "flat: damaged";
    const ConversionStatus damaged = run(&flat, 80, u"@");
    EXPECT_EQ(std::make_pair(damaged.ok, damaged.error), std::make_pair(false, flat.failWith));
    EXPECT_EQ(grid->width2 + grid->height2, 0);
    const std::array<double, 3> noSize{0.0, 0.0, 1.0};
    EXPECT_EQ(wide.calls, std::vector{noSize});
    EXPECT_EQ(flat.calls, std::vector{noSize});
    EXPECT_EQ(grid->ascii[0][0], 99);

    FakePicture picture(101, 101, kBlack);
    for (int x = 0; x < 101; ++x)
        grid->ascii[x][49] = 99;
    run(&picture, 200, u"@");
    ASSERT_EQ(picture.calls.size(), 1u);
    EXPECT_EQ(picture.calls[0], (std::array<double, 3>{101.0, 50.5, 1.0}));
    for (int x = 0; x < 101; ++x) {
        for (int y = 0; y <= 48; ++y)
            ASSERT_EQ(grid->ascii[x][y], '@') << x << "," << y;
        ASSERT_EQ(grid->ascii[x][49], 99);
    }
}

TEST_F(ProcessImageTest, CorrectsColoursForAlphaAndWritesTheirDigits) {
    const std::tuple<Rgba, std::array<std::uint64_t, 4>, const char*> cases[] = {
        {{255, 255, 255, 255}, {254, 254, 254, 255}, "fefefe"},
        {kBlack, {0, 0, 0, 255}, "000000"},
        {{128, 64, 0, 255}, {127, 63, 0, 255}, "7f3f00"},
        {{0, 0, 0, 0}, {0, 0, 0, 0}, "000000"},         // transparent reads as black
        {{11, 11, 11, 32}, {84, 84, 84, 32}, "545454"}, // the double quotient lies below 85
    };
    for (const auto& [rgba, data, hex] : cases) {
        FakePicture picture(8, 8, rgba);
        run(&picture, 80, u"");
        EXPECT_EQ(std::to_array(grid->data[3][2]), data) << hex;
        EXPECT_EQ(std::string(grid->hexColor[3][2], 6), hex);
    }
    // Colour above alpha (not premultiplied): 255 * 255 has no high digit.
    LogCapture log;
    FakePicture bad(4, 4, Rgba{255, 0, 0, 0});
    run(&bad, 80, u"@");
    EXPECT_EQ(grid->data[0][0][0], 65025u);
    EXPECT_EQ(std::string(grid->hexColor[0][0], 6), std::string(1, '\0') + "10000");
    EXPECT_EQ(log.lines, std::vector<std::string>(4, "Shouldn't Be Hit B1")); // 4 columns x 1 row
}

TEST_F(ProcessImageTest, PicksTheNearestAndTheEarlierOfEqualOnes) {
    // Columns: black, mid grey (127 / 256), white (254 / 256).
    FakePicture picture(3, 6, [](int x, int) -> Rgba {
        const std::uint8_t v = x == 0 ? 0 : x == 1 ? 128 : 255;
        return {v, v, v, 255};
    });
    const CharacterTable twins =
        makeTable({{'a', 'a', 0.25f}, {'b', 'b', 0.25f}, {'w', 'w', 1.0f}});
    const std::tuple<std::u16string_view, const CharacterTable*, std::string> cases[] = {
        {u"@+.", &kTable, "@+ "}, // the space is strictly nearer to white than '.'
        {u"ab", &twins, "aa "},   {u"ba", &twins, "bb "},
        {u"w", &twins, "www"}, // as light as the space, and the space comes last
        {u"", &kTable, "   "},
    };
    for (const auto& [set, table, want] : cases) {
        run(&picture, 80, set, *table);
        EXPECT_EQ(
            std::string({static_cast<char>(grid->ascii[0][0]), static_cast<char>(grid->ascii[1][0]),
                         static_cast<char>(grid->ascii[2][0])}),
            want);
    }
}

TEST_F(ProcessImageTest, CodesTheTableLacksTakeNoPartAndAreLoggedOncePerConversion) {
    LogCapture log;
    FakePicture picture(4, 6, kBlack);
    // Lead byte 0xC3 and a tab are looked up and missed; both halves of U+1F600 are left out.
    run(&picture, 80, u"\u00e9\t\U0001F600+");
    EXPECT_EQ(std::vector<int>(info.charactersInSet.begin(),
                               info.charactersInSet.begin() + info.numCharacters),
              std::vector<int>({-61, 9, '+', 32}));
    EXPECT_EQ(grid->ascii[0][0], '+');
    EXPECT_EQ(log.lines, std::vector<std::string>(
                             {"Mac OS Version 610", "Shouldn't Be Hit A", "Shouldn't Be Hit A"}));
}

TEST_F(ProcessImageTest, ScreensAreAskedOnlyFromVersion1070AndAFailedQueryIsLoggedOnce) {
    FakeScreens screens({1.0, 2.0, 1.5}), none({});
    FakePicture picture(20, 20, [](int x, int y) -> Rgba {
        return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0, 254};
    });
    run(&picture, 80, u"@", kTable, &screens);
    EXPECT_EQ(std::make_pair(screens.asked, picture.calls.back()[2]), std::make_pair(0, 1.0));

    queries = 0;
    VersionScope modern(+[](std::uint32_t& code) {
        ++queries;
        code = 0x1070; // hexadecimal digits read as a decimal number
        return true;
    });
    LogCapture modernLog;
    run(&picture, 80, u"@", kTable, &screens);
    EXPECT_EQ(picture.calls.back()[2], 2.0);
    EXPECT_EQ(std::make_pair(QVMacOSVersion(), queries), std::make_pair(1070, 1));
    EXPECT_EQ(modernLog.lines, std::vector<std::string>({"Mac OS Version 1070"}));
    // cell (3, 4) reads pixel (6, 8)
    EXPECT_EQ(std::make_pair(grid->data[3][4][0], grid->data[3][4][1]), std::make_pair(6ul, 8ul));
    run(&picture, 80, u"@", kTable, &none);
    EXPECT_EQ(info.scale, 1.0f);

    queries = 0;
    VersionScope failing(+[](std::uint32_t&) { return ++queries, false; });
    LogCapture log;
    run(&picture, 80, u"@", kTable, &screens);
    run(&picture, 80, u"@", kTable, &screens);
    EXPECT_EQ(std::make_pair(QVMacOSVersion(), queries), std::make_pair(0, 1));
    EXPECT_EQ(log.lines, std::vector<std::string>({"Error getting QVMacOSVersion()"}));
    EXPECT_EQ(std::make_pair(info.scale, screens.asked), std::make_pair(1.0f, 1));
}

TEST_F(ProcessImageTest, ShortCanvasesReadAsTransparentBeyondTheirEdge) {
    struct Short : FakePicture {
        Short() : FakePicture(10, 10, Rgba{255, 255, 255, 255}) {}
        bool renderCanvas(double, double, double, RgbaCanvas& out, std::string&) const override {
            out = {2, 1, std::vector<std::uint8_t>(8, 255)};
            return true;
        }
    } shortCanvas;
    run(&shortCanvas, 80, u"@");
    EXPECT_EQ(std::make_tuple(grid->data[1][0][3], grid->data[2][0][3], grid->data[0][3][3]),
              std::make_tuple(255ul, 0ul, 0ul));
}

} // namespace
} // namespace gw
