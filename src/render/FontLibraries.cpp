#include "render/FontLibraries.h"

#include <initializer_list>

#include <dlfcn.h>

namespace gw::render::detail {
namespace {

void* openLibrary(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return library;
    }
    return nullptr;
}

template <typename F>
void resolve(void* library, const char* name, F& function, std::string& failure) {
    function = reinterpret_cast<F>(dlsym(library, name));
    if (!function && failure.empty()) failure = std::string("a font library lacks ") + name;
}

} // namespace

#define GW_RESOLVE_FUNCTION(name) resolve(library, #name, api.name, api.failure);

const FreeTypeApi& freeType() {
    static const FreeTypeApi loaded = [] {
        FreeTypeApi api;
        void* library = openLibrary({GLYPHWERK_FREETYPE_SONAME, "libfreetype.so.6"});
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
        void* library = openLibrary({GLYPHWERK_FONTCONFIG_SONAME, "libfontconfig.so.1"});
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
