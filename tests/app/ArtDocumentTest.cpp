// The preview's text without its view: decoding, offsets as screen readers count them, colour
// runs, the caret and the selection, and edits.
#include "platform/ArtDocument.h"
#include "output/Outputs.h"

#include <gtest/gtest.h>

namespace gw::platform {
namespace {

using Position = ArtDocument::Position;
constexpr ArtDocument::Rgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF;

ArtDocument coloured() {
    ArtDocument d;
    d.append("ab", kRed);
    d.append("c\n", kBlue);
    d.append("de\n");
    return d;
}

TEST(ArtDocumentTest, DecodesUtf8IntoUnitsAndBackAndReplacesWhatIsNotUtf8) {
    ArtDocument d;
    d.setText("a\xC3\xA9\n\xF0\x9F\x98\x80z");
    EXPECT_EQ(d.rowCount(), 2);
    EXPECT_EQ(d.lines()[0].text, u"a\u00e9");
    EXPECT_EQ(d.lines()[1].text, u"\U0001F600z"); // a surrogate pair: two units
    EXPECT_EQ(d.utf8(), "a\xC3\xA9\n\xF0\x9F\x98\x80z");
    // A lone continuation byte, a cut sequence, an overlong form and an encoded surrogate.
    d.setText("\x80|\xE2\x82|\xC0\xAF|\xED\xA0\x80");
    EXPECT_EQ(d.lines()[0].text, u"\ufffd|\ufffd|\ufffd|\ufffd");
    // Every unit has its colour; uncoloured text has none.
    const ArtDocument c = coloured();
    EXPECT_EQ(c.colorAt({0, 1}), kRed);
    EXPECT_EQ(c.colorAt({0, 2}), kBlue);
    EXPECT_EQ(c.colorAt({1, 0}), ArtDocument::kDefaultColor);
    EXPECT_EQ(c.colorAt({5, 5}), ArtDocument::kDefaultColor);
    EXPECT_EQ(c.characterAt({0, 3}), 0);
    EXPECT_EQ(std::make_tuple(c.shownRows(), c.rowCount(), c.widestLine()),
              std::make_tuple(2, 3, 3));
}

// Characters without a colour of their own are drawn in the default ink, which the owner sets
// for the background; a new text keeps it.
TEST(ArtDocumentTest, UncolouredCharactersTakeTheDefaultInk) {
    ArtDocument d = coloured();
    EXPECT_EQ(d.inkAt({1, 0}), ArtDocument::kBlack);
    d.setDefaultInk(0x00FFFFFF); // opaque whatever the alpha given
    EXPECT_EQ(d.inkAt({1, 0}), 0xFFFFFFFF);
    EXPECT_EQ(d.inkAt({0, 0}), kRed);
    d.setText("xy\n");
    EXPECT_EQ(d.inkAt({0, 1}), 0xFFFFFFFF);
    EXPECT_EQ(d.colorAt({0, 1}), ArtDocument::kDefaultColor);
}

TEST(ArtDocumentTest, OffsetsCountOneUnitPerLineBreak) {
    const ArtDocument d = coloured(); // "abc\nde\n"
    EXPECT_EQ(d.characterCount(), 7);
    EXPECT_EQ(d.offsetOf({1, 1}), 5);
    EXPECT_EQ(d.positionOf(3), (Position{0, 3}));
    EXPECT_EQ(d.positionOf(4), (Position{1, 0}));
    EXPECT_EQ(d.positionOf(99), (Position{2, 0}));
    EXPECT_EQ(d.text(1, 6), u"bc\nde");
    EXPECT_EQ(d.text(0, d.characterCount()), u"abc\nde\n");
    int from = 0, to = 0;
    d.colorRun(1, from, to);
    EXPECT_EQ(std::make_pair(from, to), std::make_pair(0, 2));
    d.colorRun(2, from, to);
    EXPECT_EQ(std::make_pair(from, to), std::make_pair(2, 3));
    d.colorRun(3, from, to); // the line break
    EXPECT_EQ(std::make_pair(from, to), std::make_pair(3, 4));
}

TEST(ArtDocumentTest, SelectsStepsAndEditsAsATextView) {
    ArtDocument d = coloured();
    d.moveCaret({0, 1}, false);
    d.moveCaret(d.stepped(d.caret(), ArtDocument::Step::down), true);
    EXPECT_EQ(d.selectedText(), u"bc\nd");
    // Typing replaces the selection and takes the colour before it.
    d.insert(u"X\nY");
    EXPECT_EQ(d.utf8(), "aX\nYe\n");
    EXPECT_EQ(d.colorAt({0, 1}), kRed);
    EXPECT_EQ(d.colorAt({1, 0}), ArtDocument::kDefaultColor); // at a line's start
    EXPECT_EQ(d.caret(), (Position{1, 1}));
    d.erase(true);
    d.erase(true); // joins the lines
    EXPECT_EQ(d.utf8(), "aXe\n");
    d.moveCaret(d.stepped(d.caret(), ArtDocument::Step::end), false);
    EXPECT_EQ(d.caret(), (Position{1, 0}));
    EXPECT_EQ(d.stepped(d.caret(), ArtDocument::Step::left), (Position{0, 3}));
    d.selectAll();
    EXPECT_EQ(d.selectedText(), u"aXe\n");
    d.select({7, 7}, {-1, -1}); // clamped
    EXPECT_EQ(std::make_pair(d.anchor(), d.caret()),
              std::make_pair(Position{1, 0}, Position{0, 0}));
    d.setText("new");
    EXPECT_FALSE(d.hasSelection());
    EXPECT_EQ(d.caret(), (Position{0, 0}));
}

// The live preview hands the view lines made straight from the grid; they must be what a
// Preview click builds from the display text, character for character and colour for colour.
TEST(ArtDocumentTest, DisplayLinesAreTheDisplayTextAsAppended) {
    CellGridPtr grid = makeCellGrid();
    ASSERT_TRUE(grid);
    grid->width2 = 9;
    grid->height2 = 5;
    const std::int32_t codes[] = {'@', ' ', 'x', 0xE9, 0xFF, 0x80, '~', '#'};
    for (int y = 0; y < grid->height2; ++y) {
        for (int x = 0; x < grid->width2; ++x) {
            grid->ascii[x][y] = codes[(x + 3 * y) % 8];
            // Neighbours of one colour share a run; samples above 255 are held at 255.
            for (int c = 0; c < 3; ++c)
                grid->data[x][y][c] =
                    static_cast<std::uint64_t>((x / 2 * 37 + y * 91 + c * 53) % 300);
        }
    }
    ArtDocument colour;
    for (const ColorRun& run : colorDisplayRuns(*grid))
        colour.append(run.text, run.hasColor ? ArtDocument::opaque(run.color.red, run.color.green,
                                                                   run.color.blue)
                                             : ArtDocument::kDefaultColor);
    ArtDocument fromLines;
    fromLines.setLines(displayLines(*grid, true));
    ASSERT_EQ(fromLines.rowCount(), colour.rowCount());
    for (int row = 0; row < colour.rowCount(); ++row) {
        const auto r = static_cast<std::size_t>(row);
        EXPECT_EQ(fromLines.lines()[r].text, colour.lines()[r].text) << "row " << row;
        EXPECT_EQ(fromLines.lines()[r].colors, colour.lines()[r].colors) << "row " << row;
    }

    ArtDocument plain;
    plain.setText(plainDisplayText(*grid));
    fromLines.select({1, 1}, {2, 2});
    fromLines.setLines(displayLines(*grid, false));
    EXPECT_EQ(fromLines.utf8(), plain.utf8());
    EXPECT_EQ(fromLines.colorAt({1, 1}), ArtDocument::kDefaultColor);
    EXPECT_FALSE(fromLines.hasSelection()); // as after setText
    EXPECT_EQ(fromLines.caret(), (Position{0, 0}));
}

} // namespace
} // namespace gw::platform
