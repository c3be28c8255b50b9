#include "platform/qt/QtArtView.h"

#include "render/FontResolver.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>

#include <algorithm>
#include <cmath>

namespace gw::platform::qt {

namespace {

using Position = ArtDocument::Position;

// Room left of the text, in points, when no font file is at hand.
constexpr double kPadding = 5.0;

ArtDocument::Rgb opaque(const RgbColor& c) {
    const auto channel = [](double v) {
        return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    };
    return qRgb(channel(c.red), channel(c.green), channel(c.blue));
}

QColor toQColor(const Color& c) {
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green),
                            static_cast<float>(c.blue), 1.0f);
}

QString toQString(const std::u16string& s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

QString cssColor(const QColor& c) {
    return QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// What screen readers see of the view: its text through offsets, a unit per line break; each
// character's colour and the font as text attributes, in the CSS form that Qt's AT-SPI bridge
// turns into "fg-color", "bg-color", "family-name" and "size".
class ArtViewAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ArtViewAccessible(QtArtView* view)
        : QAccessibleWidget(view, QAccessible::EditableText) {}

    QtArtView* view() const { return static_cast<QtArtView*>(widget()); }
    const ArtDocument& document() const { return view()->document(); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.multiLine = true;
        s.editable = view()->isEditable();
        s.readOnly = !view()->isEditable();
        s.selectableText = view()->isSelectable();
        return s;
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return text(0, characterCount());
        return QAccessibleWidget::text(t);
    }

    void selection(int index, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        if (index != 0 || !document().hasSelection()) return;
        *startOffset = document().offsetOf(document().selectionStart());
        *endOffset = document().offsetOf(document().selectionEnd());
    }
    int selectionCount() const override { return document().hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override {
        view()->setSelection(startOffset, endOffset);
    }
    void removeSelection(int index) override {
        if (index == 0) view()->setSelection(cursorPosition(), cursorPosition());
    }
    void setSelection(int index, int startOffset, int endOffset) override {
        if (index == 0) view()->setSelection(startOffset, endOffset);
    }
    int cursorPosition() const override { return document().offsetOf(document().caret()); }
    void setCursorPosition(int position) override { view()->setSelection(position, position); }

    QString text(int startOffset, int endOffset) const override {
        return toQString(document().text(startOffset, endOffset));
    }
    int characterCount() const override { return document().characterCount(); }

    // Lines are the document's rows, each with its line break, as AT-SPI reads them.
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                         int* endOffset) const override {
        if (boundary != QAccessible::LineBoundary)
            return QAccessibleTextInterface::textAtOffset(offset, boundary, startOffset, endOffset);
        return line(document().positionOf(offset).row, startOffset, endOffset);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                             int* endOffset) const override {
        if (boundary != QAccessible::LineBoundary)
            return QAccessibleTextInterface::textBeforeOffset(offset, boundary, startOffset,
                                                              endOffset);
        return line(document().positionOf(offset).row - 1, startOffset, endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* startOffset,
                            int* endOffset) const override {
        if (boundary != QAccessible::LineBoundary)
            return QAccessibleTextInterface::textAfterOffset(offset, boundary, startOffset,
                                                             endOffset);
        return line(document().positionOf(offset).row + 1, startOffset, endOffset);
    }

    QRect characterRect(int offset) const override {
        const Position at = document().positionOf(offset);
        const QRect cell = view()->cellRect(at.row, at.column);
        return {view()->mapToGlobal(cell.topLeft()), cell.size()};
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint local = view()->mapFromGlobal(point);
        if (!view()->rect().contains(local)) return -1;
        return document().offsetOf(view()->positionAt(local));
    }
    void scrollToSubstring(int startIndex, int /*endIndex*/) override {
        view()->scrollToOffset(startIndex);
    }

    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        if (offset < 0 || offset > characterCount()) return {};
        document().colorRun(offset, *startOffset, *endOffset);
        const QColor color(document().inkAt(document().positionOf(offset)));
        QString family = view()->artFont().family();
        family.replace(u';', u' ').replace(u':', u' ');
        return QStringLiteral("color:%1;background-color:%2;font-family:%3;font-size:%4pt;")
            .arg(cssColor(color), cssColor(view()->backgroundColor()), family)
            .arg(view()->artFont().pixelSize());
    }

private:
    QString line(int row, int* startOffset, int* endOffset) const {
        const ArtDocument& doc = document();
        if (row < 0 || row >= doc.rowCount()) {
            *startOffset = *endOffset = -1;
            return {};
        }
        *startOffset = doc.offsetOf({row, 0});
        *endOffset = row + 1 < doc.rowCount() ? doc.offsetOf({row + 1, 0}) : doc.characterCount();
        return text(*startOffset, *endOffset);
    }
};

QAccessibleInterface* artViewAccessible(const QString& /*className*/, QObject* object) {
    if (auto* view = dynamic_cast<QtArtView*>(object)) return new ArtViewAccessible(view);
    return nullptr;
}

} // namespace

