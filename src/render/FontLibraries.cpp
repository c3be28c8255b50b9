#include "render/FontLibraries.h"

#include "common/SharedLibrary.h"

namespace gw::render::detail {

#define GW_RESOLVE_FUNCTION(name)                                                                  \
    resolveSymbol(library, #name, api.name, "a font library", api.failure);

const FreeTypeApi& freeType() {
    static const FreeTypeApi loaded = [] {
        FreeTypeApi api;
        void* library = openSharedLibrary({GLYPHWERK_FREETYPE_SONAME, "libfreetype.so.6"});
        if (library == nullptr) {
            api.failure = "the FreeType library cannot be loaded";
            return api;
        }
        GW_FREETYPE_FUNCTIONS(GW_RESOLVE_FUNCTION)
        return api;
    }();
    return loaded;
}

const FontconfigApi& fontconfig() {
    static const FontconfigApi loaded = [] {
        FontconfigApi api;
        void* library = openSharedLibrary({GLYPHWERK_FONTCONFIG_SONAME, "libfontconfig.so.1"});
        if (library == nullptr) {
            api.failure = "the fontconfig library cannot be loaded";
            return api;
        }
        GW_FONTCONFIG_FUNCTIONS(GW_RESOLVE_FUNCTION)
        return api;
    }();
    return loaded;
}

#undef GW_RESOLVE_FUNCTION

} // namespace gw::render::detail
