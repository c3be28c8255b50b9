#pragma once
// FreeType and fontconfig, loaded when the first font is needed. The command-line converter
// links this library but draws text only for a TIFF image; loading the two (and the brotli,
// bzip2 and expat libraries they bring) at every start would cost each run a few milliseconds.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <string>

namespace gw::render::detail {

#define GW_FREETYPE_FUNCTIONS(X)                                                                   \
    X(FT_Init_FreeType)                                                                            \
    X(FT_Done_FreeType)                                                                            \
    X(FT_New_Face)                                                                                 \
    X(FT_Done_Face)                                                                                \
    X(FT_Set_Pixel_Sizes)                                                                          \
    X(FT_Get_Char_Index)                                                                           \
    X(FT_Load_Glyph)                                                                               \
    X(FT_Outline_Get_CBox)                                                                         \
    X(FT_Outline_Translate)                                                                        \
    X(FT_Render_Glyph)

#define GW_FONTCONFIG_FUNCTIONS(X)                                                                 \
    X(FcInitLoadConfigAndFonts)                                                                    \
    X(FcConfigDestroy)                                                                             \
    X(FcPatternCreate)                                                                             \
    X(FcPatternDestroy)                                                                            \
    X(FcPatternAddString)                                                                          \
    X(FcPatternGetString)                                                                          \
    X(FcPatternGetInteger)                                                                         \
    X(FcConfigSubstitute)                                                                          \
    X(FcDefaultSubstitute)                                                                         \
    X(FcFontMatch)                                                                                 \
    X(FcFontSort)                                                                                  \
    X(FcFontSetDestroy)                                                                            \
    X(FcStrCmpIgnoreCase)

#define GW_DECLARE_FUNCTION(name) decltype(&::name) name = nullptr;

struct FreeTypeApi {
    GW_FREETYPE_FUNCTIONS(GW_DECLARE_FUNCTION)
    std::string failure; // empty when every function was found
};

struct FontconfigApi {
    GW_FONTCONFIG_FUNCTIONS(GW_DECLARE_FUNCTION)
    std::string failure;
};

#undef GW_DECLARE_FUNCTION

const FreeTypeApi& freeType();
const FontconfigApi& fontconfig();

} // namespace gw::render::detail
