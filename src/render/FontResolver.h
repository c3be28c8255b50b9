#pragma once
// Finds the installed monospace font that stands for a font name the user chose. The names the
// font pop-up offers ("Monaco", "Courier", "Courier New", "Andale Mono") are often missing on
// Linux, and fontconfig answers an unknown family with a proportional font, which would wreck
// the art; so only a font of monospace spacing is accepted, and the system's monospace font
// (DejaVu Sans Mono) stands in otherwise.

#include <string>

namespace gw::render {

struct ResolvedFont {
    std::string requested;     // the name asked for
    std::string family;        // the family of the font found
    std::string file;          // its font file
    int faceIndex = 0;         // the face within that file
    bool substituted = false;  // true when `family` is not the one requested
    bool proportional = false; // the font requested is installed but not monospace
};

// The monospace font for `name`. Results are cached; each substitution is logged once. Safe to
// call from any thread. `file` is empty only when no monospace font is installed at all.
ResolvedFont resolveMonospaceFont(const std::string& name);

} // namespace gw::render
