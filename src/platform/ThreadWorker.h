#pragma once
// The worker as one thread of its own, plain C++.

#include "platform/Worker.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace gw::platform {

class ThreadWorker final : public Worker {
public:
    ThreadWorker();
    // Drops a job still waiting and waits for the one running to end.
    ~ThreadWorker() override;
    ThreadWorker(const ThreadWorker&) = delete;
    ThreadWorker& operator=(const ThreadWorker&) = delete;

    void submit(std::function<void()> job) override;

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void()> waiting_; // at most one: a newer job replaces it
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace gw::platform
