#pragma once
// Queues work on the main thread from any other thread.

#include <functional>

namespace gw::platform {

class MainThread {
public:
    virtual ~MainThread() = default;
    // Runs `call` on the main thread's event loop later and returns at once, never waiting for
    // it. Safe from any thread. Calls still queued when the queue or its loop ends are dropped.
    virtual void post(std::function<void()> call) = 0;

protected:
    MainThread() = default;
    MainThread(const MainThread&) = default;
    MainThread& operator=(const MainThread&) = default;
};

} // namespace gw::platform
