#include "output/TextFrame.h"

#include <cctype>
#include <cstdint>

namespace gw {

int effectiveFontSize(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1000)
            return 12;
    }
    if (negative)
        value = -value;
    return value >= 1 && value <= 73 ? static_cast<int>(value) : 12;
}

FrameSize textViewFrame(int width2, int height2, int pointSize) {
    const double s = pointSize;
    const long long rowsProduct = static_cast<long long>(pointSize) * height2 * 15;
    return {width2 * 7.1 * s / 12.0 + 70.0, static_cast<double>(rowsProduct) / 12.0 + 20.0};
}

} // namespace gw
