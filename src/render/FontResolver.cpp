#include "render/FontResolver.h"

#include "common/Log.h"

#include "render/FontLibraries.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace gw::render {
namespace {

const FcChar8* fcString(const std::string& s) {
    return reinterpret_cast<const FcChar8*>(s.c_str());
}

std::string text(const FcChar8* s) {
    return s == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(s));
}

// What the walk needs to know of one of fontconfig's candidates.
struct Candidate {
    std::vector<std::string> families; // every family name the font answers to
    std::string fullName;
    std::string file;
    int faceIndex = 0;
    bool outline = false;       // the glyphs are drawn from outlines, as the art's are
    bool saysMonospace = false; // fontconfig's spacing property says so
};

Candidate candidateOf(const FcPattern* font) {
    const detail::FontconfigApi& fc = detail::fontconfig();
    Candidate c;
    FcChar8* value = nullptr;
    for (int i = 0; fc.FcPatternGetString(font, FC_FAMILY, i, &value) == FcResultMatch; ++i)
        c.families.push_back(text(value));
    if (fc.FcPatternGetString(font, FC_FULLNAME, 0, &value) == FcResultMatch)
        c.fullName = text(value);
    if (fc.FcPatternGetString(font, FC_FILE, 0, &value) == FcResultMatch) c.file = text(value);
    int number = 0;
    if (fc.FcPatternGetInteger(font, FC_INDEX, 0, &number) == FcResultMatch) c.faceIndex = number;
    FcBool flag = FcFalse;
    c.outline = fc.FcPatternGetBool(font, FC_OUTLINE, 0, &flag) == FcResultMatch && flag;
    // Dual-width fonts (monospace with double-width ideographs) are single width for the
    // Latin-1 characters the art uses.
    c.saysMonospace =
        fc.FcPatternGetInteger(font, FC_SPACING, 0, &number) == FcResultMatch && number >= FC_DUAL;
    return c;
}

bool sameName(const std::string& a, const std::string& b) {
    return detail::fontconfig().FcStrCmpIgnoreCase(fcString(a), fcString(b)) == 0;
}

// fontconfig's candidates for `family` in the regular style, best first, with the families
// that it binds strongly to the request (the request itself and the fonts it registers as
// metric-compatible with it, as Liberation Mono for Courier New). The family goes in as a
// literal value, not through the name parser, so that names with ':' or '-' mean nothing
// special. Without trimming, the list holds every installed font.
struct Sorted {
    std::vector<Candidate> fonts;
    std::vector<std::string> strongFamilies;
};

Sorted sortedCandidates(FcConfig* config, const std::string& family) {
    const detail::FontconfigApi& fc = detail::fontconfig();
    Sorted sorted;
    FcPattern* pattern = fc.FcPatternCreate();
    if (pattern == nullptr) return sorted;
    fc.FcPatternAddString(pattern, FC_FAMILY, fcString(family));
    fc.FcConfigSubstitute(config, pattern, FcMatchPattern);
    fc.FcDefaultSubstitute(pattern);
    FcValue value;
    FcValueBinding binding = FcValueBindingWeak;
    for (int i = 0;
         fc.FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding) == FcResultMatch;
         ++i) {
        if (value.type == FcTypeString && binding == FcValueBindingStrong)
            sorted.strongFamilies.push_back(text(value.u.s));
    }
    FcResult result = FcResultNoMatch;
    FcFontSet* set = fc.FcFontSort(config, pattern, FcFalse, nullptr, &result);
    fc.FcPatternDestroy(pattern);
    if (set == nullptr) return sorted;
    sorted.fonts.reserve(static_cast<std::size_t>(set->nfont));
    for (int i = 0; i < set->nfont; ++i)
        sorted.fonts.push_back(candidateOf(set->fonts[i]));
    fc.FcFontSetDestroy(set);
    return sorted;
}

bool names(const Candidate& font, const std::string& family) {
    for (const std::string& f : font.families)
        if (sameName(f, family)) return true;
    return false;
}

// The name to show for a font: the family as the font spells it, never empty.
std::string displayName(const Candidate& font, const std::string& requested) {
    for (const std::string& f : font.families)
        if (!requested.empty() && sameName(f, requested)) return f;
    for (const std::string& f : font.families)
        if (!f.empty()) return f;
    if (!font.fullName.empty()) return font.fullName;
    const std::size_t slash = font.file.find_last_of('/');
    return font.file.substr(slash == std::string::npos ? 0 : slash + 1);
}

} // namespace

