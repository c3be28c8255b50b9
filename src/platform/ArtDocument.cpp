#include "platform/ArtDocument.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace gw::platform {

ArtDocument::Rgb ArtDocument::opaque(double red, double green, double blue) {
    const auto channel = [](double v) {
        return static_cast<Rgb>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    };
    return kBlack | channel(red) << 16 | channel(green) << 8 | channel(blue);
}

void ArtDocument::setLines(std::vector<Line> lines) {
    lines_ = std::move(lines);
    if (lines_.empty()) lines_.emplace_back();
    anchor_ = caret_ = {};
}

std::vector<ArtDocument::Line> displayLines(const CellGrid& grid, bool color) {
    // A sample's component as the display runs give it (sample / 256, held at 255), made a
    // channel once for every value.
    static const std::array<ArtDocument::Rgb, 256> channels = [] {
        std::array<ArtDocument::Rgb, 256> out{};
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = ArtDocument::opaque(0.0, 0.0, static_cast<double>(i) / 256.0) & 0xFFu;
        return out;
    }();
    const auto channel = [](std::uint64_t sample) {
        return channels[static_cast<std::size_t>(std::min<std::uint64_t>(sample, 255))];
    };
    const VisibleCells v = visibleCells(grid);
    std::vector<ArtDocument::Line> lines(static_cast<std::size_t>(v.rows) + 1);
    for (int y = 1; y <= v.rows; ++y) {
        ArtDocument::Line& line = lines[static_cast<std::size_t>(y - 1)];
        line.text.resize(static_cast<std::size_t>(v.columns));
        line.colors.resize(static_cast<std::size_t>(v.columns), ArtDocument::kDefaultColor);
        for (int x = 1; x <= v.columns; ++x) {
            const auto i = static_cast<std::size_t>(x - 1);
            // The code's low byte, 128 to 255 read as Latin-1: one UTF-16 unit either way.
            line.text[i] = static_cast<char16_t>(grid.ascii[x][y] & 0xFF);
            if (color)
                line.colors[i] = ArtDocument::kBlack | channel(grid.data[x][y][0]) << 16 |
                                 channel(grid.data[x][y][1]) << 8 | channel(grid.data[x][y][2]);
        }
    }
    return lines;
}

void ArtDocument::setText(const std::string& utf8) {
    lines_.assign(1, Line{});
    anchor_ = caret_ = {};
    append(utf8);
}

void ArtDocument::append(const std::string& utf8, Rgb color) {
    // Decoded as it is appended, so that a colour run of a character or two makes no string.
    std::size_t i = 0;
    const std::size_t size = utf8.size();
    while (i < size) {
        const auto byte = static_cast<unsigned char>(utf8[i++]);
        char32_t code = byte;
        int extra = 0;
        char32_t least = 0;
        if (byte >= 0xF8 || (byte >= 0x80 && byte < 0xC0)) {
            code = 0xFFFD;
        } else if (byte >= 0xF0) {
            code = byte & 0x07u;
            extra = 3;
            least = 0x10000;
        } else if (byte >= 0xE0) {
            code = byte & 0x0Fu;
            extra = 2;
            least = 0x800;
        } else if (byte >= 0xC0) {
            code = byte & 0x1Fu;
            extra = 1;
            least = 0x80;
        }
        for (; extra > 0; --extra, ++i) {
            if (i >= size || (static_cast<unsigned char>(utf8[i]) & 0xC0u) != 0x80u) {
                code = 0xFFFD;
                break;
            }
            code = (code << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3Fu);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
        if (code == U'\n') {
            lines_.emplace_back();
            continue;
        }
        Line& line = lines_.back();
        if (code > 0xFFFF) {
            code -= 0x10000;
            line.text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            line.text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FFu)));
            line.colors.insert(line.colors.end(), 2, color);
        } else {
            line.text.push_back(static_cast<char16_t>(code));
            line.colors.push_back(color);
        }
    }
}

std::string ArtDocument::utf8() const {
    std::string out;
    for (std::size_t row = 0; row < lines_.size(); ++row) {
        if (row > 0) out += '\n';
        const std::u16string& t = lines_[row].text;
        for (std::size_t i = 0; i < t.size(); ++i) {
            char32_t c = t[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < t.size() && t[i + 1] >= 0xDC00 &&
                t[i + 1] < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (t[++i] - 0xDC00);
            } else if (c >= 0xD800 && c < 0xE000) {
                c = 0xFFFD; // half a pair, left by an edit between its units
            }
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | (c >> 18));
                out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    }
    return out;
}

int ArtDocument::lineLength(int row) const {
    if (row < 0 || row >= rowCount()) return 0;
    return static_cast<int>(lines_[static_cast<std::size_t>(row)].text.size());
}

int ArtDocument::shownRows() const {
    const int rows = rowCount();
    return rows > 1 && lines_.back().text.empty() ? rows - 1 : rows;
}

int ArtDocument::widestLine() const {
    std::size_t widest = 0;
    for (const Line& line : lines_)
        widest = std::max(widest, line.text.size());
    return static_cast<int>(widest);
}

char16_t ArtDocument::characterAt(Position at) const {
    if (at.row < 0 || at.row >= rowCount() || at.column < 0 || at.column >= lineLength(at.row))
        return 0;
    return lines_[static_cast<std::size_t>(at.row)].text[static_cast<std::size_t>(at.column)];
}

ArtDocument::Rgb ArtDocument::colorAt(Position at) const {
    if (characterAt(at) == 0 && (at.column < 0 || at.column >= lineLength(at.row)))
        return kDefaultColor;
    return lines_[static_cast<std::size_t>(at.row)].colors[static_cast<std::size_t>(at.column)];
}

