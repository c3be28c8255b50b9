#pragma once
// Finds the installed monospace font that stands for a font name the user chose. The names the
// font pop-up offers ("Monaco", "Courier", "Courier New", "Andale Mono") are often missing on
// Linux, and fontconfig answers an unknown family with a proportional font, which would wreck
// the art; so only a monospace font is accepted, and the desktop's monospace font stands in
// otherwise. Many monospace fonts (Noto Sans Mono among them) carry no spacing property, so a
// font also counts as monospace when its glyphs for printable Latin-1 share one advance.

#include <memory>
#include <string>

namespace gw::render {

struct ResolvedFont {
    std::string requested;     // the name asked for
    std::string family;        // the family of the font found; empty only when `file` is
    std::string file;          // its font file
    int faceIndex = 0;         // the face within that file
    bool substituted = false;  // true when `family` is not the one requested
    bool proportional = false; // the font requested is installed but not monospace
};

// Whether the outline font in `file` draws the art in one column pitch: every printable ASCII
// character has a glyph, and every glyph of printable Latin-1 that advances at all advances
// as far as the others. False when the file cannot be read.
bool hasOneAdvance(const std::string& file, int faceIndex);

// A resolver over one fontconfig configuration: the one the environment names
// (FONTCONFIG_FILE, else the system's), loaded when the resolver is made. Results are cached;
// each substitution is logged once. Safe to call from any thread.
class FontResolver {
public:
    FontResolver();
    ~FontResolver();
    FontResolver(const FontResolver&) = delete;
    FontResolver& operator=(const FontResolver&) = delete;

    // The monospace font for `name`: a font of that family, else the first monospace one of
    // fontconfig's sorted candidates for "monospace", which hold every installed font. `file`
    // is empty only when no monospace font is installed at all.
    ResolvedFont resolve(const std::string& name);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The process's resolver, made on first use and kept for the life of the process (the preview
// asks again at every run).
ResolvedFont resolveMonospaceFont(const std::string& name);

} // namespace gw::render