QtArtView::QtArtView(QWidget* parent) : QWidget(parent) {
    static const bool installed = (QAccessible::installFactory(artViewAccessible), true);
    (void)installed;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    setAccessibleName("Converted picture");
    setAccessibleDescription("The picture as characters");
    setFont("Monaco", 12);
}

void QtArtView::setPlainText(const std::string& text) {
    document_.setText(text);
    textChanged();
}

void QtArtView::appendPlainText(const std::string& text) {
    document_.append(text);
    textChanged();
}

void QtArtView::appendRuns(const std::vector<TextRun>& runs) {
    for (const TextRun& run : runs)
        document_.append(run.text, run.hasColor ? opaque(run.color) : ArtDocument::kDefaultColor);
    textChanged();
}

std::string QtArtView::plainText() const {
    return document_.utf8();
}

void QtArtView::setFont(const std::string& name, int pointSize) {
    pointSize = std::max(1, pointSize);
    // Asked again for the font in use (every refresh of a live preview): nothing to look up.
    if (glyphs_ && name == requestedFont_ && pointSize == pointSize_) return;
    requestedFont_ = name;
    render::ResolvedFont resolved = render::resolveMonospaceFont(name);
    if (glyphs_ && resolved.file == resolved_.file && resolved.faceIndex == resolved_.faceIndex &&
        pointSize == pointSize_)
        return;
    resolved_ = std::move(resolved);
    pointSize_ = pointSize;
    // Points are pixels, as the frame and the TIFF image count them.
    font_ = QFont(QString::fromStdString(resolved_.family.empty() ? name : resolved_.family));
    font_.setStyleHint(QFont::Monospace);
    font_.setFixedPitch(true);
    font_.setKerning(false);
    font_.setPixelSize(pointSize);
    std::string error;
    glyphs_ = render::GlyphSource::open(resolved_, pointSize, error);
    deviceGlyphs_.reset();
    deviceRatio_ = 0.0;
    fallback_.clear();
    textChanged();
}

void QtArtView::setBackgroundColor(const Color& color) {
    background_ = toQColor(color);
    update();
}

void QtArtView::setTextColor(const Color& color) {
    document_.setDefaultInk(toQColor(color).rgb());
    update();
}

void QtArtView::setSelectable(bool selectable) {
    selectable_ = selectable;
    if (!selectable) document_.moveCaret(document_.caret(), false);
    update();
}

void QtArtView::setFrame(const Rect& frame) {
    frame_ = frame;
    adjustSize();
}

void QtArtView::textChanged() {
    adjustSize();
    update();
    if (QAccessible::isActive()) {
        // Screen readers are told what went and what came; the text last told is kept for that
        // only while one listens.
        QString now = toQString(document_.text(0, document_.characterCount()));
        QAccessibleTextUpdateEvent event(this, 0, announcedText_, now);
        QAccessible::updateAccessibility(&event);
        announcedText_ = std::move(now);
    }
}

