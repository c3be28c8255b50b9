#include "palette/CharacterSet.h"

#include <gtest/gtest.h>

namespace {

using gw::CharacterGroup;
using gw::groupString;

TEST(Groups, SymbolsHoldTheirDuplicatesAndEndInABackslash) {
    const auto symbols = groupString(CharacterGroup::Symbols);
    EXPECT_EQ(symbols.size(), 31u);
    EXPECT_EQ(symbols[7], '*');
    EXPECT_EQ(symbols[14], '*');
    EXPECT_EQ(symbols[15], '.');
    EXPECT_EQ(symbols[17], '.');
    EXPECT_EQ(symbols.back(), '\\');
    for (const auto group : gw::kCharacterGroups)
        EXPECT_EQ(groupString(group).find(' '), std::string_view::npos);
}

TEST(Groups, TheSnapshotRuleAppendsARepeatedCharacterTwice) {
    std::string symbols(groupString(CharacterGroup::Symbols));
    std::erase(symbols, '*');
    EXPECT_EQ(gw::addMissingCharacters(symbols, groupString(CharacterGroup::Symbols)),
              symbols + "**");
}

// The controller's tests (tests/app/CharacterSetTest.cpp) cover appending and the buttons.
TEST(Groups, WholeGroupTestUsesTheTextPlusASpace) {
    EXPECT_FALSE(gw::holdsWholeGroup("012345678", groupString(CharacterGroup::Numbers)));
    EXPECT_TRUE(gw::holdsWholeGroup("", ""));
    // Non-ASCII text around the characters does not hide them.
    EXPECT_TRUE(gw::holdsWholeGroup("é0123456789ü", groupString(CharacterGroup::Numbers)));
}

} // namespace
