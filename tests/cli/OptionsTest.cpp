#include "Options.h"
#include "Converter.h"
#include "palette/InitialSet.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace gw::cli {
namespace {

CommandLine parse(std::vector<std::string_view> args) {
    return parseCommandLine(args);
}

TEST(CommandLine, DefaultsFollowTheMainWindow) {
    const CommandLine c = parse({"photo.jpg"});
    ASSERT_EQ(c.action, Action::Convert);
    EXPECT_EQ(c.options.maxWidth, 80);
    EXPECT_EQ(c.options.characters, kInitialCharacterSet);
    EXPECT_FALSE(c.options.color);
    EXPECT_EQ(c.options.format, OutputFormat::Text);
    EXPECT_EQ(c.options.fontName, "Monaco");
    EXPECT_EQ(c.options.fontSize, 12);
    EXPECT_EQ(c.options.pictures, std::vector<std::string>({"photo.jpg"}));
}

TEST(CommandLine, AcceptsEveryValueSpelling) {
    for (const auto& args :
         std::vector<std::vector<std::string_view>>{{"-w", "120", "a.png"},
                                                    {"-w120", "a.png"},
                                                    {"--width=120", "a.png"},
                                                    {"--width", "+120", "a.png"}}) {
        const CommandLine c = parse(args);
        ASSERT_EQ(c.action, Action::Convert) << c.error;
        EXPECT_EQ(c.options.maxWidth, 120);
    }
    const CommandLine negative = parse({"-w", "-5", "a.png"});
    EXPECT_EQ(negative.options.maxWidth, -5);
}

TEST(CommandLine, DoubleDashEndsOptions) {
    const CommandLine c = parse({"--", "-w", "--color"});
    ASSERT_EQ(c.action, Action::Convert);
    EXPECT_EQ(c.options.pictures, std::vector<std::string>({"-w", "--color"}));
    EXPECT_FALSE(c.options.color);
}

TEST(CommandLine, FontSizeOutsideOneTo73Is12) {
    EXPECT_EQ(parse({"--font-size", "73", "a"}).options.fontSize, 73);
    EXPECT_EQ(parse({"--font-size", "1", "a"}).options.fontSize, 1);
    for (const std::string_view bad : {"0", "74", "-3", "big", "12.5", ""}) {
        EXPECT_EQ(parse({"--font-size", bad, "a"}).options.fontSize, 12) << bad;
    }
}

TEST(CommandLine, RejectsMalformedInput) {
    EXPECT_EQ(parse({"--color=yes", "a"}).error, "option '--color' takes no value");
    EXPECT_EQ(parse({"-x", "a"}).error, "unknown option '-x'");
    EXPECT_EQ(parse({"-w", "99999999999", "a"}).error,
              "the width must be a whole number, not '99999999999'");
    EXPECT_EQ(parse({""}).error, "an empty picture name was given");
    EXPECT_EQ(parse({"--background", "#12345g", "a"}).action, Action::UsageError);
    EXPECT_EQ(parse({"--background", "#A0b0C0", "a"}).options.background, "#A0b0C0");
    EXPECT_EQ(parse({"a", "--help"}).action, Action::Help);
    EXPECT_EQ(parse({"--version"}).action, Action::Version);
}

TEST(OutputPaths, OneFileOrOneFilePerPictureInAFolder) {
    Options o;
    o.pictures = {"x/a.png"};
    std::string error;
    EXPECT_EQ(outputPaths(o, error), std::vector<std::string>({""}));
    o.output = "art.txt";
    EXPECT_EQ(outputPaths(o, error), std::vector<std::string>({"art.txt"}));

    const std::string folder = ::testing::TempDir() + "gw-output-paths";
    o.output = folder;
    o.format = OutputFormat::Ansi;
    o.pictures = {"x/a.png", "y/a.jpg", "-", ".hidden"};
    EXPECT_EQ(outputPaths(o, error),
              std::vector<std::string>({folder + "/a.ans", folder + "/a-2.ans",
                                        folder + "/stdin.ans", folder + "/.hidden.ans"}));
    EXPECT_EQ(error, "");
    std::filesystem::remove_all(folder);
}

TEST(MissingCharacters, NamesEachOnceAndControlsByCodePoint) {
    CharacterTable table{};
    table[0] = CharacterRecord{32, ' ', 1.0f};
    table[1] = CharacterRecord{'a', 'a', 0.5f};
    EXPECT_TRUE(charactersWithoutDarkness("a a\n", table).empty());
    EXPECT_EQ(
        charactersWithoutDarkness("ab\tb\xe2\x82\xac\xf0\x9f\x98\x80\x7f", table),
        std::vector<std::string>({"b", "U+0009", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "U+007F"}));
}

} // namespace
} // namespace gw::cli
