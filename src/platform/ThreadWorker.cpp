#include "platform/ThreadWorker.h"

#include <utility>

namespace gw::platform {

ThreadWorker::ThreadWorker() : thread_([this] { run(); }) {}

ThreadWorker::~ThreadWorker() {
    std::function<void()> dropped;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        dropped = std::move(waiting_);
        waiting_ = nullptr;
    }
    wake_.notify_all();
    thread_.join();
}

void ThreadWorker::submit(std::function<void()> job) {
    std::function<void()> replaced; // destroyed outside the lock: it may own much
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        replaced = std::exchange(waiting_, std::move(job));
    }
    wake_.notify_one();
}

void ThreadWorker::run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || waiting_; });
            if (stopping_) return;
            job = std::exchange(waiting_, nullptr);
        }
        job();
    }
}

} // namespace gw::platform
