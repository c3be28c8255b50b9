#include "platform/qt/QtArtView.h"

#include "render/FontResolver.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace gw::platform::qt {

namespace {

// Room left of the text, in points, when no font file is at hand.
constexpr double kPadding = 5.0;

QRgb opaque(const RgbColor& c) {
    const auto channel = [](double v) {
        return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    };
    return qRgb(channel(c.red), channel(c.green), channel(c.blue));
}

QColor toQColor(const Color& c) {
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green),
                            static_cast<float>(c.blue), 1.0f);
}

} // namespace

QtArtView::QtArtView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    setAccessibleName("Converted picture");
    setFont("Monaco", 12);
}

void QtArtView::appendUtf8(const std::string& text, QRgb color) {
    if (qAlpha(color) == 0) {
        // Uncoloured text (the plain display text, a page's source of megabytes) a line at a
        // time.
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            Line& line = lines_.back();
            line.text +=
                QString::fromUtf8(text.data() + start, static_cast<qsizetype>(end - start));
            line.colors.resize(static_cast<std::size_t>(line.text.size()), 0);
            if (end == text.size()) break;
            lines_.emplace_back();
            start = end + 1;
        }
        return;
    }
    // Colour runs are a character or a few each: decoded as they are appended, so that no
    // string is made per run.
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        char32_t code = byte;
        int extra = 0;
        if (byte >= 0xF0) {
            code = byte & 0x07u;
            extra = 3;
        } else if (byte >= 0xE0) {
            code = byte & 0x0Fu;
            extra = 2;
        } else if (byte >= 0xC0) {
            code = byte & 0x1Fu;
            extra = 1;
        } else if (byte >= 0x80) {
            code = 0xFFFD;
        }
        ++i;
        for (; extra > 0 && i < text.size(); --extra, ++i)
            code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3Fu);
        if (code == U'\n') {
            lines_.emplace_back();
            continue;
        }
        Line& line = lines_.back();
        if (code > 0xFFFF) {
            const QChar pair[2] = {QChar::highSurrogate(code), QChar::lowSurrogate(code)};
            line.text.append(pair, 2);
            line.colors.insert(line.colors.end(), 2, color);
        } else {
            line.text.append(QChar(static_cast<char16_t>(code)));
            line.colors.push_back(color);
        }
    }
}

void QtArtView::setPlainText(const std::string& text) {
    lines_.assign(1, Line{});
    anchor_ = cursor_ = {};
    appendUtf8(text, 0);
    textChanged();
}

void QtArtView::appendPlainText(const std::string& text) {
    appendUtf8(text, 0);
    textChanged();
}

void QtArtView::appendRuns(const std::vector<TextRun>& runs) {
    for (const TextRun& run : runs)
        appendUtf8(run.text, run.hasColor ? opaque(run.color) : 0);
    textChanged();
}

std::string QtArtView::plainText() const {
    QString all;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) all += '\n';
        all += lines_[i].text;
    }
    return all.toStdString();
}

void QtArtView::setFont(const std::string& name, int pointSize) {
    render::ResolvedFont resolved = render::resolveMonospaceFont(name);
    pointSize = std::max(1, pointSize);
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
    fallback_.clear();
    textChanged();
}

void QtArtView::setBackgroundColor(const Color& color) {
    // The default text colour stays black whatever the background, as in the TIFF image, so
    // that the preview shows what the image will hold.
    background_ = toQColor(color);
    update();
}

void QtArtView::setSelectable(bool selectable) {
    selectable_ = selectable;
    if (!selectable) anchor_ = cursor_;
    update();
}

void QtArtView::setFrame(const Rect& frame) {
    frame_ = frame;
    adjustSize();
}

void QtArtView::textChanged() {
    anchor_ = std::min(anchor_, Position{static_cast<int>(lines_.size()) - 1, 0});
    cursor_ = std::min(cursor_, Position{static_cast<int>(lines_.size()) - 1, 0});
    adjustSize();
    update();
}

