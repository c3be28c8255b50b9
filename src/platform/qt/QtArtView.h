#pragma once
// The preview's text view. Character art is a grid of up to 130,000 characters, each in its own
// colour; a rich-text document with a format per character takes about a second to build and
// lay out, so this view keeps the text in an ArtDocument (lines of characters with a colour
// each, the caret and the selection) and draws only the part that is exposed, from cached glyph
// coverage. It lays the text out as the TIFF image does (same font, pitches and glyphs), in
// points, and rasterises the glyphs at the screen's device pixel ratio, so that a high-density
// screen shows them as sharp as the text around them; characters outside Latin-1, which only
// typing can bring in, are drawn by Qt. The user can select (mouse, Shift with the arrow keys,
// Ctrl+A), copy (Ctrl+C, the context menu, and the X11 selection) and, when editable, type,
// delete and break lines. Screen readers read it through Qt's accessible text interface: the
// text, its lines, each character's colour, the selection and the caret.

#include "platform/ArtDocument.h"
#include "platform/Window.h"
#include "render/TextRaster.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace gw::platform::qt {

class QtArtView final : public QWidget, public TextView {
public:
    explicit QtArtView(QWidget* parent = nullptr);

    void setPlainText(const std::string& text) override;
    void setLines(std::vector<ArtDocument::Line> lines) override;
    void appendPlainText(const std::string& text) override;
    void appendRuns(const std::vector<TextRun>& runs) override;
    std::string plainText() const override;
    void setFont(const std::string& name, int pointSize) override;
    void setBackgroundColor(const Color& color) override;
    void setTextColor(const Color& color) override;
    void setEditable(bool editable) override { editable_ = editable; }
    void setSelectable(bool selectable) override;
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame) override;

    const ArtDocument& document() const { return document_; }
    bool isEditable() const { return editable_; }
    bool isSelectable() const { return selectable_; }
    // For tests and the window: the character and colour at a place of the text (an invalid
    // colour for the default one; the document's defaultInk is that), the font in use and the
    // font that it stands in for.
    QChar characterAt(int row, int column) const;
    QColor colorAt(int row, int column) const;
    const QFont& artFont() const { return font_; }
    const render::ResolvedFont& standIn() const { return resolved_; }
    QColor backgroundColor() const { return background_; }
    QString selectedText() const;
    void selectAll();
    // Selection and caret by the accessible interface: offsets count a unit per line break.
    void setSelection(int anchorOffset, int caretOffset);
    void scrollToOffset(int offset);
    // Where the character at (row, column) is drawn, in the view's coordinates, and the place
    // of the text nearest to a point of the view.
    QPoint cellOrigin(int row, int column) const;
    QRect cellRect(int row, int column) const;
    ArtDocument::Position positionAt(QPointF point) const;

    // The view's `area` (in points) as it paints it at `ratio` device pixels per point.
    QImage paintedImage(const QRect& area, qreal ratio);
    // How many threads paint an area, in bands of rows; 0 (the default) lets the view choose:
    // one per core for a large area, one for a small.
    void setPaintThreads(int threads);

    QSize sizeHint() const override;
    // The art as laid out in the current font, whatever frame was set.
    QSize artSize() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    using Position = ArtDocument::Position;
    struct Glyph {
        int dx = 0; // mask origin from the pen on the baseline, device pixels
        int dy = 0;
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> coverage;
    };

    struct PaintJob;
    // Cells of one row, first to last, changed since the last paint.
    struct CellSpan {
        int row = 0;
        int first = 0;
        int last = 0;
    };
    static constexpr int kThreadedPixels = 256 * 256;
    static constexpr int kMaxPaintThreads = 8;
    static constexpr int kSpanGap = 4;
    static constexpr std::size_t kMaxSpans = 256;

    void makeGlyphs(PaintJob& job, int firstRow, int lastRow, int firstColumn, int lastColumn);
    void repaintSpans(PaintJob& job, const std::vector<CellSpan>& spans);
    void paintBand(const PaintJob& job, const QRect& clip, int firstRow, int lastRow,
                   int firstColumn, int lastColumn) const;
    void replaced(const std::vector<ArtDocument::Line>& before, bool marked);
    void repaintAll();
    void textChanged(bool repaintAll = true);
    void adjustSize();
    int rowTop(int row) const;
    void moveCursor(Position to, bool extend);
    void copySelection(bool toX11Selection) const;
    void announceCaret();
    // The glyphs at `ratio` device pixels per point, made when the ratio changes.
    render::GlyphSource* glyphsAt(qreal ratio);
    const Glyph& fallbackGlyph(char16_t c, qreal ratio);

    ArtDocument document_;
    QFont font_;
    render::ResolvedFont resolved_;
    std::string requestedFont_; // the name resolved_ was looked up for
    int pointSize_ = 0;
    std::unique_ptr<render::GlyphSource> glyphs_; // at one pixel per point: the layout's
    render::TextLayout layout_;
    std::unique_ptr<render::GlyphSource> deviceGlyphs_;
    qreal deviceRatio_ = 0.0;   // of deviceGlyphs_
    qreal fallbackRatio_ = 0.0; // of fallback_
    QColor background_{Qt::white};
    bool editable_ = false;
    bool selectable_ = true;
    Rect frame_;
    std::unordered_map<char16_t, Glyph> fallback_;
    QString announcedText_;
    QImage paintBuffer_;
    int paintThreads_ = 0;
    // What paintBuffer_ holds: the area last painted, at its ratio and layout, as the text was
    // then except for the cells in dirty_.
    bool paintValid_ = false;
    QRect paintedArea_;
    qreal paintedRatio_ = 0.0;
    render::TextLayout paintedLayout_;
    std::vector<CellSpan> dirty_;
};

} // namespace gw::platform::qt
