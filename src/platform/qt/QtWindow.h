#pragma once
// Windows and the preview's text view over Qt widgets.

#include "platform/Window.h"

#include <QObject>
#include <QTextEdit>
#include <QWidget>

namespace gw::platform::qt {

// Posts the will-close notice for `widget` to the centre when Qt is about to close it.
class QtWindow final : public QObject, public Window {
public:
    QtWindow(QWidget* widget, const WindowCloseCenter& center);
    void show() override;
    void close() override;
    bool isVisible() const override { return widget_->isVisible(); }
    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    QWidget* widget() const { return widget_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* widget_; // outlives this adapter
    const WindowCloseCenter& center_;
};

class QtTextView final : public TextView {
public:
    explicit QtTextView(QTextEdit* edit) : edit_(edit) {}
    void setPlainText(const std::string& text) override;
    void appendRuns(const std::vector<TextRun>& runs) override;
    std::string plainText() const override;
    void setFont(const std::string& family, double pointSize) override;
    void setBackgroundColor(const Color& color) override;
    Rect frame() const override;
    void setFrame(const Rect& frame) override;

private:
    QTextEdit* edit_; // owned by the preview window, which outlives this view
};

} // namespace gw::platform::qt
