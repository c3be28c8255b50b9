#include "render/FontResolver.h"

#include "common/Log.h"

#include "render/FontLibraries.h"

#include <map>
#include <mutex>

namespace gw::render {
namespace {

const FcChar8* fcString(const std::string& s) {
    return reinterpret_cast<const FcChar8*>(s.c_str());
}

struct Match {
    std::string family; // the first family name of the font found
    std::string file;
    int faceIndex = 0;
    bool monospace = false;
    bool namesRequest = false; // one of the font's family names is the one asked for
};

// What fontconfig offers for `family` in the regular style. The family goes in as a literal
// value, not through the name parser, so that names with ':' or '-' mean nothing special.
Match bestMatch(FcConfig* config, const std::string& family) {
    const detail::FontconfigApi& fc = detail::fontconfig();
    Match match;
    FcPattern* pattern = fc.FcPatternCreate();
    if (pattern == nullptr) return match;
    fc.FcPatternAddString(pattern, FC_FAMILY, fcString(family));
    fc.FcConfigSubstitute(config, pattern, FcMatchPattern);
    fc.FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* font = fc.FcFontMatch(config, pattern, &result);
    fc.FcPatternDestroy(pattern);
    if (font == nullptr) return match;
    FcChar8* value = nullptr;
    if (fc.FcPatternGetString(font, FC_FILE, 0, &value) == FcResultMatch)
        match.file = reinterpret_cast<const char*>(value);
    if (fc.FcPatternGetString(font, FC_FAMILY, 0, &value) == FcResultMatch)
        match.family = reinterpret_cast<const char*>(value);
    for (int i = 0; fc.FcPatternGetString(font, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
        if (fc.FcStrCmpIgnoreCase(value, fcString(family)) == 0) match.namesRequest = true;
    }
    int number = 0;
    if (fc.FcPatternGetInteger(font, FC_INDEX, 0, &number) == FcResultMatch)
        match.faceIndex = number;
    // Dual-width fonts (monospace with double-width ideographs) are single width for the
    // Latin-1 characters the art uses.
    match.monospace =
        fc.FcPatternGetInteger(font, FC_SPACING, 0, &number) == FcResultMatch && number >= FC_DUAL;
    fc.FcPatternDestroy(font);
    return match;
}

// The first font that fontconfig ranks for `family` and that is monospace. Its first answer
// for "monospace" need not be: Noto Sans Mono, for one, declares no spacing, as it carries a
// few wide glyphs.
Match firstMonospace(FcConfig* config, const std::string& family) {
    const detail::FontconfigApi& fc = detail::fontconfig();
    Match match;
    FcPattern* pattern = fc.FcPatternCreate();
    if (pattern == nullptr) return match;
    fc.FcPatternAddString(pattern, FC_FAMILY, fcString(family));
    fc.FcConfigSubstitute(config, pattern, FcMatchPattern);
    fc.FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = fc.FcFontSort(config, pattern, FcTrue, nullptr, &result);
    fc.FcPatternDestroy(pattern);
    if (fonts == nullptr) return match;
    for (int i = 0; i < fonts->nfont; ++i) {
        FcPattern* font = fonts->fonts[i];
        int number = 0;
        FcChar8* value = nullptr;
        if (fc.FcPatternGetInteger(font, FC_SPACING, 0, &number) != FcResultMatch ||
            number < FC_DUAL || fc.FcPatternGetString(font, FC_FILE, 0, &value) != FcResultMatch)
            continue;
        match.file = reinterpret_cast<const char*>(value);
        if (fc.FcPatternGetString(font, FC_FAMILY, 0, &value) == FcResultMatch)
            match.family = reinterpret_cast<const char*>(value);
        if (fc.FcPatternGetInteger(font, FC_INDEX, 0, &number) == FcResultMatch)
            match.faceIndex = number;
        match.monospace = true;
        break;
    }
    fc.FcFontSetDestroy(fonts);
    return match;
}

ResolvedFont resolve(FcConfig* config, const std::string& name) {
    ResolvedFont font;
    font.requested = name;
    const Match match = name.empty() ? Match{} : bestMatch(config, name);
    if (match.monospace && !match.file.empty()) {
        font.family = match.family;
        font.file = match.file;
        font.faceIndex = match.faceIndex;
        font.substituted = !match.namesRequest;
        if (font.substituted) {
            systemLog("Font \"" + name + "\" is not installed; using \"" + font.family + "\"");
        }
        return font;
    }
    font.substituted = true;
    font.proportional = match.namesRequest && !match.monospace;
    const Match fallback = firstMonospace(config, "monospace");
    if (!fallback.monospace || fallback.file.empty()) {
        systemLog("Font \"" + name + "\" cannot be used and no monospace font is installed");
        return font;
    }
    font.family = fallback.family;
    font.file = fallback.file;
    font.faceIndex = fallback.faceIndex;
    const char* why = match.namesRequest ? "is not monospace" : "is not installed";
    systemLog("Font \"" + name + "\" " + why + "; using \"" + font.family + "\"");
    return font;
}

} // namespace

ResolvedFont resolveMonospaceFont(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, ResolvedFont> cache;
    const std::lock_guard lock(mutex);
    if (const auto found = cache.find(name); found != cache.end()) return found->second;
    // A configuration of our own, kept for the life of the process (the preview asks again at
    // every run) and destroyed at exit, which also frees what fontconfig sets up once.
    struct Configuration {
        const detail::FontconfigApi& fc = detail::fontconfig();
        FcConfig* config = fc.failure.empty() ? fc.FcInitLoadConfigAndFonts() : nullptr;
        ~Configuration() {
            if (config != nullptr) fc.FcConfigDestroy(config);
        }
    };
    static const Configuration configuration;
    if (configuration.config == nullptr) {
        const std::string& failure = configuration.fc.failure;
        systemLog("Font \"" + name + "\" cannot be looked up: " +
                  (failure.empty() ? "fontconfig cannot start" : failure));
        ResolvedFont font;
        font.requested = name;
        font.substituted = true;
        return cache.emplace(name, font).first->second;
    }
    return cache.emplace(name, resolve(configuration.config, name)).first->second;
}

} // namespace gw::render
