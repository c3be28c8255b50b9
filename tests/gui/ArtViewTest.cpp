// The preview's text view on its own: what screen readers read of it through QAccessible, and
// its glyphs at two device pixels per point.
#include "output/Outputs.h"
#include "platform/qt/QtArtView.h"

#include "TestApplication.h"

#include <QAccessible>
#include <QAccessibleTextInterface>

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>

namespace gw {
namespace {

using platform::qt::QtArtView;

class ArtView : public ::testing::Test {
protected:
    QApplication& application = testing::testApplication();
    QtArtView view;
};

TEST_F(ArtView, ScreenReadersReadItsRowsColoursSelectionAndCaret) {
    // Two rows of three characters, the middle one of the first row red.
    view.appendRuns({{"a", false, {}}, {"b", true, {1.0, 0.0, 0.0}}, {"c\n", false, {}}});
    view.appendPlainText("d e\n");
    view.setBackgroundColor({0.0, 0.0, 0.5, 1.0});
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(accessible, nullptr);
    EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty());
    EXPECT_TRUE(accessible->state().multiLine);
    QAccessibleTextInterface* text = accessible->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->characterCount(), 8);
    EXPECT_EQ(text->text(0, 8).toStdString(), view.plainText());
    EXPECT_EQ(accessible->text(QAccessible::Value).toStdString(), view.plainText());

    // Line by line, as AT-SPI asks: the rows of the plain text.
    std::istringstream rows(view.plainText());
    int start = 0, end = 0;
    for (std::string row; std::getline(rows, row);) {
        const QString line = text->textAtOffset(start, QAccessible::LineBoundary, &start, &end);
        EXPECT_EQ(line.toStdString(), row + "\n");
        start = end;
    }
    EXPECT_EQ(text->textAtOffset(5, QAccessible::LineBoundary, &start, &end), "d e\n");
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(4, 8));
    EXPECT_EQ(text->textBeforeOffset(5, QAccessible::LineBoundary, &start, &end), "abc\n");
    EXPECT_EQ(text->textAtOffset(1, QAccessible::CharBoundary, &start, &end), "b");

    // Each character's colour, and the run of that colour, as text attributes.
    const QString red = text->attributes(1, &start, &end);
    EXPECT_TRUE(red.contains("color:rgb(255,0,0);")) << red.toStdString();
    EXPECT_TRUE(red.contains("background-color:rgb(0,0,128);")) << red.toStdString();
    EXPECT_TRUE(red.contains("font-family:" + view.artFont().family())) << red.toStdString();
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(1, 2));
    EXPECT_TRUE(text->attributes(4, &start, &end).startsWith("color:rgb(0,0,0);"));

    // The selection and the caret, both ways.
    text->setSelection(0, 2, 5);
    EXPECT_EQ(view.selectedText(), "c\nd");
    EXPECT_EQ(text->selectionCount(), 1);
    text->selection(0, &start, &end);
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(2, 5));
    EXPECT_EQ(text->cursorPosition(), 5);
    view.selectAll();
    text->selection(0, &start, &end);
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(0, 8));
    text->setCursorPosition(6);
    EXPECT_EQ(text->selectionCount(), 0);
    EXPECT_EQ(view.document().caret(), (platform::ArtDocument::Position{1, 2}));

    // Geometry: a character's place on the screen finds it again.
    view.show();
    const QRect cell = text->characterRect(5);
    EXPECT_FALSE(cell.isEmpty());
    EXPECT_EQ(text->offsetAtPoint(cell.topLeft() + QPoint(1, 1)), 5);
    view.hide();
}

// White ink on black: what the view paints and what screen readers are told; a coloured
// character keeps its colour.
TEST_F(ArtView, UncolouredTextIsDrawnAndReadInTheTextColour) {
    view.setFont("Monaco", 12);
    view.appendRuns({{"M", false, {}}, {"M\n", true, {1.0, 0.0, 0.0}}});
    view.setBackgroundColor({0.0, 0.0, 0.0, 1.0});
    view.setTextColor({1.0, 1.0, 1.0, 1.0});
    const QImage image = view.paintedImage(QRect(QPoint(0, 0), view.size()), 1.0);
    int white = 0, red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            white += p == qRgb(255, 255, 255);
            red += p == qRgb(255, 0, 0);
        }
    }
    EXPECT_GT(white, 0);
    EXPECT_GT(red, 0);
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&view)->textInterface();
    ASSERT_NE(text, nullptr);
    int start = 0, end = 0;
    EXPECT_TRUE(text->attributes(0, &start, &end).startsWith("color:rgb(255,255,255);"));
    EXPECT_TRUE(text->attributes(1, &start, &end).startsWith("color:rgb(255,0,0);"));
}

TEST_F(ArtView, EveryFontOfTheMenuIsShownInItsStandIn) {
    for (const char* name : {"Monaco", "Courier", "Courier New", "Andale Mono", ""}) {
        view.setFont(name, 12);
        EXPECT_FALSE(view.standIn().file.empty()) << name;
        EXPECT_EQ(view.artFont().family().toStdString(), view.standIn().family) << name;
    }
}

struct Ink {
    int pixels = 0;  // any coverage
    int partial = 0; // neither background nor full ink
    QRect box;
};

