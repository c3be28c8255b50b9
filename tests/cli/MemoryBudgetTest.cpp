// The batch's shared memory budget: a reservation that does not fit waits for the others to
// give theirs back, and one larger than the whole budget runs alone.

#include "MemoryBudget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace gw::cli {
namespace {

TEST(MemoryBudget, ReservationsWaitUntilTheyFitAndTheLargestRunsAlone) {
    MemoryBudget budget(100);
    std::atomic<bool> granted{false};
    std::thread waiter;
    {
        const MemoryBudget::Reservation first(budget, 60);
        waiter = std::thread([&] {
            const MemoryBudget::Reservation second(budget, 1000); // counts as the whole budget
            granted = true;
            EXPECT_EQ(budget.inUse(), 100u);
        });
        // The waiter cannot get in while the first reservation is held, however long it tries.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(granted);
        EXPECT_EQ(budget.inUse(), 60u);
    }
    waiter.join();
    EXPECT_TRUE(granted);
    EXPECT_EQ(budget.inUse(), 0u);
}

} // namespace
} // namespace gw::cli
