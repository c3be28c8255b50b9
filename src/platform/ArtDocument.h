#pragma once
// The preview's text as its view edits and reads it, without the view: lines of UTF-16 units
// (the units screen readers and Qt count offsets in), a colour per unit, the caret and the
// selection, and the edits a text view allows. The widget draws it and feeds it input; screen
// readers read it through offsets that count one unit per line break.

#include "engine/CellGrid.h"

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace gw::platform {

class ArtDocument {
public:
    // 0xAARRGGBB; alpha 0 stands for the default ink.
    using Rgb = std::uint32_t;
    static constexpr Rgb kDefaultColor = 0;
    static constexpr Rgb kBlack = 0xFF000000;

    struct Line {
        std::u16string text;
        std::vector<Rgb> colors; // one per unit
    };
    struct Position {
        int row = 0;
        int column = 0; // in UTF-16 units; up to the line's length
        friend auto operator<=>(const Position&, const Position&) = default;
    };
    enum class Step { left, right, up, down, lineStart, lineEnd, start, end };

    ArtDocument() = default;

    // A colour of 0 to 1 components, as the view keeps it.
    static Rgb opaque(double red, double green, double blue);

    // Replaces the text (caret and selection go to the start), or adds to its end. Each UTF-8
    // sequence that is not valid becomes U+FFFD; "\n" breaks lines.
    void setText(const std::string& utf8);
    void append(const std::string& utf8, Rgb color = kDefaultColor);
    // Replaces the text with these lines, as setText does; no lines is an empty text.
    void setLines(std::vector<Line> lines);

    std::string utf8() const;
    const std::vector<Line>& lines() const { return lines_; }
    int rowCount() const { return static_cast<int>(lines_.size()); }
    int lineLength(int row) const;
    // The rows that hold text: a last empty line (after the final line break) is not one.
    int shownRows() const;
    int widestLine() const;
    // The unit at a place and its colour; 0 and kDefaultColor outside the text.
    char16_t characterAt(Position at) const;
    Rgb colorAt(Position at) const;

    // The colour of the characters without one of their own (black and white art, typed text,
    // a page's source): the ink that contrasts with the background, which the owner sets with
    // it. It outlasts setText. inkAt is what a character is drawn in: its colour, or this.
    void setDefaultInk(Rgb ink) { defaultInk_ = ink | 0xFF000000; }
    Rgb defaultInk() const { return defaultInk_; }
    Rgb inkAt(Position at) const;

    // The caret, and the selection from the anchor to it.
    Position caret() const { return caret_; }
    Position anchor() const { return anchor_; }
    bool hasSelection() const { return anchor_ != caret_; }
    Position selectionStart() const { return std::min(anchor_, caret_); }
    Position selectionEnd() const { return std::max(anchor_, caret_); }
    std::u16string selectedText() const;
    // Moves the caret (clamped to the text); `extend` keeps the anchor, so selecting.
    void moveCaret(Position to, bool extend);
    void select(Position anchor, Position caret);
    void selectAll();
    Position stepped(Position from, Step step) const;

    // Typing: replaces the selection; "\n" breaks the line. Typed text takes the colour of the
    // character before it, as a text view's typing attributes.
    void insert(const std::u16string& text);
    // Deletes the selection, or else the unit before (backward) or after the caret.
    void erase(bool backward);

    // Offsets over the whole text, one unit per line break, as screen readers count.
    int characterCount() const;
    int offsetOf(Position at) const;
    Position positionOf(int offset) const; // clamped to the text
    std::u16string text(int from, int to) const;
    // The run of one colour that holds `offset`: [from, to) within its line.
    void colorRun(int offset, int& from, int& to) const;

private:
    Position clamped(Position at) const;
    void removeSelection();

    std::vector<Line> lines_{1};
    Rgb defaultInk_ = kBlack;
    Position anchor_;
    Position caret_;
};

// A grid's display text as a document's lines: the same as appending its plainDisplayText (in
// black and white) or its colorDisplayRuns (in colour, each in ArtDocument::opaque of its
// colour) to an empty document, made straight from the cells.
std::vector<ArtDocument::Line> displayLines(const CellGrid& grid, bool color);

} // namespace gw::platform
