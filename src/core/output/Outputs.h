#pragma once
// The display texts and document forms of a converted grid, shared by the window and the
// command-line converter so that both give the same bytes. Like every output they cover the
// visible cells only: columns 1 to width2 - 2 and rows 1 to height2 - 2.

#include "engine/CellGrid.h"

#include <string>
#include <vector>

namespace gw {

// A colour with components from 0 to 1.
struct RgbColor {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    friend bool operator==(const RgbColor&, const RgbColor&) = default;
};

// The ink of black-and-white art on `background`, so that it always reads: black when the
// background's brightness, 0.3 red + 0.59 green + 0.11 blue (the engine's weights), is at
// least 0.5, white below. Grey 0.5 exactly takes black ink; pure green (0.59) black, though its
// plain average is a third; magenta (0.41) white, though its average is two thirds.
RgbColor inkOn(const RgbColor& background);

// How the art is drawn in the image formats and named in the documents: the font, its size in
// points (1 to 73; anything else stands for 12), colour per character or, in black and white,
// the ink that contrasts with the background (inkOn).
struct ArtStyle {
    std::string fontName = "Monaco";
    int pointSize = 12;
    bool color = false;
    RgbColor background{1.0, 1.0, 1.0};
};

// A run of the colour display text: characters (UTF-8) sharing one colour, or a line feed,
// which carries none.
struct ColorRun {
    std::string text;
    bool hasColor = false;
    RgbColor color; // data / 256 per component
};

// What the preview shows in black and white: per visible row its characters, then a line feed.
// UTF-8: codes 128 to 255 of the table stand for their Latin-1 characters.
std::string plainDisplayText(const CellGrid& grid);

// What the preview shows in colour: every character in its cell's colour, red = data[x][y][0] /
// 256 and so on; adjacent characters of one colour share a run; line feeds are runs of their own
// without colour.
std::vector<ColorRun> colorDisplayRuns(const CellGrid& grid);

// The HTML page, byte for byte: header declaring UTF-8 with `background` as "#rrggbb", one span per
// visible row, "&nbsp;" for spaces, "&", "<" and ">" escaped, footer. The row's span is black in
// colour, where every character has its own; in black and white it is the ink on `background`.
std::string htmlPage(const CellGrid& grid, bool color, const RgbColor& background);

// The font of an RTF document. Readers take the font table's name literally and answer a name
// that is not installed with a proportional font, whatever the family and pitch say; so the
// table names the installed monospace family that stands in for the chosen font, and the chosen
// name goes along as the alternative.
struct RtfFont {
    std::string chosen;    // the name the user chose
    std::string installed; // the installed family that stands in for it; empty: `chosen`,
                           // or "Courier New" when both are empty
};

// The RTF document of the colour display text in `font` at `pointSize` points: the font table
// names the installed family in the modern (monospace) family, with the chosen name as \falt
// when it differs, one paragraph per visible row, each character in its colour (the display
// text's, rounded to the table's 0 to 255 scale; runs of one colour share one \cf), "\\", "{"
// and "}" escaped, bytes outside printable ASCII as \'hh.
std::string rtfDocument(const CellGrid& grid, const RtfFont& font, int pointSize);
// The same; without `color` every character is in the reader's default colour.
std::string rtfDocument(const CellGrid& grid, const RtfFont& font, int pointSize, bool color);

} // namespace gw
