#include "output/SvgImage.h"

#include "output/TextFrame.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace gw {
namespace {

// Numbers with at most two decimals, never in the locale's notation: a window may run under a
// locale whose decimal mark is a comma, which SVG would not read.
void appendNumber(std::string& out, double value) {
    char text[64];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    if (ec != std::errc()) {
        out += '0';
        return;
    }
    std::string_view number(text, static_cast<std::size_t>(end - text));
    while (number.ends_with('0'))
        number.remove_suffix(1);
    if (number.ends_with('.')) number.remove_suffix(1);
    if (number == "-0") number = "0";
    out += number;
}

constexpr char kHexDigits[] = "0123456789abcdef";

void appendHexColor(std::string& out, const std::uint8_t rgb[3]) {
    out += '#';
    for (int i = 0; i < 3; ++i) {
        out += kHexDigits[rgb[i] >> 4];
        out += kHexDigits[rgb[i] & 0xF];
    }
}

// As the images sample a component: times the largest float below 256, truncated.
std::uint8_t sampleOf(double component) {
    if (!(component > 0.0)) return 0;
    return static_cast<std::uint8_t>(std::min(component * 255.99998474121094, 255.0));
}

// The cell's character: the low byte of its code, 128 to 255 read as Latin-1. Control codes,
// which XML cannot carry, stand as spaces; the images draw nothing for them either.
void appendCell(std::string& out, std::int32_t code) {
    const auto c = static_cast<unsigned char>(code & 0xFF);
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
        out += ' ';
    } else if (c == '&') {
        out += "&amp;";
    } else if (c == '<') {
        out += "&lt;";
    } else if (c == '>') {
        out += "&gt;";
    } else if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Whether the cell puts ink on the page: spaces and control codes do not, and join any run.
bool hasInk(std::int32_t code) {
    const auto c = static_cast<unsigned char>(code & 0xFF);
    return c > 0x20 && !(c >= 0x7F && c <= 0xA0);
}

// The font family attribute: each name as a CSS string, then the generic family. Quotes and
// backslashes are escaped for CSS, control characters dropped, and the rest for XML.
std::string fontFamily(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) {
        out += '\'';
        for (const char ch : name) {
            const auto c = static_cast<unsigned char>(ch);
            if (c < 0x20 || c == 0x7F) continue;
            switch (ch) {
            case '\'':
                out += "\\&apos;";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += ch;
            }
        }
        out += "', ";
    }
    return out + "monospace";
}

} // namespace

std::string svgImage(const CellGrid& grid, const ArtStyle& style,
                     const std::vector<std::string>& families) {
    const int size = style.pointSize >= 1 && style.pointSize <= 73 ? style.pointSize : 12;
    const int width2 = std::clamp(grid.width2, 0, kGridCapacity);
    const int height2 = std::clamp(grid.height2, 0, kGridRowCapacity);
    const int columns = width2 >= 3 ? width2 - 2 : 0;
    const int rows = height2 >= 3 ? height2 - 2 : 0;
    const FrameSize frame = textViewFrame(width2, height2, size);
    // The frame's own pitches: 7.1 / 12 em a column and 15 / 12 em a row, from the same 5-point
    // left padding as the images.
    const double columnPitch = 7.1 * size / 12.0;
    const double rowPitch = 15.0 * size / 12.0;

    std::string out;
    out.reserve(400 + static_cast<std::size_t>(rows) * (120 + columns * (style.color ? 8 : 1)));
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    appendNumber(out, frame.width);
    out += "\" height=\"";
    appendNumber(out, frame.height);
    out += "\" viewBox=\"0 0 ";
    appendNumber(out, frame.width);
    out += ' ';
    appendNumber(out, frame.height);
    out += "\">\n<rect width=\"100%\" height=\"100%\" fill=\"";
    const std::uint8_t background[3] = {sampleOf(style.background.red),
                                        sampleOf(style.background.green),
                                        sampleOf(style.background.blue)};
    appendHexColor(out, background);
    out += "\"/>\n<g font-family=\"";
    out += fontFamily(families.empty() ? std::vector<std::string>{style.fontName} : families);
    out += "\" font-size=\"";
    out += std::to_string(size);
    // Colour gives every inked character its own fill; black and white draws them all in the
    // ink that contrasts with the background.
    const RgbColor groupInk = style.color ? RgbColor{} : inkOn(style.background);
    const std::uint8_t inkSamples[3] = {sampleOf(groupInk.red), sampleOf(groupInk.green),
                                        sampleOf(groupInk.blue)};
    out += "\" fill=\"";
    appendHexColor(out, inkSamples);
    out += "\">\n";
    for (int row = 0; columns > 0 && row < rows; ++row) {
        const int y = row + 1;
        out += "<text x=\"5\" y=\"";
        appendNumber(out, size + row * rowPitch);
        out += "\" textLength=\"";
        appendNumber(out, columns * columnPitch);
        out += "\" lengthAdjust=\"spacing\" xml:space=\"preserve\">";
        bool open = false;
        std::uint8_t current[3] = {0, 0, 0};
        for (int x = 1; x <= columns; ++x) {
            const std::int32_t code = grid.ascii[x][y];
            if (style.color && hasInk(code)) {
                std::uint8_t ink[3];
                for (int i = 0; i < 3; ++i)
                    ink[i] =
                        static_cast<std::uint8_t>(std::min<std::uint64_t>(grid.data[x][y][i], 255));
                if (!open || !std::equal(ink, ink + 3, current)) {
                    if (open) out += "</tspan>";
                    out += "<tspan fill=\"";
                    appendHexColor(out, ink);
                    out += "\">";
                    std::copy_n(ink, 3, current);
                    open = true;
                }
            }
            appendCell(out, code);
        }
        if (open) out += "</tspan>";
        out += "</text>\n";
    }
    out += "</g>\n</svg>\n";
    return out;
}

} // namespace gw
