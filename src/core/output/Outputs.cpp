#include "output/Outputs.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace gw {
namespace {

std::size_t cellCount(const VisibleCells& v) {
    return static_cast<std::size_t>(v.rows) * static_cast<std::size_t>(v.columns + 1);
}

// The cell's character as UTF-8: the low byte of its code, 128 to 255 read as Latin-1.
void appendCharacter(std::string& out, std::int32_t code) {
    const auto byte = static_cast<unsigned char>(code & 0xFF);
    if (byte < 0x80) {
        out += static_cast<char>(byte);
    } else {
        out += static_cast<char>(0xC0 | (byte >> 6));
        out += static_cast<char>(0x80 | (byte & 0x3F));
    }
}

unsigned char cellByte(const CellGrid& grid, int x, int y) {
    return static_cast<unsigned char>(grid.ascii[x][y] & 0xFF);
}

// A sample as the display text's colour component, data / 256. Samples above 255 do not
// come from a picture; they are held at 255 so that a component never exceeds 1.
double component(std::uint64_t sample) {
    return static_cast<double>(std::min<std::uint64_t>(sample, 255)) / 256.0;
}

std::uint32_t packedSample(const CellGrid& grid, int x, int y) {
    std::uint32_t packed = 0;
    for (int c = 0; c < 3; ++c)
        packed = packed << 8 |
                 static_cast<std::uint32_t>(std::min<std::uint64_t>(grid.data[x][y][c], 255));
    return packed;
}

constexpr char kHexDigits[] = "0123456789abcdef";

void appendHexByte(std::string& out, unsigned value) {
    out += kHexDigits[(value >> 4) & 0xF];
    out += kHexDigits[value & 0xF];
}

// The page's colour string: each component times the largest float below 256, truncated.
std::string backgroundString(const RgbColor& color) {
    std::string out = "#";
    for (const double c : {color.red, color.green, color.blue}) {
        const double clamped = c > 0.0 ? std::min(c, 1.0) : 0.0; // NaN and negatives give 0
        appendHexByte(out, static_cast<unsigned>(clamped * 255.99998474121094));
    }
    return out;
}

void appendRtfNumber(std::string& out, unsigned value) {
    out += std::to_string(value);
}

// The colour table's entry for a cell: the display text's data / 256 per component, on the
// table's 0 to 255 scale, rounded.
std::uint32_t rtfColor(const CellGrid& grid, int x, int y) {
    std::uint32_t packed = 0;
    for (int c = 0; c < 3; ++c) {
        const double scaled = component(grid.data[x][y][c]) * 255.0 + 0.5;
        packed = packed << 8 | static_cast<std::uint32_t>(scaled);
    }
    return packed;
}

// A font name inside the font table. ';' would end the entry and braces the table, so they are
// left out with control characters; other characters beyond ASCII go as \uN.
void appendRtfFontName(std::string& out, const std::string& name) {
    for (std::size_t i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (i + length > name.size()) break;
        char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k)
            cp = cp << 6 | (static_cast<unsigned char>(name[i + k]) & 0x3F);
        i += length;
        if (cp < 0x20 || cp == ';' || cp == '{' || cp == '}' || cp == '\\' || cp == 0x7F) continue;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x10000) {
            // \uN takes a signed 16-bit number, then one character for readers without Unicode.
            out += "\\u" + std::to_string(static_cast<std::int16_t>(cp)) + "?";
        }
    }
}

} // namespace

RgbColor inkOn(const RgbColor& background) {
    // Clamped as the page and the images clamp what they show (NaN as 0), and summed in
    // hundredths, so that grey 0.5 gives exactly 50 rather than a rounding either side of it.
    const auto shown = [](double c) { return c > 0.0 ? std::min(c, 1.0) : 0.0; };
    const double hundredths = 30.0 * shown(background.red) + 59.0 * shown(background.green) +
                              11.0 * shown(background.blue);
    return hundredths >= 50.0 ? RgbColor{0.0, 0.0, 0.0} : RgbColor{1.0, 1.0, 1.0};
}

std::string plainDisplayText(const CellGrid& grid) {
    const VisibleCells v = visibleCells(grid);
    std::string out;
    out.reserve(cellCount(v));
    for (int y = 1; y <= v.rows; ++y) {
        for (int x = 1; x <= v.columns; ++x)
            appendCharacter(out, grid.ascii[x][y]);
        out += '\n';
    }
    return out;
}

std::vector<ColorRun> colorDisplayRuns(const CellGrid& grid) {
    const VisibleCells v = visibleCells(grid);
    std::vector<ColorRun> runs;
    for (int y = 1; y <= v.rows; ++y) {
        std::uint32_t current = 0;
        for (int x = 1; x <= v.columns; ++x) {
            const std::uint32_t packed = packedSample(grid, x, y);
            if (x == 1 || packed != current) {
                ColorRun run;
                run.hasColor = true;
                run.color = {component(grid.data[x][y][0]), component(grid.data[x][y][1]),
                             component(grid.data[x][y][2])};
                runs.push_back(std::move(run));
                current = packed;
            }
            appendCharacter(runs.back().text, grid.ascii[x][y]);
        }
        runs.push_back(ColorRun{"\n", false, {}});
    }
    return runs;
}

