#pragma once
// Queued calls on the main thread through Qt's event loop.

#include "platform/MainThread.h"

#include <memory>
#include <mutex>

class QObject;

namespace gw::platform::qt {

// Make it on the main thread, after the application object. Calls still queued when it goes
// are dropped, and a post() racing with its end either queues before or is dropped.
class QtMainThread final : public MainThread {
public:
    QtMainThread();
    ~QtMainThread() override;
    QtMainThread(const QtMainThread&) = delete;
    QtMainThread& operator=(const QtMainThread&) = delete;
    void post(std::function<void()> call) override;

private:
    std::mutex mutex_;
    std::unique_ptr<QObject> receiver_; // lives on the main thread; its queued calls die with it
};

} // namespace gw::platform::qt
