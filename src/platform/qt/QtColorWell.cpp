#include "platform/qt/QtColorWell.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>

namespace gw::platform::qt {

QtColorWell::QtColorWell(QWidget* parent) : QPushButton(parent) {
    setObjectName("colorWell");
    setAccessibleName("Background colour");
    connect(this, &QPushButton::clicked, this, [this] { choose(); });
}

Color QtColorWell::color() const {
    return {color_.redF(), color_.greenF(), color_.blueF(), color_.alphaF()};
}

void QtColorWell::setColor(const Color& color) {
    color_ = QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                              static_cast<float>(color.blue), static_cast<float>(color.alpha));
    update();
}

void QtColorWell::choose() {
    const QColor chosen = QColorDialog::getColor(color_, this, "Background colour");
    if (!chosen.isValid()) return;
    color_ = chosen;
    update();
    if (action_) action_(this);
}

void QtColorWell::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    QPainter painter(this);
    const QRect swatch = rect().adjusted(7, 6, -7, -6);
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(isEnabled() ? color_ : color_.lighter(130));
    painter.drawRoundedRect(swatch, 3, 3);
}

} // namespace gw::platform::qt
