#pragma once
// Fonts of this machine found by what they are rather than by name, measured with FreeType
// directly, and fontconfig configurations of a test's own built from them.

#include "support/TestFolder.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace gw::testing {

struct FontFile {
    std::string file;
    int index = 0;
    std::string family;
};

// The advances of the printable Latin-1 glyphs a font has, in font units; empty when the font
// cannot be read, is not scalable, or lacks a printable ASCII character.
inline std::set<long> latinAdvances(const std::string& file, int index) {
    std::set<long> advances;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return advances;
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.c_str(), index, &face) == 0) {
        bool complete = FT_IS_SCALABLE(face);
        for (FT_ULong code = 0x20; complete && code < 0x100; ++code) {
            if (code >= 0x7F && code < 0xA0) continue;
            const FT_UInt glyph = FT_Get_Char_Index(face, code);
            FT_Fixed advance = 0;
            if (glyph == 0 || FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &advance) != 0) {
                complete = code >= 0x7F;
                continue;
            }
            if (advance != 0) advances.insert(advance);
        }
        if (!complete) advances.clear();
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return advances;
}

inline bool measuredMonospace(const std::string& file, int index) {
    return latinAdvances(file, index).size() == 1;
}

// The first regular outline font of fontconfig's list for `family` (a generic name) under the
// current configuration whose measured advances make it monospace, or proportional.
inline std::optional<FontFile> findFont(const char* family, bool monospace) {
    std::optional<FontFile> found;
    FcConfig* config = FcInitLoadConfigAndFonts();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* set = FcFontSort(config, pattern, FcFalse, nullptr, &result);
    for (int i = 0; set != nullptr && i < set->nfont && !found; ++i) {
        FcChar8* file = nullptr;
        FcChar8* name = nullptr;
        int index = 0, weight = 0, slant = 0;
        FcBool outline = FcFalse;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch ||
            FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &name) != FcResultMatch ||
            FcPatternGetBool(set->fonts[i], FC_OUTLINE, 0, &outline) != FcResultMatch || !outline)
            continue;
        FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
        FcPatternGetInteger(set->fonts[i], FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(set->fonts[i], FC_SLANT, 0, &slant);
        if (weight != FC_WEIGHT_REGULAR || slant != FC_SLANT_ROMAN) continue;
        const std::set<long> advances = latinAdvances(reinterpret_cast<const char*>(file), index);
        if (advances.empty() || (advances.size() == 1) != monospace) continue;
        found = FontFile{reinterpret_cast<const char*>(file), index,
                         reinterpret_cast<const char*>(name)};
    }
    if (set != nullptr) FcFontSetDestroy(set);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return found;
}

inline std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

// A fontconfig configuration in a folder of its own: the given fonts only, with their spacing
// property removed as they are scanned (as Noto Sans Mono ships), and "monospace" preferring
// the given families in order. Its cache stays in the folder.
class FontConfiguration {
public:
    FontConfiguration(const std::vector<FontFile>& fonts,
                      const std::vector<std::string>& monospacePreference) {
        const std::string dir = folder_.file("fonts");
        std::filesystem::create_directories(dir);
        std::string xml = "<?xml version=\"1.0\"?>\n"
                          "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                          "<fontconfig>\n  <dir>" +
                          xmlEscaped(dir) + "</dir>\n  <cachedir>" +
                          xmlEscaped(folder_.file("cache")) +
                          "</cachedir>\n"
                          "  <match target=\"scan\"><edit name=\"spacing\" "
                          "mode=\"delete_all\"/></match>\n"
                          "  <alias><family>monospace</family><prefer>";
        int n = 0;
        for (const FontFile& font : fonts) {
            const std::filesystem::path from(font.file);
            std::filesystem::create_symlink(from, dir + "/" + std::to_string(n++) + "-" +
                                                      from.filename().string());
        }
        for (const std::string& family : monospacePreference)
            xml += "<family>" + xmlEscaped(family) + "</family>";
        xml += "</prefer></alias>\n</fontconfig>\n";
        file_ = folder_.write("fonts.conf", xml);
    }
    const std::string& file() const { return file_; }

private:
    TestFolder folder_;
    std::string file_;
};

// FONTCONFIG_FILE set for a scope, as it was afterwards.
class ScopedFontconfigFile {
public:
    explicit ScopedFontconfigFile(const std::string& file) {
        if (const char* old = std::getenv("FONTCONFIG_FILE")) old_ = old;
        setenv("FONTCONFIG_FILE", file.c_str(), 1);
    }
    ~ScopedFontconfigFile() {
        if (old_)
            setenv("FONTCONFIG_FILE", old_->c_str(), 1);
        else
            unsetenv("FONTCONFIG_FILE");
    }
    ScopedFontconfigFile(const ScopedFontconfigFile&) = delete;
    ScopedFontconfigFile& operator=(const ScopedFontconfigFile&) = delete;

private:
    std::optional<std::string> old_;
};

} // namespace gw::testing
