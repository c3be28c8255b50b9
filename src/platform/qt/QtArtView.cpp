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
#include <system_error>
#include <thread>

namespace gw::platform::qt {

namespace {

using Position = ArtDocument::Position;

// Room left of the text, in points, when no font file is at hand.
constexpr double kPadding = 5.0;

ArtDocument::Rgb opaque(const RgbColor& c) {
    return ArtDocument::opaque(c.red, c.green, c.blue);
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
    std::vector<ArtDocument::Line> before = document_.lines();
    const bool marked = document_.hasSelection();
    document_.setText(text);
    replaced(before, marked);
}

void QtArtView::setLines(std::vector<ArtDocument::Line> lines) {
    std::vector<ArtDocument::Line> before = document_.lines();
    const bool marked = document_.hasSelection();
    document_.setLines(std::move(lines));
    replaced(before, marked);
}

// A new text of the same shape as the one painted last repaints only the cells that changed,
// in the buffer the last paint left: a live refresh often changes a small part of the art.
// Anything else, and a caret or selection that the replacement moved, repaints it all.
void QtArtView::replaced(const std::vector<ArtDocument::Line>& before, bool marked) {
    const std::vector<ArtDocument::Line>& after = document_.lines();
    bool same = paintValid_ && !marked && before.size() == after.size();
    std::vector<CellSpan> spans;
    for (std::size_t row = 0; same && row < after.size(); ++row) {
        const ArtDocument::Line& a = before[row];
        const ArtDocument::Line& b = after[row];
        if (a.text.size() != b.text.size()) {
            same = false;
            break;
        }
        const int length = static_cast<int>(b.text.size());
        for (int column = 0; column < length; ++column) {
            const auto i = static_cast<std::size_t>(column);
            if (a.text[i] == b.text[i] && (a.colors[i] == b.colors[i] || b.text[i] <= u' ') &&
                (a.colors[i] == b.colors[i] || a.text[i] <= u' '))
                continue;
            // Characters drawn by Qt may reach farther than the font's ink box.
            if (a.text[i] > 0xFF || b.text[i] > 0xFF) {
                same = false;
                break;
            }
            const int r = static_cast<int>(row);
            // Changes a few cells apart share a span: fewer, wider repaints.
            if (!spans.empty() && spans.back().row == r && column - spans.back().last <= kSpanGap)
                spans.back().last = column;
            else
                spans.push_back({r, column, column});
        }
    }
    if (!same) {
        textChanged();
        return;
    }
    dirty_.insert(dirty_.end(), spans.begin(), spans.end());
    textChanged(false);
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
    const QColor background = toQColor(color);
    if (background == background_) return;
    background_ = background;
    repaintAll();
}

void QtArtView::setTextColor(const Color& color) {
    const ArtDocument::Rgb before = document_.defaultInk();
    document_.setDefaultInk(toQColor(color).rgb());
    if (document_.defaultInk() != before) repaintAll();
}

void QtArtView::setSelectable(bool selectable) {
    selectable_ = selectable;
    if (!selectable) document_.moveCaret(document_.caret(), false);
    repaintAll();
}

void QtArtView::setFrame(const Rect& frame) {
    frame_ = frame;
    adjustSize();
}

void QtArtView::repaintAll() {
    paintValid_ = false;
    dirty_.clear();
    update();
}

void QtArtView::textChanged(bool repaint) {
    adjustSize();
    if (repaint)
        repaintAll();
    else
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
    // What the last paint left is of no use once the characters moved.
    if (layout_.left != paintedLayout_.left || layout_.columnPitch != paintedLayout_.columnPitch ||
        layout_.rowPitch != paintedLayout_.rowPitch ||
        layout_.firstBaseline != paintedLayout_.firstBaseline)
        paintValid_ = false;
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

// What one paint of an area needs, worked out once on the window's thread and then only read
// by the bands that paint it.
struct QtArtView::PaintJob {
    QImage* canvas = nullptr;
    uchar* bits = nullptr; // taken once: QImage::scanLine counts its calls in the image itself
    qsizetype bytesPerLine = 0;
    int originX = 0;
    int originY = 0;
    qreal ratio = 1.0;
    const render::GlyphSource* source = nullptr;
    int firstRow = 0;
    int lastRow = -1;
    int firstColumn = 0;
    int lastColumn = -1;
    bool selection = false;
    Position selFrom;
    Position selTo;
    QColor highlight;
    QRgb highlightedText = 0;
    QRgb defaultText = 0;
    QRgb background = 0;
    // How far the ink of the glyphs drawn reaches above and below a baseline, device pixels.
    int inkTop = 0;
    int inkBottom = 0;

    int penAt(const render::TextLayout& layout, int column) const { // quarter device pixels
        return static_cast<int>(std::floor((layout.left + column * layout.columnPitch) * ratio *
                                           render::kSubpixelPhases));
    }
    int yAt(int y) const { return static_cast<int>(std::lround(y * ratio)); }
};

void QtArtView::setPaintThreads(int threads) {
    paintThreads_ = std::max(0, threads);
    repaintAll();
}

QImage QtArtView::paintedImage(const QRect& area, qreal ratio) {
    // Positions are the layout's, in points, times the ratio; the glyphs are rasterised at the
    // ratio's pixel size rather than scaled, so a 2x screen gets glyphs of twice the detail.
    ratio = ratio > 0.0 ? ratio : 1.0;
    PaintJob job;
    job.ratio = ratio;
    job.originX = static_cast<int>(std::lround(area.left() * ratio));
    job.originY = static_cast<int>(std::lround(area.top() * ratio));
    const QSize pixels(std::max(1, static_cast<int>(std::ceil(area.width() * ratio))),
                       std::max(1, static_cast<int>(std::ceil(area.height() * ratio))));
    // The last paint's buffer is reused while it has the size: a window's worth of fresh
    // pixels costs the system more than filling them. Shared with a caller that kept the last
    // image, it is copied first, as any QImage is.
    if (paintBuffer_.size() != pixels) paintBuffer_ = QImage(pixels, QImage::Format_RGB32);
    QImage& canvas = paintBuffer_;
    canvas.setDevicePixelRatio(ratio);
    job.canvas = &canvas;
    job.bits = canvas.bits();
    job.bytesPerLine = canvas.bytesPerLine();
    job.background = background_.rgb() | 0xFF000000u;
    render::GlyphSource* source = glyphsAt(ratio);
    job.source = source;

    const double rowPitch = std::max(layout_.rowPitch, 1.0);
    const double columnPitch = std::max(layout_.columnPitch, 0.25);
    job.firstRow = std::max(0, static_cast<int>(std::floor(area.top() / rowPitch)) - 2);
    job.lastRow = std::min(document_.rowCount() - 1,
                           static_cast<int>(std::ceil(area.bottom() / rowPitch)) + 2);
    job.firstColumn =
        std::max(0, static_cast<int>(std::floor((area.left() - layout_.left) / columnPitch)) - 4);
    job.lastColumn = static_cast<int>(std::ceil((area.right() - layout_.left) / columnPitch)) + 4;
    job.selection = document_.hasSelection();
    job.selFrom = document_.selectionStart();
    job.selTo = document_.selectionEnd();
    job.highlight = palette().color(QPalette::Highlight);
    job.highlightedText = palette().color(QPalette::HighlightedText).rgb();
    job.defaultText = document_.defaultInk();

    if (source != nullptr) {
        job.inkTop = source->metrics().inkTop;
        job.inkBottom = source->metrics().inkBottom;
    }
    // Glyphs drawn by Qt may reach beyond the font's ink box, which the spans are cut to.
    // Many scattered changes are painted faster in one go, on every core.
    const bool reuse = paintValid_ && area == paintedArea_ && ratio == paintedRatio_ &&
                       source != nullptr && !job.selection && fallback_.empty() &&
                       dirty_.size() <= kMaxSpans;
    paintValid_ = true;
    paintedArea_ = area;
    paintedRatio_ = ratio;
    paintedLayout_ = layout_;
    std::vector<CellSpan> dirty;
    dirty.swap(dirty_);
    if (reuse) {
        repaintSpans(job, dirty);
        return canvas;
    }
    makeGlyphs(job, job.firstRow, job.lastRow, job.firstColumn, job.lastColumn);

    // Bands of rows, each on a thread of its own, paint the same pixels as one band would: a
    // band clips every glyph to its rows and draws them in the same order. A selection is drawn
    // with a QPainter, which one image allows only one of at a time: then one band.
    int bands = paintThreads_ > 0 ? paintThreads_
                                  : (canvas.width() * canvas.height() >= kThreadedPixels
                                         ? static_cast<int>(std::thread::hardware_concurrency())
                                         : 1);
    bands = std::clamp(bands, 1, std::min(kMaxPaintThreads, canvas.height()));
    if (job.selection) bands = 1;
    std::vector<std::thread> helpers;
    const auto bandTop = [&](int band) {
        return static_cast<int>(static_cast<long long>(canvas.height()) * band / bands);
    };
    const auto bandRect = [&](int band) {
        return QRect(0, bandTop(band), canvas.width(), bandTop(band + 1) - bandTop(band));
    };
    int painted = bands; // the bands from here on are this thread's
    for (int band = 1; band < bands; ++band) {
        try {
            helpers.emplace_back([this, &job, rect = bandRect(band)] {
                paintBand(job, rect, job.firstRow, job.lastRow, job.firstColumn, job.lastColumn);
            });
        } catch (const std::system_error&) { // no thread to be had: this one paints the rest
            painted = band;
            break;
        }
    }
    paintBand(job, bandRect(0), job.firstRow, job.lastRow, job.firstColumn, job.lastColumn);
    for (int band = painted; band < bands; ++band)
        paintBand(job, bandRect(band), job.firstRow, job.lastRow, job.firstColumn, job.lastColumn);
    for (std::thread& helper : helpers)
        helper.join();
    return canvas;
}

// Every glyph of these cells is made here, on the window's thread, so that the bands only read
// the caches (FreeType and the fallback's QPainter are not for several threads at once).
void QtArtView::makeGlyphs(PaintJob& job, int firstRow, int lastRow, int firstColumn,
                           int lastColumn) {
    for (int row = firstRow; row <= lastRow; ++row) {
        const std::u16string& text = document_.lines()[static_cast<std::size_t>(row)].text;
        const int end = std::min(lastColumn, static_cast<int>(text.size()) - 1);
        for (int column = firstColumn; column <= end; ++column) {
            const char16_t c = text[static_cast<std::size_t>(column)];
            if (c <= u' ') continue;
            if (job.source != nullptr && c <= 0xFF) {
                glyphsAt(job.ratio)->glyph(c, job.penAt(layout_, column) % render::kSubpixelPhases);
            } else {
                const Glyph& f = fallbackGlyph(c, job.ratio);
                job.inkTop = std::max(job.inkTop, -f.dy);
                job.inkBottom = std::max(job.inkBottom, f.dy + f.height);
            }
        }
    }
}

// Repaints, in the buffer of the last paint of the same area, the pixels that the glyphs of
// these cells can reach, before and after their change: each such pixel is painted again from
// the background, with every glyph that reaches it in the order a whole paint draws them.
void QtArtView::repaintSpans(PaintJob& job, const std::vector<CellSpan>& spans) {
    const render::FaceMetrics& ink = job.source->metrics();
    const double rowPitch = std::max(layout_.rowPitch, 1.0) * job.ratio;
    const double columnPitch = std::max(layout_.columnPitch, 0.25) * job.ratio;
    const int rowReach = static_cast<int>(std::ceil((job.inkTop + job.inkBottom) / rowPitch)) + 1;
    const int columnReach =
        static_cast<int>(
            std::ceil(std::max(std::abs(ink.inkLeft), std::abs(ink.inkRight)) / columnPitch)) +
        1;
    const QRect bounds = job.canvas->rect();
    for (const CellSpan& span : spans) {
        if (span.row < job.firstRow || span.row > job.lastRow) continue;
        const int baseline = job.yAt(layout_.baseline(span.row)) - job.originY;
        const int left = job.penAt(layout_, span.first) / render::kSubpixelPhases - job.originX;
        const int right = job.penAt(layout_, span.last) / render::kSubpixelPhases - job.originX;
        const QRect clip = QRect(QPoint(left + ink.inkLeft, baseline - job.inkTop),
                                 QPoint(right + ink.inkRight, baseline + job.inkBottom))
                               .intersected(bounds);
        if (clip.isEmpty()) continue;
        const int firstRow = std::max(0, span.row - rowReach);
        const int lastRow = std::min(document_.rowCount() - 1, span.row + rowReach);
        const int firstColumn = std::max(0, span.first - columnReach);
        const int lastColumn = span.last + columnReach;
        makeGlyphs(job, firstRow, lastRow, firstColumn, lastColumn);
        paintBand(job, clip, firstRow, lastRow, firstColumn, lastColumn);
    }
}

void QtArtView::paintBand(const PaintJob& job, const QRect& clip, int firstRow, int lastRow,
                          int firstColumn, int lastColumn) const {
    if (clip.isEmpty()) return;
    QImage& canvas = *job.canvas;
    const int top = clip.top();
    const int bottom = clip.bottom() + 1;
    const int clipLeft = clip.left();
    const int clipRight = clip.right() + 1;
    const auto scanLine = [&](int y) {
        return reinterpret_cast<QRgb*>(job.bits + static_cast<qsizetype>(y) * job.bytesPerLine);
    };
    for (int y = top; y < bottom; ++y) {
        QRgb* line = scanLine(y);
        std::fill(line + clipLeft, line + clipRight, job.background);
    }

    for (int row = firstRow; row <= lastRow; ++row) {
        const ArtDocument::Line& line = document_.lines()[static_cast<std::size_t>(row)];
        const int length = static_cast<int>(line.text.size());
        // The selection's background first, under the characters.
        if (job.selection && job.selFrom.row <= row && row <= job.selTo.row) {
            const int a = job.selFrom.row == row ? job.selFrom.column : 0;
            const int b = job.selTo.row == row ? job.selTo.column : length + 1;
            if (b > a) {
                QPainter painter(&canvas);
                painter.resetTransform();
                painter.setClipRect(clip);
                const int x0 = job.penAt(layout_, a) / render::kSubpixelPhases;
                const int x1 = job.penAt(layout_, b) / render::kSubpixelPhases;
                const int y0 = job.yAt(rowTop(row));
                painter.fillRect(x0 - job.originX, y0 - job.originY, x1 - x0,
                                 job.yAt(rowTop(row + 1)) - y0, job.highlight);
            }
        }
        const int baseline = job.yAt(layout_.baseline(row)) - job.originY;
        // A row whose glyphs all stay outside the band is skipped.
        if (baseline + job.inkBottom <= top || baseline - job.inkTop >= bottom) continue;
        const int end = std::min(lastColumn, length - 1);
        for (int column = firstColumn; column <= end; ++column) {
            const char16_t c = line.text[static_cast<std::size_t>(column)];
            if (c <= u' ') continue;
            const int pen = job.penAt(layout_, column);
            int x0 = pen / render::kSubpixelPhases - job.originX;
            int y0 = baseline;
            const std::uint8_t* coverage = nullptr;
            int width = 0, height = 0;
            if (const render::GlyphBitmap* g =
                    job.source != nullptr && c <= 0xFF
                        ? job.source->cachedGlyph(c, pen % render::kSubpixelPhases)
                        : nullptr) {
                x0 += g->left;
                y0 -= g->top;
                coverage = g->coverage.data();
                width = g->width;
                height = g->rows;
            } else if (c > 0xFF || job.source == nullptr) {
                const auto found = fallback_.find(c);
                if (found == fallback_.end()) continue;
                const Glyph& f = found->second;
                x0 += f.dx;
                y0 += f.dy;
                coverage = f.coverage.data();
                width = f.width;
                height = f.height;
            }
            if (width == 0 || height == 0) continue;
            const Position here{row, column};
            const bool selected = job.selection && job.selFrom <= here && here < job.selTo;
            QRgb color = line.colors[static_cast<std::size_t>(column)];
            if (qAlpha(color) == 0) color = selected ? job.highlightedText : job.defaultText;
            const int cr = qRed(color), cg = qGreen(color), cb = qBlue(color);
            const QRgb solid = qRgb(cr, cg, cb);
            const int xBegin = std::max(0, clipLeft - x0);
            const int xEnd = std::min(width, clipRight - x0);
            const int yEnd = std::min(height, bottom - y0);
            for (int y = std::max(0, top - y0); y < yEnd; ++y) {
                QRgb* out = scanLine(y0 + y);
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
    repaintAll();
    announceCaret();
}

void QtArtView::setSelection(int anchorOffset, int caretOffset) {
    const Position caret = document_.positionOf(caretOffset);
    document_.select(selectable_ ? document_.positionOf(anchorOffset) : caret, caret);
    repaintAll();
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
    repaintAll();
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
