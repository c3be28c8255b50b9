#include "platform/qt/QtTimer.h"

namespace gw::platform::qt {

QtTimer::QtTimer() {
    timer_.setSingleShot(true);
    // Precise: a coarse timer may fire up to 5% late, which a short delay would feel.
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
        if (handler_) handler_();
    });
}

} // namespace gw::platform::qt
