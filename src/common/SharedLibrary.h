#pragma once
// Libraries loaded on first use rather than linked: libtiff, FreeType and fontconfig bring
// libraries of their own whose loading would cost every start of the command-line converter a
// few milliseconds, for work most runs never do.

#include <initializer_list>
#include <string>
#include <string_view>

#include <dlfcn.h>

namespace gw {

// The first of `names` that loads, or null.
inline void* openSharedLibrary(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return library;
    }
    return nullptr;
}

// Points `function` at `name` in `library`. The first name that is missing is kept in `failure`
// as "<what> lacks <name>", so that one message tells what went wrong.
template <typename F>
void resolveSymbol(void* library, const char* name, F& function, std::string_view what,
                   std::string& failure) {
    function = reinterpret_cast<F>(dlsym(library, name));
    if (!function && failure.empty()) failure = std::string(what) + " lacks " + name;
}

} // namespace gw
