#pragma once
// The preview's text view. Character art is a grid of up to 130,000 characters, each in its own
// colour; a rich-text document with a format per character takes about a second to build and
// lay out, so this view keeps the text as lines of characters with a colour each and draws only
// the part that is exposed, from cached glyph coverage. It lays the text out and draws it as the
// TIFF image does (same font, pitches and glyphs), so the preview shows what the image holds;
// characters outside Latin-1, which only typing can bring in, are drawn by Qt. The user can
// select (mouse, Shift with the arrow keys, Ctrl+A), copy (Ctrl+C, the context menu, and the
// X11 selection) and, when editable, type, delete and break lines.

#include "platform/Window.h"
#include "render/TextRaster.h"

#include <QColor>
#include <QFont>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace gw::platform::qt {

class QtArtView final : public QWidget, public TextView {
public:
    explicit QtArtView(QWidget* parent = nullptr);

    void setPlainText(const std::string& text) override;
    void appendPlainText(const std::string& text) override;
    void appendRuns(const std::vector<TextRun>& runs) override;
    std::string plainText() const override;
    void setFont(const std::string& name, int pointSize) override;
    void setBackgroundColor(const Color& color) override;
    void setEditable(bool editable) override { editable_ = editable; }
    void setSelectable(bool selectable) override;
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame) override;

    // For tests and the window: the character and colour at a place of the text (an invalid
    // colour for the default one), the font family in use, the selection's text.
    QChar characterAt(int row, int column) const;
    QColor colorAt(int row, int column) const;
    const QFont& artFont() const { return font_; }
    QString selectedText() const;
    void selectAll();
    // Where the character at (row, column) is drawn, in the view's coordinates.
    QPoint cellOrigin(int row, int column) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Line {
        QString text;
        std::vector<QRgb> colors; // one per UTF-16 unit; alpha 0: the default text colour
    };
    struct Position {
        int row = 0;
        int column = 0;
        friend auto operator<=>(const Position&, const Position&) = default;
    };
    struct Glyph {
        int dx = 0; // mask origin from the cell's top-left corner, device pixels
        int dy = 0;
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> coverage;
    };

    void appendUtf8(const std::string& text, QRgb color);
    void textChanged();
    void adjustSize();
    int rowTop(int row) const;
    Position positionAt(QPointF point) const;
    void moveCursor(Position to, bool extend);
    Position stepped(Position from, int key) const;
    void insertText(const QString& text);
    void removeSelection();
    void copySelection(bool toX11Selection) const;
    bool hasSelection() const { return anchor_ != cursor_; }
    const Glyph& fallbackGlyph(char16_t c);

    std::vector<Line> lines_{1};
    QFont font_;
    render::ResolvedFont resolved_;
    int pointSize_ = 0;
    std::unique_ptr<render::GlyphSource> glyphs_;
    render::TextLayout layout_;
    QColor background_{Qt::white};
    QColor textColor_{Qt::black};
    bool editable_ = false;
    bool selectable_ = true;
    Rect frame_;
    Position anchor_;
    Position cursor_;
    std::unordered_map<char16_t, Glyph> fallback_;
};

} // namespace gw::platform::qt