std::string htmlPage(const CellGrid& grid, bool color, const RgbColor& background) {
    const VisibleCells v = visibleCells(grid);
    std::string out;
    out.reserve(200 + static_cast<std::size_t>(v.rows) * 40 + cellCount(v) * (color ? 36 : 1));
    out += "<html>\n<head>\n<meta charset=\"utf-8\">\n<style type=\"text/css\" "
           "media=\"screen\">\nbody {\n"
           "font-family: \"Monaco\", monospace;\n}\n</style>\n</head>\n<body>\n"
           "<div style=\"background-color: ";
    out += backgroundString(background);
    out += "\">";
    const std::string rowSpan =
        "<span style=\"color: " +
        (color ? std::string("#000000") : backgroundString(inkOn(background))) + "\">";
    for (int y = 1; y <= v.rows; ++y) {
        out += rowSpan;
        for (int x = 1; x <= v.columns; ++x) {
            const unsigned char c = cellByte(grid, x, y);
            if (c == ' ') {
                out += "&nbsp;";
                continue;
            }
            if (color) {
                out += "<span style=\"color: #";
                for (const char digit : grid.hexColor[x][y])
                    out += digit == 0 ? '0' : digit; // a digit the engine could not form
                out += "\">";
            }
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                appendCharacter(out, c);
            }
            if (color) out += "</span>";
        }
        out += "</span><br>\n";
    }
    out += "</div>\n</body>\n</html>\n";
    return out;
}

std::string rtfDocument(const CellGrid& grid, const RtfFont& font, int pointSize) {
    return rtfDocument(grid, font, pointSize, true);
}

std::string rtfDocument(const CellGrid& grid, const RtfFont& font, int pointSize, bool color) {
    const VisibleCells v = visibleCells(grid);
    // The colour table: entry 0 is the reader's default, the cells' colours follow in order of
    // first use. Each cell's entry is found once, row by row, and kept for the text below.
    std::vector<unsigned> entries;
    std::string table = "{\\colortbl;";
    if (color) {
        entries.reserve(static_cast<std::size_t>(v.rows) * static_cast<std::size_t>(v.columns));
        std::unordered_map<std::uint32_t, unsigned> indexOf;
        for (int y = 1; y <= v.rows; ++y) {
            for (int x = 1; x <= v.columns; ++x) {
                const std::uint32_t packed = rtfColor(grid, x, y);
                const auto [it, added] =
                    indexOf.emplace(packed, static_cast<unsigned>(indexOf.size() + 1));
                entries.push_back(it->second);
                if (added) {
                    table += "\\red";
                    appendRtfNumber(table, packed >> 16);
                    table += "\\green";
                    appendRtfNumber(table, (packed >> 8) & 0xFF);
                    table += "\\blue";
                    appendRtfNumber(table, packed & 0xFF);
                    table += ';';
                }
            }
        }
    }
    table += "}\n";

    std::string out;
    out.reserve(table.size() + 200 + cellCount(v) * (color ? 8 : 1));
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\n{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 ";
    // A nameless entry leaves the reader to its default font, a proportional one; with no
    // name at all (none chosen, no monospace font installed) the table names the monospace
    // font that readers on every system know or map.
    const std::string family = !font.installed.empty() ? font.installed
                               : !font.chosen.empty()  ? font.chosen
                                                       : std::string("Courier New");
    appendRtfFontName(out, family);
    if (!font.chosen.empty() && family != font.chosen) {
        out += "{\\*\\falt ";
        appendRtfFontName(out, font.chosen);
        out += '}';
    }
    out += ";}}\n";
    out += table;
    // A page wide enough for the rows, so that readers do not wrap them: half-inch margins and
    // 0.61 em per character (monospace faces take 0.6), from a Letter page's width up to the
    // widest page word processors accept (22 inches). Wider art still wraps there.
    const long rowTwips = std::lround(v.columns * std::clamp(pointSize, 1, 1638) * 0.61 * 20.0);
    out += "\\paperw";
    appendRtfNumber(out, static_cast<unsigned>(std::clamp(rowTwips + 1440 + 20, 12240L, 31680L)));
    out += "\\paperh15840\\margl720\\margr720\\margt720\\margb720\n";
    out += "\\pard\\plain\\f0\\fs";
    appendRtfNumber(out, static_cast<unsigned>(std::clamp(pointSize, 1, 1638)) * 2);
    out += '\n';
    unsigned current = 0;
    std::size_t cell = 0;
    for (int y = 1; y <= v.rows; ++y) {
        for (int x = 1; x <= v.columns; ++x) {
            if (color) {
                const unsigned index = entries[cell++];
                if (index != current) {
                    out += "\\cf";
                    appendRtfNumber(out, index);
                    out += ' ';
                    current = index;
                }
            }
            const unsigned char c = cellByte(grid, x, y);
            if (c == '\\' || c == '{' || c == '}') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c < 0x20 || c > 0x7E) {
                out += "\\'";
                appendHexByte(out, c);
            } else {
                out += static_cast<char>(c);
            }
        }
        out += "\\par\n";
    }
    out += "}\n";
    return out;
}

} // namespace gw