// Laid out as the TIFF image lays out a grid of the text's size: the display text of a grid
// has width2 - 2 columns and height2 - 2 rows, and ends with a line feed.
QSize QtArtView::artSize() const {
    const int columns = document_.widestLine();
    const int rows = document_.shownRows();
    const double width =
        layout_.left + columns * layout_.columnPitch + (glyphs_ ? glyphs_->metrics().inkRight : 0);
    const double height = rowTop(rows) + layout_.rowPitch;
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

QSize QtArtView::sizeHint() const {
    return artSize().expandedTo(
        {static_cast<int>(std::ceil(frame_.width)), static_cast<int>(std::ceil(frame_.height))});
}

void QtArtView::adjustSize() {
    const int columns = document_.widestLine();
    const int rows = document_.shownRows();
    if (glyphs_) {
        layout_ = render::layoutText(glyphs_->metrics(), std::min(columns + 2, kGridCapacity),
                                     std::min(rows + 2, kGridRowCapacity), pointSize_);
    } else {
        // No font file at all: Qt's metrics, at the frame's own pitches.
        const QFontMetricsF metrics(font_);
        layout_ = {};
        layout_.left = kPadding;
        layout_.columnPitch = metrics.horizontalAdvance(QChar('M'));
        layout_.rowPitch = metrics.lineSpacing();
        layout_.firstBaseline = static_cast<int>(std::ceil(metrics.ascent()));
    }
    const QSize size = sizeHint();
    if (size != QWidget::size()) resize(size);
}

int QtArtView::rowTop(int row) const {
    return layout_.baseline(row) - layout_.firstBaseline;
}

QPoint QtArtView::cellOrigin(int row, int column) const {
    return {layout_.penX(column) / render::kSubpixelPhases, rowTop(row)};
}

QRect QtArtView::cellRect(int row, int column) const {
    const QPoint origin = cellOrigin(row, column);
    const QPoint next = cellOrigin(row + 1, column + 1);
    return {origin, QSize(std::max(next.x() - origin.x(), 1), std::max(next.y() - origin.y(), 1))};
}

render::GlyphSource* QtArtView::glyphsAt(qreal ratio) {
    if (ratio == 1.0 || !glyphs_) return glyphs_.get();
    if (ratio != deviceRatio_) {
        std::string error;
        deviceGlyphs_ = render::GlyphSource::open(
            resolved_, std::max(1, static_cast<int>(std::lround(pointSize_ * ratio))), error);
        deviceRatio_ = ratio;
    }
    return deviceGlyphs_ ? deviceGlyphs_.get() : glyphs_.get();
}

// A character the font's Latin-1 cache cannot give, drawn by Qt once at the current ratio.
const QtArtView::Glyph& QtArtView::fallbackGlyph(char16_t c, qreal ratio) {
    if (ratio != fallbackRatio_) {
        fallback_.clear();
        fallbackRatio_ = ratio;
    }
    const auto found = fallback_.find(c);
    if (found != fallback_.end()) return found->second;
    QFont font = font_;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pointSize_ * ratio))));
    const int margin = font.pixelSize() + 2;
    const int baseline = 2 * margin;
    QImage canvas(static_cast<int>(std::ceil(layout_.columnPitch * ratio)) + 2 * margin, 3 * margin,
                  QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(margin, baseline), QString(QChar(c)));
    }
    int left = canvas.width(), right = -1, top = canvas.height(), bottom = -1;
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            if (qAlpha(row[x]) == 0) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    Glyph g;
    if (right >= left) {
        g.dx = left - margin;
        g.dy = top - baseline;
        g.width = right - left + 1;
        g.height = bottom - top + 1;
        g.coverage.resize(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height));
        for (int y = 0; y < g.height; ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(top + y));
            for (int x = 0; x < g.width; ++x)
                g.coverage[static_cast<std::size_t>(y * g.width + x)] =
                    static_cast<std::uint8_t>(qAlpha(row[left + x]));
        }
    }
    return fallback_.emplace(c, std::move(g)).first->second;
}

