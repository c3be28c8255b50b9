#pragma once
// A single-shot timer on the main thread, for work that waits until a burst of changes is over.

#include <chrono>
#include <functional>

namespace gw::platform {

class Timer {
public:
    virtual ~Timer() = default;
    // What runs, on the main thread, when the timer fires.
    virtual void setHandler(std::function<void()> handler) = 0;
    // Fires once, `delay` from now. Started again while it waits, it waits anew from now: a
    // burst of starts fires once, after the last.
    virtual void start(std::chrono::milliseconds delay) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

protected:
    Timer() = default;
    Timer(const Timer&) = default;
    Timer& operator=(const Timer&) = default;
};

} // namespace gw::platform