bool hasOneAdvance(const std::string& file, int faceIndex) {
    const detail::FreeTypeApi& ft = detail::freeType();
    if (!ft.failure.empty()) return false;
    FT_Library library = nullptr;
    if (ft.FT_Init_FreeType(&library) != 0) return false;
    FT_Face face = nullptr;
    bool one = false;
    if (ft.FT_New_Face(library, file.c_str(), faceIndex, &face) == 0) {
        one = (face->face_flags & FT_FACE_FLAG_SCALABLE) != 0;
        FT_Fixed advance = 0;
        // The narrowest and the widest letters first: most proportional fonts fail at once.
        const auto check = [&](int code) {
            const FT_UInt index = ft.FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
            if (index == 0) return code >= 0x7F; // all of ASCII is needed; the rest may lack
            FT_Fixed a = 0;
            if (ft.FT_Get_Advance(face, index, FT_LOAD_NO_SCALE, &a) != 0) return false;
            if (a == 0) return true; // drawn in its cell all the same
            if (advance == 0) advance = a;
            return a == advance;
        };
        for (const int code : {'i', 'W', 'l', 'M', ' '})
            one = one && check(code);
        for (int code = 0x20; one && code < 0x100; ++code) {
            if (code < 0x7F || code >= 0xA0) one = check(code);
        }
        ft.FT_Done_Face(face);
    }
    ft.FT_Done_FreeType(library);
    return one;
}

struct FontResolver::State {
    const detail::FontconfigApi& fc = detail::fontconfig();
    FcConfig* config = fc.failure.empty() ? fc.FcInitLoadConfigAndFonts() : nullptr;
    std::mutex mutex;
    std::map<std::string, ResolvedFont> cache;
    std::map<std::pair<std::string, int>, bool> measured;

    ~State() {
        if (config != nullptr) fc.FcConfigDestroy(config);
    }

    bool monospace(const Candidate& font) {
        // The art is drawn from outlines; a bitmap font would leave it blank.
        if (!font.outline || font.file.empty()) return false;
        if (font.saysMonospace) return true;
        const auto key = std::pair{font.file, font.faceIndex};
        const auto found = measured.find(key);
        if (found != measured.end()) return found->second;
        return measured[key] = hasOneAdvance(font.file, font.faceIndex);
    }

    ResolvedFont resolve(const std::string& name) {
        ResolvedFont font;
        font.requested = name;
        font.substituted = true;
        bool installed = false;
        if (!name.empty()) {
            const Sorted sorted = sortedCandidates(config, name);
            for (const Candidate& c : sorted.fonts) {
                const bool own = names(c, name);
                installed = installed || own;
                bool strong = own;
                for (const std::string& f : sorted.strongFamilies)
                    strong = strong || names(c, f);
                if (!strong || !monospace(c)) continue;
                font.family = displayName(c, name);
                font.file = c.file;
                font.faceIndex = c.faceIndex;
                font.substituted = !own;
                if (font.substituted)
                    systemLog("Font \"" + name + "\" is not installed; using \"" + font.family +
                              "\"");
                return font;
            }
        }
        for (const Candidate& c : sortedCandidates(config, "monospace").fonts) {
            if (!monospace(c)) continue;
            font.family = displayName(c, {});
            font.file = c.file;
            font.faceIndex = c.faceIndex;
            font.proportional = installed;
            const char* why = installed ? "is not monospace" : "is not installed";
            systemLog("Font \"" + name + "\" " + why + "; using \"" + font.family + "\"");
            return font;
        }
        systemLog("Font \"" + name + "\" cannot be used and no monospace font is installed");
        return font;
    }
};

FontResolver::FontResolver() : state_(std::make_unique<State>()) {}

FontResolver::~FontResolver() = default;

ResolvedFont FontResolver::resolve(const std::string& name) {
    State& s = *state_;
    const std::lock_guard lock(s.mutex);
    if (const auto found = s.cache.find(name); found != s.cache.end()) return found->second;
    if (s.config == nullptr) {
        const std::string& failure = s.fc.failure;
        systemLog("Font \"" + name + "\" cannot be looked up: " +
                  (failure.empty() ? "fontconfig cannot start" : failure));
        ResolvedFont font;
        font.requested = name;
        font.substituted = true;
        return s.cache.emplace(name, font).first->second;
    }
    return s.cache.emplace(name, s.resolve(name)).first->second;
}

ResolvedFont resolveMonospaceFont(const std::string& name) {
    // Destroyed at exit, which also frees what fontconfig sets up once.
    static FontResolver resolver;
    return resolver.resolve(name);
}

} // namespace gw::render
