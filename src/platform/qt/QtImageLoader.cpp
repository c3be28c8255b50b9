#include "platform/qt/QtImageLoader.h"

#include <QCoreApplication>

namespace gw::platform::qt {

QtImageLoader::QtImageLoader()
    : receiver_(std::make_unique<QObject>()),
      latest_(std::make_unique<std::atomic<std::uint64_t>>(0)) {
    pool_.setMaxThreadCount(2);
}

QtImageLoader::~QtImageLoader() {
    pool_.clear();
    pool_.waitForDone();
}

void QtImageLoader::loadInBackground(const std::string& path,
                                     std::function<void(ImageLoad)> done) const {
    const std::uint64_t number = latest_->fetch_add(1) + 1;
    // The receiver outlives every task: the destructor waits for them before it goes.
    QObject* receiver = receiver_.get();
    pool_.start([this, path, done = std::move(done), number, receiver] {
        if (latest_->load() != number) return; // overtaken before it began
        ImageLoad result = loader_.load(path);
        QMetaObject::invokeMethod(
            receiver, [done, result = std::move(result)]() mutable { done(std::move(result)); },
            Qt::QueuedConnection);
    });
}

void QtImageLoader::waitForDone() const {
    pool_.waitForDone();
    QCoreApplication::sendPostedEvents(receiver_.get());
}

} // namespace gw::platform::qt
