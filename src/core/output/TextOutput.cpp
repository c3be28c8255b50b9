#include "output/TextOutput.h"

#include <algorithm>
#include <cstring>

namespace gw {
namespace {

char terminalSafe(std::int32_t code) {
    const auto byte = static_cast<unsigned char>(code & 0xFF);
    return byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '?';
}

void appendNumber(std::string& out, unsigned value) {
    char digits[4];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && n < 4);
    while (n > 0)
        out += digits[--n];
}

unsigned channel(std::uint64_t value) {
    return value > 255 ? 255u : static_cast<unsigned>(value);
}

} // namespace

std::string plainText(const CellGrid& grid) {
    const VisibleCells r = visibleCells(grid);
    std::string out;
    out.reserve(static_cast<std::size_t>(r.rows) * static_cast<std::size_t>(r.columns + 1));
    for (int y = 1; y <= r.rows; ++y) {
        for (int x = 1; x <= r.columns; ++x) {
            out += static_cast<char>(static_cast<unsigned char>(grid.ascii[x][y] & 0xFF));
        }
        out += '\n';
    }
    return out;
}

std::string ansiText(const CellGrid& grid, bool color) {
    const VisibleCells r = visibleCells(grid);
    std::string out;
    out.reserve(static_cast<std::size_t>(r.rows) * static_cast<std::size_t>(r.columns + 1) *
                (color ? 20 : 1));
    for (int y = 1; y <= r.rows; ++y) {
        bool colorSet = false;
        unsigned last[3] = {0, 0, 0};
        for (int x = 1; x <= r.columns; ++x) {
            const char c = terminalSafe(grid.ascii[x][y]);
            // A space shows no foreground, so it keeps whatever colour is set.
            if (color && c != ' ') {
                const unsigned rgb[3] = {channel(grid.data[x][y][0]), channel(grid.data[x][y][1]),
                                         channel(grid.data[x][y][2])};
                if (!colorSet || rgb[0] != last[0] || rgb[1] != last[1] || rgb[2] != last[2]) {
                    out += "\x1b[38;2;";
                    appendNumber(out, rgb[0]);
                    out += ';';
                    appendNumber(out, rgb[1]);
                    out += ';';
                    appendNumber(out, rgb[2]);
                    out += 'm';
                    std::memcpy(last, rgb, sizeof last);
                    colorSet = true;
                }
            }
            out += c;
        }
        if (color) out += "\x1b[0m";
        out += '\n';
    }
    return out;
}

} // namespace gw
