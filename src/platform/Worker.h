#pragma once
// Runs jobs away from the main thread.

#include <functional>

namespace gw::platform {

// One job at a time, newest first: a job that has not begun when a newer one arrives is
// dropped, never run. A job may outlive whoever gave it, so it must own what it works on.
class Worker {
public:
    virtual ~Worker() = default;
    virtual void submit(std::function<void()> job) = 0;

protected:
    Worker() = default;
    Worker(const Worker&) = default;
    Worker& operator=(const Worker&) = default;
};

} // namespace gw::platform
