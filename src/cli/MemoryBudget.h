#pragma once
// One memory budget for all conversions of a run: each reserves what its picture may take
// before decoding, and waits while the others hold too much, so that a batch stays within the
// budget whatever the number of workers.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace gw::cli {

class MemoryBudget {
public:
    explicit MemoryBudget(std::uint64_t bytes) : total_(bytes) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // Held while a conversion runs; gives its bytes back when destroyed.
    class Reservation {
    public:
        Reservation(MemoryBudget& budget, std::uint64_t bytes);
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;
        ~Reservation();

    private:
        MemoryBudget& budget_;
        std::uint64_t bytes_;
    };

    std::uint64_t total() const { return total_; }
    std::uint64_t inUse() const;

private:
    const std::uint64_t total_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::uint64_t used_ = 0;
};

} // namespace gw::cli
