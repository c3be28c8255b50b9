// Calls queued on the main thread from another thread, and dropped once the queue is gone.

#include "platform/qt/QtMainThread.h"
#include "TestApplication.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace gw::platform::qt {
namespace {

TEST(QtMainThread, RunsPostedCallsOnTheMainThreadLaterAndDropsThemWhenGone) {
    gw::testing::testApplication();
    std::vector<std::thread::id> ranOn;
    auto queue = std::make_unique<QtMainThread>();
    std::thread([&] { queue->post([&] { ranOn.push_back(std::this_thread::get_id()); }); }).join();
    EXPECT_TRUE(ranOn.empty()); // posting never waits for the call
    QCoreApplication::processEvents();
    ASSERT_EQ(ranOn.size(), 1u);
    EXPECT_EQ(ranOn[0], std::this_thread::get_id());

    queue->post([&] { ranOn.push_back(std::this_thread::get_id()); });
    queue.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(ranOn.size(), 1u);
}

} // namespace
} // namespace gw::platform::qt
