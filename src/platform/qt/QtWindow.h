#pragma once
// Windows over Qt widgets.

#include "platform/Window.h"

#include <QObject>
#include <QWidget>

#include <functional>

namespace gw::platform::qt {

// Posts the will-close notice for `widget` to the centre when Qt is about to close it. A frame
// never exceeds the available area of the window's screen: a larger one is made smaller and
// moved onto it, so that the window can always be moved and closed.
class QtWindow final : public QObject, public Window {
public:
    QtWindow(QWidget* widget, const WindowCloseCenter& center);
    void show() override;
    void close() override;
    bool isVisible() const override { return widget_->isVisible(); }
    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    void setBackgroundColor(const Color& color) override;
    QWidget* widget() const { return widget_; }
    // The least size the window's content needs to show whole; a frame smaller than that grows
    // to it, as far as the screen allows, keeping its bottom-left corner.
    void setContentSize(std::function<QSize()> contentSize) {
        contentSize_ = std::move(contentSize);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* widget_; // outlives this adapter
    const WindowCloseCenter& center_;
    std::function<QSize()> contentSize_;
};

} // namespace gw::platform::qt