// Laid out as the TIFF image lays out a grid of the text's size: the display text of a grid
// has width2 - 2 columns and height2 - 2 rows, and ends with a line feed.
QSize QtArtView::sizeHint() const {
    int columns = 0;
    for (const Line& line : lines_)
        columns = std::max(columns, static_cast<int>(line.text.size()));
    int rows = static_cast<int>(lines_.size());
    if (rows > 1 && lines_.back().text.isEmpty()) --rows;
    const double width = std::max(frame_.width, layout_.left + columns * layout_.columnPitch +
                                                    (glyphs_ ? glyphs_->metrics().inkRight : 0));
    const double height = std::max(frame_.height, rowTop(rows) + layout_.rowPitch);
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

void QtArtView::adjustSize() {
    int columns = 0;
    for (const Line& line : lines_)
        columns = std::max(columns, static_cast<int>(line.text.size()));
    int rows = static_cast<int>(lines_.size());
    if (rows > 1 && lines_.back().text.isEmpty()) --rows;
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

// A character the font's Latin-1 cache cannot give, drawn by Qt once.
const QtArtView::Glyph& QtArtView::fallbackGlyph(char16_t c) {
    const auto found = fallback_.find(c);
    if (found != fallback_.end()) return found->second;
    const int margin = pointSize_ + 2;
    const int baseline = 2 * margin;
    QImage canvas(static_cast<int>(std::ceil(layout_.columnPitch)) + 2 * margin, 3 * margin,
                  QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setFont(font_);
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

void QtArtView::paintEvent(QPaintEvent* event) {
    // Drawn at one pixel per point, as the TIFF image is; a high-density screen scales it.
    const QRect exposed = event->rect();
    QImage canvas(exposed.size(), QImage::Format_RGB32);
    canvas.fill(background_);

    const double rowPitch = std::max(layout_.rowPitch, 1.0);
    const double columnPitch = std::max(layout_.columnPitch, 0.25);
    const int firstRow = std::max(0, static_cast<int>(std::floor(exposed.top() / rowPitch)) - 2);
    const int lastRow = std::min(static_cast<int>(lines_.size()) - 1,
                                 static_cast<int>(std::ceil(exposed.bottom() / rowPitch)) + 2);
    const int firstColumn = std::max(
        0, static_cast<int>(std::floor((exposed.left() - layout_.left) / columnPitch)) - 4);
    const int lastColumn =
        static_cast<int>(std::ceil((exposed.right() - layout_.left) / columnPitch)) + 4;
    const Position selFrom = std::min(anchor_, cursor_);
    const Position selTo = std::max(anchor_, cursor_);
    const QColor highlight = palette().color(QPalette::Highlight);
    const QRgb highlightedText = palette().color(QPalette::HighlightedText).rgb();
    const QRgb defaultText = textColor_.rgb();
    const int canvasWidth = canvas.width();
    const int canvasHeight = canvas.height();
    render::GlyphSource* source = glyphs_.get();

    for (int row = firstRow; row <= lastRow; ++row) {
        const Line& line = lines_[static_cast<std::size_t>(row)];
        const int length = static_cast<int>(line.text.size());
        // The selection's background first, under the characters.
        if (hasSelection() && selFrom.row <= row && row <= selTo.row) {
            const int a = selFrom.row == row ? selFrom.column : 0;
            const int b = selTo.row == row ? selTo.column : length + 1;
            if (b > a) {
                QPainter painter(&canvas);
                const int x0 = cellOrigin(row, a).x(), x1 = cellOrigin(row, b).x();
                painter.fillRect(x0 - exposed.left(), rowTop(row) - exposed.top(), x1 - x0,
                                 rowTop(row + 1) - rowTop(row), highlight);
            }
        }
        const int baseline = layout_.baseline(row) - exposed.top();
        const int end = std::min(lastColumn, length - 1);
        for (int column = firstColumn; column <= end; ++column) {
            const char16_t c = line.text[column].unicode();
            if (c <= u' ') continue;
            const int pen = layout_.penX(column);
            int x0 = pen / render::kSubpixelPhases - exposed.left();
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
                const Glyph& f = fallbackGlyph(c);
                x0 += f.dx;
                y0 += f.dy;
                coverage = f.coverage.data();
                width = f.width;
                height = f.height;
            }
            if (width == 0 || height == 0) continue;
            const Position here{row, column};
            const bool selected = hasSelection() && selFrom <= here && here < selTo;
            QRgb color = line.colors[static_cast<std::size_t>(column)];
            if (qAlpha(color) == 0) color = selected ? highlightedText : defaultText;
            const int cr = qRed(color), cg = qGreen(color), cb = qBlue(color);
            for (int y = std::max(0, -y0); y < height && y0 + y < canvasHeight; ++y) {
                auto* out = reinterpret_cast<QRgb*>(canvas.scanLine(y0 + y));
                const std::uint8_t* in = coverage + static_cast<std::ptrdiff_t>(y) * width;
                for (int x = std::max(0, -x0); x < width && x0 + x < canvasWidth; ++x) {
                    const int a = in[x];
                    if (a == 0) continue;
                    QRgb& d = out[x0 + x];
                    const int na = 255 - a;
                    d = qRgb((cr * a + qRed(d) * na + 127) / 255,
                             (cg * a + qGreen(d) * na + 127) / 255,
                             (cb * a + qBlue(d) * na + 127) / 255);
                }
            }
        }
    }

    QPainter painter(this);
    painter.drawImage(exposed.topLeft(), canvas);
    if (editable_ && hasFocus()) {
        const QPoint caret = cellOrigin(cursor_.row, cursor_.column);
        painter.fillRect(caret.x(), caret.y(), 1, rowTop(cursor_.row + 1) - caret.y(),
                         background_.lightnessF() < 0.5 ? QColor(Qt::white) : QColor(Qt::black));
    }
}

QtArtView::Position QtArtView::positionAt(QPointF point) const {
    const int row =
        std::clamp(static_cast<int>(std::floor(point.y() / std::max(layout_.rowPitch, 1.0))), 0,
                   static_cast<int>(lines_.size()) - 1);
    const int length = static_cast<int>(lines_[static_cast<std::size_t>(row)].text.size());
    const int column =
        std::clamp(static_cast<int>(std::lround((point.x() - layout_.left) /
                                                std::max(layout_.columnPitch, 0.25))),
                   0, length);
    return {row, column};
}

void QtArtView::moveCursor(Position to, bool extend) {
    cursor_ = to;
    if (!extend || !selectable_) anchor_ = to;
    update();
}

void QtArtView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    moveCursor(positionAt(event->position()), event->modifiers() & Qt::ShiftModifier);
}

void QtArtView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) moveCursor(positionAt(event->position()), true);
}