QImage QtArtView::paintedImage(const QRect& area, qreal ratio) {
    // Positions are the layout's, in points, times the ratio; the glyphs are rasterised at the
    // ratio's pixel size rather than scaled, so a 2x screen gets glyphs of twice the detail.
    ratio = ratio > 0.0 ? ratio : 1.0;
    const int originX = static_cast<int>(std::lround(area.left() * ratio));
    const int originY = static_cast<int>(std::lround(area.top() * ratio));
    const QSize pixels(std::max(1, static_cast<int>(std::ceil(area.width() * ratio))),
                       std::max(1, static_cast<int>(std::ceil(area.height() * ratio))));
    // The last paint's buffer is reused while it has the size: a window's worth of fresh
    // pixels costs the system more than filling them. Shared with a caller that kept the last
    // image, it is copied first, as any QImage is.
    if (paintBuffer_.size() != pixels) paintBuffer_ = QImage(pixels, QImage::Format_RGB32);
    QImage& canvas = paintBuffer_;
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(background_);
    render::GlyphSource* source = glyphsAt(ratio);
    const auto penAt = [&](int column) { // quarter device pixels
        return static_cast<int>(std::floor((layout_.left + column * layout_.columnPitch) * ratio *
                                           render::kSubpixelPhases));
    };
    const auto yAt = [&](int y) { return static_cast<int>(std::lround(y * ratio)); };

    const double rowPitch = std::max(layout_.rowPitch, 1.0);
    const double columnPitch = std::max(layout_.columnPitch, 0.25);
    const int firstRow = std::max(0, static_cast<int>(std::floor(area.top() / rowPitch)) - 2);
    const int lastRow = std::min(document_.rowCount() - 1,
                                 static_cast<int>(std::ceil(area.bottom() / rowPitch)) + 2);
    const int firstColumn =
        std::max(0, static_cast<int>(std::floor((area.left() - layout_.left) / columnPitch)) - 4);
    const int lastColumn =
        static_cast<int>(std::ceil((area.right() - layout_.left) / columnPitch)) + 4;
    const bool selection = document_.hasSelection();
    const Position selFrom = document_.selectionStart();
    const Position selTo = document_.selectionEnd();
    const QColor highlight = palette().color(QPalette::Highlight);
    const QRgb highlightedText = palette().color(QPalette::HighlightedText).rgb();
    const QRgb defaultText = document_.defaultInk();
    const int canvasWidth = canvas.width();
    const int canvasHeight = canvas.height();

    for (int row = firstRow; row <= lastRow; ++row) {
        const ArtDocument::Line& line = document_.lines()[static_cast<std::size_t>(row)];
        const int length = static_cast<int>(line.text.size());
        // The selection's background first, under the characters.
        if (selection && selFrom.row <= row && row <= selTo.row) {
            const int a = selFrom.row == row ? selFrom.column : 0;
            const int b = selTo.row == row ? selTo.column : length + 1;
            if (b > a) {
                QPainter painter(&canvas);
                painter.resetTransform();
                const int x0 = penAt(a) / render::kSubpixelPhases;
                const int x1 = penAt(b) / render::kSubpixelPhases;
                const int y0 = yAt(rowTop(row));
                painter.fillRect(x0 - originX, y0 - originY, x1 - x0, yAt(rowTop(row + 1)) - y0,
                                 highlight);
            }
        }
        const int baseline = yAt(layout_.baseline(row)) - originY;
        const int end = std::min(lastColumn, length - 1);
        for (int column = firstColumn; column <= end; ++column) {
            const char16_t c = line.text[static_cast<std::size_t>(column)];
            if (c <= u' ') continue;
            const int pen = penAt(column);
            int x0 = pen / render::kSubpixelPhases - originX;
            int y0 = baseline;
            const std::uint8_t* coverage = nullptr;
            int width = 0, height = 0;
            if (const render::GlyphBitmap* g = source != nullptr && c <= 0xFF
                                                   ? source->glyph(c, pen % render::kSubpixelPhases)
                                                   : nullptr) {
                x0 += g->left;
                y0 -= g->top;
                coverage = g->coverage.data();
                width = g->width;
                height = g->rows;
            } else if (c > 0xFF || source == nullptr) {
                const Glyph& f = fallbackGlyph(c, ratio);
                x0 += f.dx;
                y0 += f.dy;
                coverage = f.coverage.data();
                width = f.width;
                height = f.height;
            }
            if (width == 0 || height == 0) continue;
            const Position here{row, column};
            const bool selected = selection && selFrom <= here && here < selTo;
            QRgb color = line.colors[static_cast<std::size_t>(column)];
            if (qAlpha(color) == 0) color = selected ? highlightedText : defaultText;
            const int cr = qRed(color), cg = qGreen(color), cb = qBlue(color);
            const QRgb solid = qRgb(cr, cg, cb);
            const int xBegin = std::max(0, -x0);
            const int xEnd = std::min(width, canvasWidth - x0);
            const int yEnd = std::min(height, canvasHeight - y0);
            for (int y = std::max(0, -y0); y < yEnd; ++y) {
                auto* out = reinterpret_cast<QRgb*>(canvas.scanLine(y0 + y));
                const std::uint8_t* in = coverage + static_cast<std::ptrdiff_t>(y) * width;
                for (int x = xBegin; x < xEnd; ++x) {
                    const int a = in[x];
                    if (a == 0) continue;
                    QRgb& p = out[x0 + x];
                    if (a == 255) { // the same as the blend below, without its arithmetic
                        p = solid;
                        continue;
                    }
                    // (c * a + p * (255 - a) + 127) / 255 per channel, red and blue side by
                    // side in one word: each lane's sum stays below 65536, and
                    // (x + 128 + ((x + 128) >> 8)) >> 8 is that quotient for every such x.
                    const auto ua = static_cast<std::uint32_t>(a);
                    const std::uint32_t na = 255u - ua;
                    std::uint32_t rb = (solid & 0x00FF00FFu) * ua + (p & 0x00FF00FFu) * na;
                    std::uint32_t g = (solid & 0x0000FF00u) * ua + (p & 0x0000FF00u) * na;
                    rb += 0x00800080u;
                    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
                    g += 0x00008000u;
                    g = ((g + ((g >> 8) & 0x0000FF00u)) >> 8) & 0x0000FF00u;
                    p = 0xFF000000u | rb | g;
                }
            }
        }
    }
    return canvas;
}

