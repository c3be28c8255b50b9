#include "palette/CharacterSet.h"

namespace gw {

std::string_view groupString(CharacterGroup group) {
    switch (group) {
    case CharacterGroup::Lower:
        return "abcdefghijklmnopqrstuvwxyz";
    case CharacterGroup::Upper:
        return "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    case CharacterGroup::Numbers:
        return "0123456789";
    case CharacterGroup::Symbols:
        return "!@#$%^&*()-_=+*.,./;'[]<>?:{}|\\";
    }
    return {};
}

// The group strings are ASCII, so a byte search of UTF-8 text finds exactly the characters a
// per-character string search would.
std::string addMissingCharacters(std::string_view text, std::string_view group) {
    const std::string snapshot = std::string(text) + ' ';
    std::string result(text);
    for (const char c : group) {
        if (snapshot.find(c) == std::string::npos) result += c;
    }
    return result;
}

bool holdsWholeGroup(std::string_view text, std::string_view group) {
    const std::string snapshot = std::string(text) + ' ';
    for (const char c : group) {
        if (snapshot.find(c) == std::string::npos) return false;
    }
    return true;
}

} // namespace gw
