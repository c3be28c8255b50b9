#include "palette/CharacterSet.h"

#include <gtest/gtest.h>

namespace {

using gw::CharacterGroup;
using gw::groupString;

// The groups' strings are spelled out in the controller's tests
// (tests/app/CharacterSetTest.cpp), as the buttons append them.
TEST(Groups, TheSnapshotRuleAppendsARepeatedCharacterTwice) {
    std::string symbols(groupString(CharacterGroup::Symbols));
    std::erase(symbols, '*');
    EXPECT_EQ(gw::addMissingCharacters(symbols, groupString(CharacterGroup::Symbols)),
              symbols + "**");
}

TEST(Groups, WholeGroupTestUsesTheTextPlusASpace) {
    EXPECT_FALSE(gw::holdsWholeGroup("012345678", groupString(CharacterGroup::Numbers)));
    EXPECT_TRUE(gw::holdsWholeGroup("", ""));
    // Non-ASCII text around the characters does not hide them.
    EXPECT_TRUE(gw::holdsWholeGroup("é0123456789ü", groupString(CharacterGroup::Numbers)));
}

} // namespace
