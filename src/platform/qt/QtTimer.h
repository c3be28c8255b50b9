#pragma once
// The single-shot timer over QTimer. Make it on the main thread, after the application object.

#include "platform/Timer.h"

#include <QTimer>

namespace gw::platform::qt {

class QtTimer final : public Timer {
public:
    QtTimer();
    void setHandler(std::function<void()> handler) override { handler_ = std::move(handler); }
    void start(std::chrono::milliseconds delay) override { timer_.start(delay); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
    std::function<void()> handler_;
};

} // namespace gw::platform::qt
