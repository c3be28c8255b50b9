#include "platform/qt/QtMainThread.h"

#include <QMetaObject>
#include <QObject>

namespace gw::platform::qt {

QtMainThread::QtMainThread() : receiver_(std::make_unique<QObject>()) {}

QtMainThread::~QtMainThread() {
    std::lock_guard lock(mutex_);
    receiver_.reset();
}

void QtMainThread::post(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    if (!receiver_) return;
    QMetaObject::invokeMethod(receiver_.get(), std::move(call), Qt::QueuedConnection);
}

} // namespace gw::platform::qt
