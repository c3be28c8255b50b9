#pragma once
// Editing support for the allowed-character field: the four character groups, adding a group's
// missing characters, and whether a group's button should be offered.

#include <array>
#include <string>
#include <string_view>

namespace gw {

enum class CharacterGroup { Lower, Upper, Numbers, Symbols };

inline constexpr std::array<CharacterGroup, 4> kCharacterGroups = {
    CharacterGroup::Lower, CharacterGroup::Upper, CharacterGroup::Numbers, CharacterGroup::Symbols};

// The group's characters. The symbols hold '*' and '.' twice each and end in a backslash.
std::string_view groupString(CharacterGroup group);

// The field text after pressing a group's button: every character of `group` missing from the
// snapshot (`text` plus one space) is appended in group order, twice if the group holds it
// twice. Characters already present keep their places.
std::string addMissingCharacters(std::string_view text, std::string_view group);

// True when every character of `group` occurs in `text` plus one space: the button is then
// disabled.
bool holdsWholeGroup(std::string_view text, std::string_view group);

} // namespace gw
