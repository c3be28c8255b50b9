#include "platform/qt/QtWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QTextCharFormat>
#include <QTextCursor>

namespace gw::platform::qt {

namespace {

QColor toQColor(const Color& c) {
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green),
                            static_cast<float>(c.blue), static_cast<float>(c.alpha));
}

// Frames use y growing upward from the bottom of the primary screen; Qt's grow downward.
double screenHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen == nullptr ? 0.0 : screen->geometry().height();
}

} // namespace

QtWindow::QtWindow(QWidget* widget, const WindowCloseCenter& center)
    : widget_(widget), center_(center) {
    widget->installEventFilter(this);
}

bool QtWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget_ && event->type() == QEvent::Close) center_.postWillClose(*this);
    return QObject::eventFilter(watched, event);
}

void QtWindow::show() {
    widget_->show();
}

void QtWindow::close() {
    widget_->close();
}

Rect QtWindow::frame() const {
    const QRect g = widget_->frameGeometry();
    return {double(g.x()), screenHeight() - g.y() - g.height(), double(g.width()),
            double(g.height())};
}

void QtWindow::setFrame(const Rect& frame) {
    const int top = static_cast<int>(screenHeight() - frame.y - frame.height);
    widget_->move(static_cast<int>(frame.x), top);
    widget_->resize(static_cast<int>(frame.width), static_cast<int>(frame.height));
}

void QtTextView::setPlainText(const std::string& text) {
    edit_->setPlainText(QString::fromStdString(text));
}

void QtTextView::appendRuns(const std::vector<TextRun>& runs) {
    QTextCursor cursor(edit_->document());
    cursor.movePosition(QTextCursor::End);
    for (const TextRun& run : runs) {
        QTextCharFormat format;
        format.setFont(edit_->font());
        if (run.hasColor) format.setForeground(toQColor(run.color));
        cursor.insertText(QString::fromStdString(run.text), format);
    }
}

std::string QtTextView::plainText() const {
    return edit_->toPlainText().toStdString();
}

void QtTextView::setFont(const std::string& family, double pointSize) {
    QFont font(QString::fromStdString(family));
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(pointSize);
    edit_->setFont(font);
    edit_->document()->setDefaultFont(font);
}

void QtTextView::setBackgroundColor(const Color& color) {
    QPalette p = edit_->palette();
    p.setColor(QPalette::Base, toQColor(color));
    edit_->setPalette(p);
}

Rect QtTextView::frame() const {
    const QRect g = edit_->geometry();
    const int parentHeight =
        edit_->parentWidget() != nullptr ? edit_->parentWidget()->height() : g.height();
    return {double(g.x()), double(parentHeight - g.y() - g.height()), double(g.width()),
            double(g.height())};
}

void QtTextView::setFrame(const Rect& frame) {
    const int parentHeight = edit_->parentWidget() != nullptr ? edit_->parentWidget()->height() : 0;
    edit_->setGeometry(static_cast<int>(frame.x),
                       static_cast<int>(parentHeight - frame.y - frame.height),
                       static_cast<int>(frame.width), static_cast<int>(frame.height));
}

} // namespace gw::platform::qt
