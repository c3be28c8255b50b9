#include "platform/Controls.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace gw::platform {

int leadingInteger(const std::string& text) {
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

int TextField::intValue() const {
    return leadingInteger(stringValue());
}

} // namespace gw::platform
