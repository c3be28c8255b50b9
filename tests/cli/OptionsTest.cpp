#include "Options.h"
#include "Converter.h"
#include "palette/InitialSet.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace gw::cli {
namespace {

TEST(CommandLine, DefaultsAndValueSpellings) {
    const CommandLine c = parseCommandLine({"photo.jpg"});
    EXPECT_EQ(c.options.maxWidth, 80);
    EXPECT_EQ(c.options.characters, kInitialCharacterSet);
    EXPECT_EQ(c.options.fontName, "Monaco");
    for (const auto& args : std::vector<std::vector<std::string_view>>{
             {"-w", "120", "a"}, {"-w120", "a"}, {"--width=120", "a"}, {"--width", "+120", "a"}}) {
        EXPECT_EQ(parseCommandLine(args).options.maxWidth, 120);
    }
    EXPECT_EQ(parseCommandLine({"-w", "-5", "a"}).options.maxWidth, -5);
    const CommandLine rest = parseCommandLine({"--", "-w", "--color"});
    EXPECT_EQ(rest.options.pictures, std::vector<std::string>({"-w", "--color"}));
}

TEST(CommandLine, FontSizeOutsideOneTo73Is12) {
    EXPECT_EQ(parseCommandLine({"--font-size", "73", "a"}).options.fontSize, 73);
    for (const std::string_view bad : {"0", "74", "big", "12.5", ""}) {
        EXPECT_EQ(parseCommandLine({"--font-size", bad, "a"}).options.fontSize, 12) << bad;
    }
}

TEST(OutputPaths, OneFileOrOneFilePerPictureInAFolder) {
    Options o;
    o.pictures = {"x/a.png"};
    o.output = "-";
    std::string error;
    EXPECT_EQ(outputPaths(o, error), std::vector<std::string>({""}));
    o.output = "art.txt";
    EXPECT_EQ(outputPaths(o, error), std::vector<std::string>({"art.txt"}));
    const std::string folder = ::testing::TempDir() + "gw-output-paths";
    o.output = folder;
    o.format = OutputFormat::Ansi;
    o.pictures = {"x/a.png", "y/a.jpg", ".hidden"};
    EXPECT_EQ(outputPaths(o, error),
              std::vector<std::string>(
                  {folder + "/a.ans", folder + "/a-2.ans", folder + "/.hidden.ans"}));
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
