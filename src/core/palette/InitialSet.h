#pragma once
// The allowed characters the main window starts with, and the command-line converter's
// default. Every letter and digit, then a few marks that fill the light and the darkest
// brightness steps. Most symbols are left out, so the symbols button starts enabled.

#include <string_view>

namespace gw {

inline constexpr std::string_view kInitialCharacterSet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,:;'-+=*#%@";

} // namespace gw
