// The resolver under the machine's own fonts (whatever they are: only properties are checked)
// and under configurations of the test's own whose monospace fonts carry no spacing property.
#include "render/FontResolver.h"

#include "TestFonts.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>
#include <vector>

namespace gw::render {
namespace {

using testing::FontFile;

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

TEST(FontResolverTest, EveryNameGetsAMeasuredMonospaceFontAndEachSubstitutionIsLoggedOnce) {
    const std::optional<FontFile> mono = testing::findFont("monospace", true);
    const std::optional<FontFile> proportional = testing::findFont("sans-serif", false);
    if (!mono) GTEST_SKIP() << "no monospace outline font is installed";
    std::vector<std::string> names = {"Monaco",      "Courier", "Courier New",
                                      "Andale Mono", "",        "Glyphwerk No Such Font",
                                      mono->family};
    if (proportional) names.push_back(proportional->family);
    testing::LogCapture log;
    for (const std::string& name : names) {
        SCOPED_TRACE("\"" + name + "\"");
        log.lines.clear();
        const ResolvedFont font = resolveMonospaceFont(name);
        EXPECT_EQ(font.requested, name);
        ASSERT_FALSE(font.file.empty());
        EXPECT_FALSE(font.family.empty());
        EXPECT_TRUE(testing::measuredMonospace(font.file, font.faceIndex)) << font.file;
        if (font.substituted) {
            ASSERT_EQ(log.lines.size(), 1u);
            // A family that is installed but proportional is named so.
            const bool installed = proportional && name == proportional->family;
            EXPECT_TRUE(startsWith(log.lines[0], "Font \"" + name + "\" is not " +
                                                     (installed ? "monospace" : "")))
                << log.lines[0];
            EXPECT_NE(log.lines[0].find("; using \"" + font.family + "\""), std::string::npos)
                << log.lines[0];
        } else {
            // Only a font of the family asked for stands for itself.
            EXPECT_TRUE(log.lines.empty());
            EXPECT_EQ(upper(font.family), upper(name));
        }
        if (name == mono->family) {
            EXPECT_FALSE(font.substituted);
        }
        const ResolvedFont again = resolveMonospaceFont(name);
        EXPECT_EQ(std::tie(again.family, again.file), std::tie(font.family, font.file));
        EXPECT_LE(log.lines.size(), 1u) << "logged twice";
    }
}

// A machine whose first monospace choice carries no spacing property (as Noto Sans Mono): one
// installed monospace font and one proportional font, both stripped of the property, with
// "monospace" preferring the proportional one.
class OwnFonts : public ::testing::Test {
protected:
    void SetUp() override {
        if (!mono || !proportional) GTEST_SKIP() << "needs a monospace and a proportional font";
    }
    static inline const std::optional<FontFile> mono = testing::findFont("monospace", true);
    static inline const std::optional<FontFile> proportional =
        testing::findFont("sans-serif", false);
};

struct OwnCase {
    const char* label;
    std::string name; // "<mono>" and "<proportional>" stand for the installed families
    bool substituted;
    std::string log; // "<mono>" stands for the monospace family; empty: nothing logged
};

class OwnFontsCase : public OwnFonts, public ::testing::WithParamInterface<OwnCase> {};

std::string filled(std::string text, const std::string& mono, const std::string& proportional) {
    for (const auto& [key, value] :
         {std::pair{std::string("<mono>"), mono}, std::pair{std::string("<MONO>"), upper(mono)},
          std::pair{std::string("<proportional>"), proportional}}) {
        for (std::size_t at; (at = text.find(key)) != std::string::npos;)
            text.replace(at, key.size(), value);
    }
    return text;
}

TEST_P(OwnFontsCase, FindsTheMonospaceFontWithoutSpacingProperty) {
    const testing::FontConfiguration config({*proportional, *mono},
                                            {proportional->family, mono->family});
    const testing::ScopedFontconfigFile scoped(config.file());
    FontResolver resolver;
    testing::LogCapture log;
    const OwnCase& c = GetParam();
    const std::string name = filled(c.name, mono->family, proportional->family);
    for (int twice = 0; twice < 2; ++twice) {
        const ResolvedFont font = resolver.resolve(name);
        EXPECT_EQ(font.family, mono->family);
        EXPECT_EQ(font.substituted, c.substituted);
        // The configuration's own copy, so the machine's fonts played no part.
        EXPECT_TRUE(startsWith(font.file, config.file().substr(0, config.file().rfind('/'))))
            << font.file;
        EXPECT_TRUE(testing::measuredMonospace(font.file, font.faceIndex));
    }
    const std::string expected = filled(c.log, mono->family, proportional->family);
    EXPECT_EQ(log.lines,
              expected.empty() ? std::vector<std::string>{} : std::vector<std::string>{expected});
}

INSTANTIATE_TEST_SUITE_P(
    Names, OwnFontsCase,
    ::testing::Values(OwnCase{"TheMonospaceFamily", "<mono>", false, ""},
                      OwnCase{"AnotherSpelling", "<MONO>", false, ""},
                      OwnCase{"AnUnknownFamily", "Glyphwerk No Such Font", true,
                              "Font \"Glyphwerk No Such Font\" is not installed; using \"<mono>\""},
                      OwnCase{"AProportionalFamily", "<proportional>", true,
                              "Font \"<proportional>\" is not monospace; using \"<mono>\""},
                      OwnCase{"NoName", "", true, "Font \"\" is not installed; using \"<mono>\""},
                      OwnCase{"TheMenusFirst", "Monaco", true,
                              "Font \"Monaco\" is not installed; using \"<mono>\""}),
    [](const ::testing::TestParamInfo<OwnCase>& row) { return row.param.label; });

TEST_F(OwnFonts, SaysNoMonospaceFontIsInstalledOnlyWhenNoneIs) {
    const testing::FontConfiguration config({*proportional}, {proportional->family});
    const testing::ScopedFontconfigFile scoped(config.file());
    FontResolver resolver;
    testing::LogCapture log;
    const ResolvedFont font = resolver.resolve("Monaco");
    EXPECT_TRUE(font.file.empty());
    EXPECT_TRUE(font.family.empty());
    EXPECT_TRUE(font.substituted);
    EXPECT_EQ(log.lines, std::vector<std::string>{
                             "Font \"Monaco\" cannot be used and no monospace font is installed"});
}

} // namespace
} // namespace gw::render
