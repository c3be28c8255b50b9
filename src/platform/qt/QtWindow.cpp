#include "platform/qt/QtWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace gw::platform::qt {

namespace {

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
    widget_->raise();
    widget_->activateWindow();
}

void QtWindow::close() {
    widget_->close();
}

Rect QtWindow::frame() const {
    const QRect g = widget_->geometry();
    return {double(g.x()), screenHeight() - g.y() - g.height(), double(g.width()),
            double(g.height())};
}

void QtWindow::setFrame(const Rect& frame) {
    QSize size(static_cast<int>(std::ceil(frame.width)), static_cast<int>(std::ceil(frame.height)));
    if (contentSize_) size = size.expandedTo(contentSize_());
    QRect wanted(static_cast<int>(std::lround(frame.x)),
                 static_cast<int>(std::lround(screenHeight() - frame.y - size.height())),
                 size.width(), size.height());
    const QScreen* screen = widget_->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        // Room for the title bar and borders, once the window manager has added them.
        const QRect outer = widget_->frameGeometry();
        const QRect inner = widget_->geometry();
        const QMargins decoration(inner.left() - outer.left(), inner.top() - outer.top(),
                                  outer.right() - inner.right(), outer.bottom() - inner.bottom());
        const QRect area = screen->availableGeometry().marginsRemoved(decoration);
        wanted.setSize(wanted.size().boundedTo(area.size()));
        wanted.moveLeft(std::clamp(wanted.left(), area.left(), area.right() + 1 - wanted.width()));
        wanted.moveTop(std::clamp(wanted.top(), area.top(), area.bottom() + 1 - wanted.height()));
    }
    widget_->setGeometry(wanted);
}

void QtWindow::setBackgroundColor(const Color& color) {
    QPalette palette = widget_->palette();
    palette.setColor(QPalette::Window, QColor::fromRgbF(static_cast<float>(color.red),
                                                        static_cast<float>(color.green),
                                                        static_cast<float>(color.blue), 1.0f));
    widget_->setPalette(palette);
    widget_->setAutoFillBackground(true);
}

} // namespace gw::platform::qt
