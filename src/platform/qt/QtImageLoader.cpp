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
    run([this, path] { return loader_.load(path); }, std::move(done));
}

void QtImageLoader::loadFromMemoryInBackground(std::vector<std::uint8_t> bytes,
                                               const std::string& name,
                                               std::function<void(ImageLoad)> done) const {
    auto shared = std::make_shared<std::vector<std::uint8_t>>(std::move(bytes));
    run([this, shared, name] { return loader_.loadFromMemory(std::move(*shared), name); },
        std::move(done));
}

void QtImageLoader::run(std::function<ImageLoad()> work,
                        std::function<void(ImageLoad)> done) const {
    const std::uint64_t number = latest_->fetch_add(1) + 1;
    // The receiver outlives every task: the destructor waits for them before it goes.
    QObject* receiver = receiver_.get();
    const std::atomic<std::uint64_t>* latest = latest_.get();
    pool_.start([work = std::move(work), done = std::move(done), number, receiver, latest] {
        ImageLoad result;
        result.overtaken = latest->load() != number; // then not even begun
        if (!result.overtaken) result = work();
        QMetaObject::invokeMethod(
            receiver,
            [done, result = std::move(result), number, latest]() mutable {
                // Checked again on the window's thread, where every load begins.
                if (latest->load() != number) result = ImageLoad{nullptr, {}, true};
                done(std::move(result));
            },
            Qt::QueuedConnection);
    });
}

void QtImageLoader::waitForDone() const {
    pool_.waitForDone();
    QCoreApplication::sendPostedEvents(receiver_.get());
}

} // namespace gw::platform::qt