Ink inkOf(const QImage& image) {
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int v = qGray(image.pixel(x, y)); // black on white
            if (v > 250) continue;
            ++ink.pixels;
            if (v > 5) ++ink.partial;
            ink.box |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

TEST_F(ArtView, AtTwoDevicePixelsPerPointGlyphsHaveTwiceTheDetailNotAScaledCopy) {
    view.setFont("Monaco", 12);
    view.setPlainText("M@#\n");
    const QRect area(QPoint(0, 0), view.size());
    const QImage one = view.paintedImage(area, 1.0);
    const QImage two = view.paintedImage(area, 2.0);
    EXPECT_EQ(two.size(), one.size() * 2);
    EXPECT_EQ(two.devicePixelRatio(), 2.0);
    const Ink a = inkOf(one), b = inkOf(two);
    ASSERT_GT(a.pixels, 0);
    // Twice the pixels each way: the ink box twice as large, four times the inked pixels.
    EXPECT_NEAR(b.box.width(), 2 * a.box.width(), 3);
    EXPECT_NEAR(b.box.height(), 2 * a.box.height(), 3);
    EXPECT_GT(b.pixels, 3 * a.pixels);
    EXPECT_LT(b.pixels, 5 * a.pixels);
    // Drawn, not enlarged: the soft edge stays about a pixel wide, so the share of partly
    // covered pixels falls; an enlarged copy keeps it (or widens it, when smoothed).
    const Ink scaled =
        inkOf(one.scaled(two.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    const double share = double(b.partial) / b.pixels;
    EXPECT_LT(share, 0.8 * double(a.partial) / a.pixels);
    EXPECT_LT(share, 0.8 * double(scaled.partial) / scaled.pixels);
}

// A colourful text of `rows` rows of `columns` characters; `seed` varies characters and colours.
std::vector<platform::ArtDocument::Line> artLines(int rows, int columns, unsigned seed) {
    std::vector<platform::ArtDocument::Line> lines(static_cast<std::size_t>(rows) + 1);
    const std::u16string set = u"@#%*+=-:. MWxo&$|/\\()\u00e9";
    for (int row = 0; row < rows; ++row) {
        auto& line = lines[static_cast<std::size_t>(row)];
        for (int column = 0; column < columns; ++column) {
            const unsigned v =
                (static_cast<unsigned>(row * 131 + column * 17) ^ seed) * 2654435761u;
            line.text += set[(v >> 8) % set.size()];
            line.colors.push_back(0xFF000000u | (v & 0x00FFFFFFu));
        }
    }
    return lines;
}

// Painting in bands of rows on several threads gives the pixels of one thread, at one and at
// two device pixels per point, for the whole view and for an area inside it.
TEST_F(ArtView, BandsPaintTheSamePixelsAsOneThread) {
    view.setFont("Monaco", 12);
    view.setLines(artLines(40, 60, 7));
    view.setBackgroundColor({0.1, 0.2, 0.3, 1.0});
    for (const qreal ratio : {1.0, 2.0}) {
        for (const QRect& area : {QRect(QPoint(0, 0), view.size()), QRect(13, 27, 201, 149)}) {
            view.setPaintThreads(1);
            const QImage one = view.paintedImage(area, ratio).copy();
            for (const int threads : {2, 3, 7}) {
                view.setPaintThreads(threads);
                EXPECT_TRUE(view.paintedImage(area, ratio) == one)
                    << threads << " threads at " << ratio;
            }
        }
    }
}

// A new text of the same shape repaints only the cells that changed, in the last paint's
// buffer; the result is the whole repaint's, pixel for pixel: a few changes (the cells
// themselves), changes at the edges of the view, and changes everywhere.
TEST_F(ArtView, ChangedCellsRepaintEqualsAWholeRepaint) {
    struct Case {
        const char* name;
        std::function<void(std::vector<platform::ArtDocument::Line>&)> change;
    };
    const std::vector<Case> cases = {
        {"a few cells",
         [](auto& lines) {
             lines[3].text[5] = u'@';
             lines[3].text[6] = u' ';
             lines[10].colors[20] = 0xFF00FF00u;
             lines[11].text[21] = u'W';
         }},
        {"the edges",
         [](auto& lines) {
             lines[0].text[0] = u'M';
             lines[0].text[59] = u'#';
             lines[39].text[0] = u'|';
             lines[39].colors[59] ^= 0x00FFFFFFu;
         }},
        {"everywhere", [](auto& lines) { lines = artLines(40, 60, 99); }},
    };
    for (const qreal ratio : {1.0, 2.0}) {
        for (const Case& c : cases) {
            QtArtView changed;
            changed.setFont("Monaco", 12);
            changed.setBackgroundColor({1.0, 1.0, 1.0, 1.0});
            auto lines = artLines(40, 60, 7);
            changed.setLines(lines);
            const QRect area(QPoint(0, 0), changed.size());
            (void)changed.paintedImage(area, ratio);
            c.change(lines);
            changed.setLines(lines);

            QtArtView whole;
            whole.setFont("Monaco", 12);
            whole.setBackgroundColor({1.0, 1.0, 1.0, 1.0});
            whole.setLines(lines);
            EXPECT_TRUE(changed.paintedImage(area, ratio) == whole.paintedImage(area, ratio))
                << c.name << " at " << ratio;
        }
    }
}

} // namespace
} // namespace gw
