#pragma once
// The libtiff functions the TIFF writer uses, loaded when the first image is written, as the
// picture decoder does: linking libtiff would cost every start of the command-line converter
// the loading of seven libraries, for an output most runs never make.

#include <string>

#include <tiffio.h>

namespace gw::render {

struct TiffApi {
    decltype(&TIFFClientOpenExt) ClientOpenExt = nullptr;
    decltype(&TIFFClose) Close = nullptr;
    decltype(&TIFFSetField) SetField = nullptr;
    decltype(&TIFFWriteRawStrip) WriteRawStrip = nullptr;
    decltype(&TIFFOpenOptionsAlloc) OpenOptionsAlloc = nullptr;
    decltype(&TIFFOpenOptionsFree) OpenOptionsFree = nullptr;
    decltype(&TIFFOpenOptionsSetErrorHandlerExtR) OpenOptionsSetErrorHandlerExtR = nullptr;
    decltype(&TIFFOpenOptionsSetWarningHandlerExtR) OpenOptionsSetWarningHandlerExtR = nullptr;
    std::string failure; // empty when every function was found
};

// Loaded once; `failure` says why it cannot be used.
const TiffApi& tiffApi();

} // namespace gw::render
