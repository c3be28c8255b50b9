#pragma once
// A colour well: a swatch button that opens the colour dialog.

#include "platform/Controls.h"

#include <QColor>
#include <QPushButton>

namespace gw::platform::qt {

class QtColorWell final : public QPushButton, public ColorWell {
public:
    explicit QtColorWell(QWidget* parent = nullptr);

    bool isEnabled() const override { return QPushButton::isEnabled(); }
    void setEnabled(bool enabled) override { QPushButton::setEnabled(enabled); }
    void setAction(Action action) override { action_ = std::move(action); }
    Color color() const override;
    void setColor(const Color& color) override;

    QSize sizeHint() const override { return {64, 26}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void choose();

    QColor color_{Qt::white};
    Action action_;
};

} // namespace gw::platform::qt