ArtDocument::Rgb ArtDocument::inkAt(Position at) const {
    const Rgb color = colorAt(at);
    return (color >> 24) == 0 ? defaultInk_ : color;
}

ArtDocument::Position ArtDocument::clamped(Position at) const {
    at.row = std::clamp(at.row, 0, rowCount() - 1);
    at.column = std::clamp(at.column, 0, lineLength(at.row));
    return at;
}

std::u16string ArtDocument::selectedText() const {
    return text(offsetOf(selectionStart()), offsetOf(selectionEnd()));
}

void ArtDocument::moveCaret(Position to, bool extend) {
    caret_ = clamped(to);
    if (!extend) anchor_ = caret_;
}

void ArtDocument::select(Position anchor, Position caret) {
    anchor_ = clamped(anchor);
    caret_ = clamped(caret);
}

void ArtDocument::selectAll() {
    select({}, {rowCount() - 1, lineLength(rowCount() - 1)});
}

ArtDocument::Position ArtDocument::stepped(Position from, Step step) const {
    from = clamped(from);
    switch (step) {
    case Step::left:
        if (from.column > 0) return {from.row, from.column - 1};
        return from.row > 0 ? Position{from.row - 1, lineLength(from.row - 1)} : from;
    case Step::right:
        if (from.column < lineLength(from.row)) return {from.row, from.column + 1};
        return from.row + 1 < rowCount() ? Position{from.row + 1, 0} : from;
    case Step::up:
    case Step::down: {
        const int row = std::clamp(from.row + (step == Step::up ? -1 : 1), 0, rowCount() - 1);
        return {row, std::min(from.column, lineLength(row))};
    }
    case Step::lineStart:
        return {from.row, 0};
    case Step::lineEnd:
        return {from.row, lineLength(from.row)};
    case Step::start:
        return {};
    case Step::end:
        return {rowCount() - 1, lineLength(rowCount() - 1)};
    }
    return from;
}

void ArtDocument::removeSelection() {
    if (!hasSelection()) return;
    const Position from = selectionStart();
    const Position to = selectionEnd();
    Line& first = lines_[static_cast<std::size_t>(from.row)];
    const Line& last = lines_[static_cast<std::size_t>(to.row)];
    Line joined;
    joined.text = first.text.substr(0, static_cast<std::size_t>(from.column)) +
                  last.text.substr(static_cast<std::size_t>(to.column));
    joined.colors.assign(first.colors.begin(), first.colors.begin() + from.column);
    joined.colors.insert(joined.colors.end(), last.colors.begin() + to.column, last.colors.end());
    first = std::move(joined);
    lines_.erase(lines_.begin() + from.row + 1, lines_.begin() + to.row + 1);
    anchor_ = caret_ = from;
}

void ArtDocument::insert(const std::u16string& text) {
    removeSelection();
    for (const char16_t c : text) {
        Line& line = lines_[static_cast<std::size_t>(caret_.row)];
        const auto column = static_cast<std::size_t>(caret_.column);
        const Rgb color = column > 0 ? line.colors[column - 1] : kDefaultColor;
        if (c == u'\n' || c == u'\r') {
            Line rest{line.text.substr(column),
                      std::vector<Rgb>(line.colors.begin() + caret_.column, line.colors.end())};
            line.text.resize(column);
            line.colors.resize(column);
            lines_.insert(lines_.begin() + caret_.row + 1, std::move(rest));
            caret_ = {caret_.row + 1, 0};
        } else {
            line.text.insert(line.text.begin() + caret_.column, c);
            line.colors.insert(line.colors.begin() + caret_.column, color);
            ++caret_.column;
        }
    }
    anchor_ = caret_;
}

void ArtDocument::erase(bool backward) {
    if (!hasSelection()) anchor_ = stepped(caret_, backward ? Step::left : Step::right);
    removeSelection();
}

int ArtDocument::characterCount() const {
    return offsetOf({rowCount() - 1, lineLength(rowCount() - 1)});
}

int ArtDocument::offsetOf(Position at) const {
    at = clamped(at);
    int offset = at.column;
    for (int row = 0; row < at.row; ++row)
        offset += lineLength(row) + 1;
    return offset;
}

ArtDocument::Position ArtDocument::positionOf(int offset) const {
    offset = std::max(offset, 0);
    for (int row = 0; row < rowCount(); ++row) {
        if (offset <= lineLength(row)) return {row, offset};
        offset -= lineLength(row) + 1;
    }
    return {rowCount() - 1, lineLength(rowCount() - 1)};
}

std::u16string ArtDocument::text(int from, int to) const {
    const Position a = positionOf(from);
    const Position b = positionOf(std::max(from, to));
    std::u16string out;
    for (int row = a.row; row <= b.row; ++row) {
        const std::u16string& line = lines_[static_cast<std::size_t>(row)].text;
        const int start = row == a.row ? a.column : 0;
        const int end = row == b.row ? b.column : static_cast<int>(line.size());
        out.append(line, static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
        if (row < b.row) out += u'\n';
    }
    return out;
}

void ArtDocument::colorRun(int offset, int& from, int& to) const {
    const Position at = positionOf(offset);
    const int lineStart = offset - at.column;
    const int length = lineLength(at.row);
    if (at.column >= length) { // a line break: a run of its own
        from = lineStart + at.column;
        to = from + 1;
        return;
    }
    const std::vector<Rgb>& colors = lines_[static_cast<std::size_t>(at.row)].colors;
    const Rgb color = colors[static_cast<std::size_t>(at.column)];
    int a = at.column, b = at.column + 1;
    while (a > 0 && colors[static_cast<std::size_t>(a - 1)] == color)
        --a;
    while (b < length && colors[static_cast<std::size_t>(b)] == color)
        ++b;
    from = lineStart + a;
    to = lineStart + b;
}

} // namespace gw::platform
