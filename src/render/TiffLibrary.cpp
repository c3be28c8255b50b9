#include "render/TiffLibrary.h"

#include "common/SharedLibrary.h"

namespace gw::render {

const TiffApi& tiffApi() {
    static const TiffApi api = [] {
        TiffApi a;
        void* library = openSharedLibrary({GLYPHWERK_TIFF_SONAME, "libtiff.so.6", "libtiff.so"});
        if (!library) {
            a.failure = "libtiff cannot be loaded";
            return a;
        }
#define GW_RESOLVE(name) resolveSymbol(library, "TIFF" #name, a.name, "libtiff", a.failure)
        GW_RESOLVE(ClientOpenExt);
        GW_RESOLVE(Close);
        GW_RESOLVE(SetField);
        GW_RESOLVE(WriteRawStrip);
        GW_RESOLVE(OpenOptionsAlloc);
        GW_RESOLVE(OpenOptionsFree);
        GW_RESOLVE(OpenOptionsSetErrorHandlerExtR);
        GW_RESOLVE(OpenOptionsSetWarningHandlerExtR);
#undef GW_RESOLVE
        return a;
    }();
    return api;
}

} // namespace gw::render