void QtArtView::paintEvent(QPaintEvent* event) {
    const QRect exposed = event->rect();
    QPainter painter(this);
    painter.drawImage(exposed.topLeft(),
                      paintedImage(exposed, painter.device()->devicePixelRatio()));
    if (editable_ && hasFocus()) {
        const QPoint caret = cellOrigin(document_.caret().row, document_.caret().column);
        painter.fillRect(caret.x(), caret.y(), 1, rowTop(document_.caret().row + 1) - caret.y(),
                         QColor(document_.defaultInk()));
    }
}

Position QtArtView::positionAt(QPointF point) const {
    const int row =
        std::clamp(static_cast<int>(std::floor(point.y() / std::max(layout_.rowPitch, 1.0))), 0,
                   document_.rowCount() - 1);
    const int column =
        std::clamp(static_cast<int>(std::lround((point.x() - layout_.left) /
                                                std::max(layout_.columnPitch, 0.25))),
                   0, document_.lineLength(row));
    return {row, column};
}

void QtArtView::announceCaret() {
    if (!QAccessible::isActive()) return;
    if (document_.hasSelection()) {
        QAccessibleTextSelectionEvent selection(this,
                                                document_.offsetOf(document_.selectionStart()),
                                                document_.offsetOf(document_.selectionEnd()));
        selection.setCursorPosition(document_.offsetOf(document_.caret()));
        QAccessible::updateAccessibility(&selection);
    }
    QAccessibleTextCursorEvent cursor(this, document_.offsetOf(document_.caret()));
    QAccessible::updateAccessibility(&cursor);
}

