#include "MemoryBudget.h"

#include <algorithm>

namespace gw::cli {

// A request beyond the whole budget is granted when nothing else is held, so that it runs
// alone rather than never.
MemoryBudget::Reservation::Reservation(MemoryBudget& budget, std::uint64_t bytes)
    : budget_(budget), bytes_(std::min(bytes, budget.total_)) {
    std::unique_lock lock(budget_.mutex_);
    budget_.released_.wait(lock, [&] { return budget_.used_ + bytes_ <= budget_.total_; });
    budget_.used_ += bytes_;
}

MemoryBudget::Reservation::~Reservation() {
    {
        const std::lock_guard lock(budget_.mutex_);
        budget_.used_ -= bytes_;
    }
    budget_.released_.notify_all();
}

std::uint64_t MemoryBudget::inUse() const {
    const std::lock_guard lock(mutex_);
    return used_;
}

} // namespace gw::cli
