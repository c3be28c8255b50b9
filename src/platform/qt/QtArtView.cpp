#include "platform/qt/QtArtView.h"

#include "render/FontResolver.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
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

// Room the view leaves left and right of the text, in points, as a text view's line padding.
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

// The font a family name gives, without falling back on Qt's own choice of substitute.
QFont monospaceFont(const std::string& name, int pixelSize) {
    const render::ResolvedFont resolved = render::resolveMonospaceFont(name);
    QFont font(QString::fromStdString(resolved.family.empty() ? name : resolved.family));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setKerning(false);
    font.setPixelSize(std::max(1, pixelSize));
    return font;
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
    // Decodes as it appends, so that no string is made per run.
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
    // Points are drawn as pixels at scale 1, as the frame and the TIFF image count them.
    font_ = monospaceFont(name, pointSize);
    const QFontMetricsF metrics(font_);
    advance_ = metrics.horizontalAdvance(QChar('M'));
    ascent_ = metrics.ascent();
    // The row pitch the frame allows for: 15 points per row at 12 points.
    pitch_ = std::max(1.0, pointSize * 15.0 / 12.0);
    glyphs_.clear();
    adjustSize();
    update();
}

void QtArtView::setBackgroundColor(const Color& color) {
    background_ = toQColor(color);
    // Black text on a dark background cannot be read; the default colour follows the background.
    textColor_ = background_.lightnessF() < 0.4 ? QColor(Qt::white) : QColor(Qt::black);
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

QSize QtArtView::sizeHint() const {
    int columns = 0;
    for (const Line& line : lines_)
        columns = std::max(columns, static_cast<int>(line.text.size()));
    const double width = std::max(frame_.width, 2 * kPadding + columns * advance_);
    const double height =
        std::max(frame_.height, static_cast<double>(lines_.size()) * pitch_ + pitch_ / 4);
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

// The frame, widened where a font's advance is wider than the frame allows for, so that no
// character is ever cut off.
void QtArtView::adjustSize() {
    const QSize size = sizeHint();
    if (size != QWidget::size()) resize(size);
}

QPoint QtArtView::cellOrigin(int row, int column) const {
    return {static_cast<int>(std::lround(kPadding + column * advance_)),
            static_cast<int>(std::lround(row * pitch_))};
}

const QtArtView::Glyph& QtArtView::glyph(char16_t c, double scale) {
    if (scale != glyphScale_) {
        glyphs_.clear();
        glyphScale_ = scale;
    }
    const auto found = glyphs_.find(c);
    if (found != glyphs_.end()) return found->second;

    // Drawn once into a roomy canvas, then cropped to the ink.
    QFont scaled = font_;
    scaled.setPixelSize(std::max(1, static_cast<int>(std::lround(font_.pixelSize() * scale))));
    const int margin = static_cast<int>(std::ceil(scaled.pixelSize() / 2.0)) + 2;
    const int cellWidth = static_cast<int>(std::ceil(advance_ * scale));
    const int cellHeight = static_cast<int>(std::ceil(pitch_ * scale));
    QImage canvas(cellWidth + 2 * margin, cellHeight + 2 * margin,
                  QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setFont(scaled);
        painter.setPen(Qt::black);
        const double lead = (pitch_ * scale - QFontMetricsF(scaled).height()) / 2;
        painter.drawText(QPointF(margin, margin + std::max(0.0, lead) + ascent_ * scale),
                         QString(QChar(c)));
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
        g.dy = top - margin;
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
    return glyphs_.emplace(c, std::move(g)).first->second;
}

void QtArtView::paintEvent(QPaintEvent* event) {
    const QRect exposed = event->rect();
    const double scale = devicePixelRatioF();
    QImage canvas(exposed.size() * scale, QImage::Format_RGB32);
    canvas.setDevicePixelRatio(scale);
    canvas.fill(background_);

    const int firstRow = std::max(0, static_cast<int>(std::floor(exposed.top() / pitch_)) - 1);
    const int lastRow = std::min(static_cast<int>(lines_.size()) - 1,
                                 static_cast<int>(std::ceil(exposed.bottom() / pitch_)) + 1);
    const int firstColumn =
        std::max(0, static_cast<int>(std::floor((exposed.left() - kPadding) / advance_)) - 2);
    const int lastColumn = static_cast<int>(std::ceil((exposed.right() - kPadding) / advance_)) + 2;
    const Position selFrom = std::min(anchor_, cursor_);
    const Position selTo = std::max(anchor_, cursor_);
    const QColor highlight = palette().color(QPalette::Highlight);
    const QRgb highlightedText = palette().color(QPalette::HighlightedText).rgb();
    const QRgb defaultText = textColor_.rgb();
    const int canvasWidth = canvas.width();
    const int canvasHeight = canvas.height();
    const auto device = [&](double x) { return static_cast<int>(std::lround(x * scale)); };

    for (int row = firstRow; row <= lastRow; ++row) {
        const Line& line = lines_[static_cast<std::size_t>(row)];
        const int top = cellOrigin(row, 0).y();
        // The selection's background first, under the characters.
        Position from{row, 0}, to{row, static_cast<int>(line.text.size()) + 1};
        if (hasSelection() && selFrom < to && from < selTo) {
            const int a = std::max(from, selFrom).row == row ? std::max(from, selFrom).column : 0;
            const int b = selTo.row == row ? selTo.column : static_cast<int>(line.text.size()) + 1;
            if (b > a) {
                QPainter painter(&canvas);
                painter.fillRect(QRectF(cellOrigin(row, a).x() - exposed.left(), top - exposed.top(),
                                        (b - a) * advance_, pitch_),
                                 highlight);
            }
        }
        const int end = std::min(lastColumn, static_cast<int>(line.text.size()) - 1);
        for (int column = firstColumn; column <= end; ++column) {
            const char16_t c = line.text[column].unicode();
            if (c == u' ') continue;
            const Glyph& g = glyph(c, scale);
            if (g.coverage.empty()) continue;
            const Position here{row, column};
            const bool selected = hasSelection() && selFrom <= here && here < selTo;
            QRgb color = line.colors[static_cast<std::size_t>(column)];
            if (qAlpha(color) == 0) color = selected ? highlightedText : defaultText;
            const int cr = qRed(color), cg = qGreen(color), cb = qBlue(color);
            const QPoint origin = cellOrigin(row, column);
            const int x0 = device(origin.x() - exposed.left()) + g.dx;
            const int y0 = device(origin.y() - exposed.top()) + g.dy;
            for (int y = std::max(0, -y0); y < g.height && y0 + y < canvasHeight; ++y) {
                auto* out = reinterpret_cast<QRgb*>(canvas.scanLine(y0 + y));
                const std::uint8_t* in = &g.coverage[static_cast<std::size_t>(y * g.width)];
                for (int x = std::max(0, -x0); x < g.width && x0 + x < canvasWidth; ++x) {
                    const int a = in[x];
                    if (a == 0) continue;
                    QRgb& d = out[x0 + x];
                    const int na = 255 - a;
                    d = qRgb((cr * a + qRed(d) * na + 127) / 255, (cg * a + qGreen(d) * na + 127) / 255,
                             (cb * a + qBlue(d) * na + 127) / 255);
                }
            }
        }
    }

    QPainter painter(this);
    painter.drawImage(exposed.topLeft(), canvas);
    if (editable_ && hasFocus()) {
        const QPoint caret = cellOrigin(cursor_.row, cursor_.column);
        painter.fillRect(QRectF(caret.x(), caret.y(), 1.0, pitch_), defaultText == highlightedText
                                                                         ? QColor(Qt::black)
                                                                         : textColor_);
    }
}

QtArtView::Position QtArtView::positionAt(QPointF point) const {
    const int row = std::clamp(static_cast<int>(std::floor(point.y() / pitch_)), 0,
                               static_cast<int>(lines_.size()) - 1);
    const int length = static_cast<int>(lines_[static_cast<std::size_t>(row)].text.size());
    const int column =
        std::clamp(static_cast<int>(std::lround((point.x() - kPadding) / advance_)), 0, length);
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
    cursor_ = {static_cast<int>(lines_.size()) - 1,
               static_cast<int>(lines_.back().text.size())};
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
        key == Qt::Key_Home || key == Qt::Key_End)
        return moveCursor(stepped(cursor_, key), event->modifiers() & Qt::ShiftModifier);
    if (!editable_) return QWidget::keyPressEvent(event);
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        if (!hasSelection()) anchor_ = stepped(cursor_, key == Qt::Key_Backspace ? Qt::Key_Left
                                                                                  : Qt::Key_Right);
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