void QtArtView::moveCursor(Position to, bool extend) {
    document_.moveCaret(to, extend && selectable_);
    update();
    announceCaret();
}

void QtArtView::setSelection(int anchorOffset, int caretOffset) {
    const Position caret = document_.positionOf(caretOffset);
    document_.select(selectable_ ? document_.positionOf(anchorOffset) : caret, caret);
    update();
    announceCaret();
}

void QtArtView::scrollToOffset(int offset) {
    const Position at = document_.positionOf(offset);
    const QRect cell = cellRect(at.row, at.column);
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(w)) {
            area->ensureVisible(cell.center().x(), cell.center().y(), cell.width(), cell.height());
            return;
        }
    }
}

void QtArtView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    moveCursor(positionAt(event->position()), event->modifiers() & Qt::ShiftModifier);
}

void QtArtView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) moveCursor(positionAt(event->position()), true);
}

void QtArtView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && document_.hasSelection()) copySelection(true);
}

QString QtArtView::selectedText() const {
    return toQString(document_.selectedText());
}

void QtArtView::selectAll() {
    if (!selectable_) return;
    document_.selectAll();
    update();
    announceCaret();
}

void QtArtView::copySelection(bool toX11Selection) const {
    if (!document_.hasSelection()) return;
    QClipboard* clipboard = QApplication::clipboard();
    if (!toX11Selection)
        clipboard->setText(selectedText());
    else if (clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void QtArtView::keyPressEvent(QKeyEvent* event) {
    using Step = ArtDocument::Step;
    if (event == QKeySequence::Copy) return copySelection(false);
    if (event == QKeySequence::SelectAll) return selectAll();
    const int key = event->key();
    const bool control = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    Step step{};
    bool moves = true;
    switch (key) {
    case Qt::Key_Left:
        step = Step::left;
        break;
    case Qt::Key_Right:
        step = Step::right;
        break;
    case Qt::Key_Up:
        step = Step::up;
        break;
    case Qt::Key_Down:
        step = Step::down;
        break;
    // Ctrl+Home and Ctrl+End go to the start and the end of the text.
    case Qt::Key_Home:
        step = control ? Step::start : Step::lineStart;
        break;
    case Qt::Key_End:
        step = control ? Step::end : Step::lineEnd;
        break;
    default:
        moves = false;
    }
    if (moves) return moveCursor(document_.stepped(document_.caret(), step), shift);
    if (!editable_) return QWidget::keyPressEvent(event);
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        document_.erase(key == Qt::Key_Backspace);
        textChanged();
        announceCaret();
        return;
    }
    const QString typed =
        key == Qt::Key_Return || key == Qt::Key_Enter ? QString("\n") : event->text();
    if (typed.isEmpty() || (typed != "\n" && !typed.front().isPrint()))
        return QWidget::keyPressEvent(event);
    document_.insert(typed.toStdU16String());
    textChanged();
    announceCaret();
}

void QtArtView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction("Copy", [this] { copySelection(false); });
    copy->setEnabled(document_.hasSelection());
    menu.addAction("Select All", [this] { selectAll(); })->setEnabled(selectable_);
    menu.exec(event->globalPos());
}

QChar QtArtView::characterAt(int row, int column) const {
    return QChar(document_.characterAt({row, column}));
}

QColor QtArtView::colorAt(int row, int column) const {
    const ArtDocument::Rgb c = document_.colorAt({row, column});
    return qAlpha(c) == 0 ? QColor() : QColor(c);
}

} // namespace gw::platform::qt