void QtArtView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && hasSelection()) copySelection(true);
}

QString QtArtView::selectedText() const {
    const Position from = std::min(anchor_, cursor_);
    const Position to = std::max(anchor_, cursor_);
    QString text;
    for (int row = from.row; row <= to.row; ++row) {
        const QString& line = lines_[static_cast<std::size_t>(row)].text;
        const int a = row == from.row ? from.column : 0;
        const int b = row == to.row ? to.column : static_cast<int>(line.size());
        text += line.mid(a, b - a);
        if (row < to.row) text += '\n';
    }
    return text;
}

void QtArtView::selectAll() {
    if (!selectable_) return;
    anchor_ = {};
    cursor_ = {static_cast<int>(lines_.size()) - 1, static_cast<int>(lines_.back().text.size())};
    update();
}

void QtArtView::copySelection(bool toX11Selection) const {
    if (!hasSelection()) return;
    QClipboard* clipboard = QApplication::clipboard();
    if (!toX11Selection)
        clipboard->setText(selectedText());
    else if (clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void QtArtView::removeSelection() {
    if (!hasSelection()) return;
    const Position from = std::min(anchor_, cursor_);
    const Position to = std::max(anchor_, cursor_);
    Line& first = lines_[static_cast<std::size_t>(from.row)];
    const Line& last = lines_[static_cast<std::size_t>(to.row)];
    Line joined;
    joined.text = first.text.left(from.column) + last.text.mid(to.column);
    joined.colors.assign(first.colors.begin(), first.colors.begin() + from.column);
    joined.colors.insert(joined.colors.end(), last.colors.begin() + to.column, last.colors.end());
    first = std::move(joined);
    lines_.erase(lines_.begin() + from.row + 1, lines_.begin() + to.row + 1);
    anchor_ = cursor_ = from;
}

// Typed text takes the colour of the character before it, as a text view's typing attributes.
void QtArtView::insertText(const QString& text) {
    removeSelection();
    for (const QChar c : text) {
        Line& line = lines_[static_cast<std::size_t>(cursor_.row)];
        const QRgb color =
            cursor_.column > 0 ? line.colors[static_cast<std::size_t>(cursor_.column - 1)] : 0;
        if (c == '\n' || c == '\r') {
            Line rest{line.text.mid(cursor_.column),
                      std::vector<QRgb>(line.colors.begin() + cursor_.column, line.colors.end())};
            line.text.truncate(cursor_.column);
            line.colors.resize(static_cast<std::size_t>(cursor_.column));
            lines_.insert(lines_.begin() + cursor_.row + 1, std::move(rest));
            cursor_ = {cursor_.row + 1, 0};
        } else {
            line.text.insert(cursor_.column, c);
            line.colors.insert(line.colors.begin() + cursor_.column, color);
            ++cursor_.column;
        }
    }
    anchor_ = cursor_;
    adjustSize();
    update();
}

QtArtView::Position QtArtView::stepped(Position from, int key) const {
    const int rows = static_cast<int>(lines_.size());
    const auto lengthOf = [this](int row) {
        return static_cast<int>(lines_[static_cast<std::size_t>(row)].text.size());
    };
    switch (key) {
    case Qt::Key_Left:
        if (from.column > 0) return {from.row, from.column - 1};
        return from.row > 0 ? Position{from.row - 1, lengthOf(from.row - 1)} : from;
    case Qt::Key_Right:
        if (from.column < lengthOf(from.row)) return {from.row, from.column + 1};
        return from.row + 1 < rows ? Position{from.row + 1, 0} : from;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const int row = std::clamp(from.row + (key == Qt::Key_Up ? -1 : 1), 0, rows - 1);
        return {row, std::min(from.column, lengthOf(row))};
    }
    case Qt::Key_Home:
        return {from.row, 0};
    case Qt::Key_End:
        return {from.row, lengthOf(from.row)};
    default:
        return from;
    }
}

void QtArtView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) return copySelection(false);
    if (event == QKeySequence::SelectAll) return selectAll();
    const int key = event->key();
    if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down ||
        key == Qt::Key_Home || key == Qt::Key_End) {
        Position to = stepped(cursor_, key);
        // Ctrl+Home and Ctrl+End go to the start and the end of the text.
        if ((event->modifiers() & Qt::ControlModifier) &&
            (key == Qt::Key_Home || key == Qt::Key_End))
            to = key == Qt::Key_Home ? Position{}
                                     : Position{static_cast<int>(lines_.size()) - 1,
                                                static_cast<int>(lines_.back().text.size())};
        return moveCursor(to, event->modifiers() & Qt::ShiftModifier);
    }
    if (!editable_) return QWidget::keyPressEvent(event);
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        if (!hasSelection())
            anchor_ = stepped(cursor_, key == Qt::Key_Backspace ? Qt::Key_Left : Qt::Key_Right);
        removeSelection();
        adjustSize();
        update();
        return;
    }
    const QString typed =
        key == Qt::Key_Return || key == Qt::Key_Enter ? QString("\n") : event->text();
    if (typed.isEmpty() || (typed != "\n" && !typed.front().isPrint()))
        return QWidget::keyPressEvent(event);
    insertText(typed);
}

void QtArtView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction("Copy", [this] { copySelection(false); });
    copy->setEnabled(hasSelection());
    menu.addAction("Select All", [this] { selectAll(); })->setEnabled(selectable_);
    menu.exec(event->globalPos());
}

QChar QtArtView::characterAt(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(lines_.size())) return {};
    const QString& text = lines_[static_cast<std::size_t>(row)].text;
    return column >= 0 && column < text.size() ? text[column] : QChar();
}

QColor QtArtView::colorAt(int row, int column) const {
    if (characterAt(row, column).isNull()) return {};
    const QRgb c = lines_[static_cast<std::size_t>(row)].colors[static_cast<std::size_t>(column)];
    return qAlpha(c) == 0 ? QColor() : QColor(c);
}

} // namespace gw::platform::qt
