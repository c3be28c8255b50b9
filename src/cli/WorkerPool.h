#pragma once
// Jobs run on worker threads, their results handed over in the jobs' order on the calling
// thread while later jobs are still running. Each worker keeps its own state (a cell grid) for
// all the jobs it takes.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace gw::cli {

// Runs `work(index, state)` for every index below `count` on up to `threads` workers, each
// with a state made by `makeState()`, and `deliver(index, result)` for each in index order on
// this thread. When `deliver` returns false no further job starts; those running finish, and
// their results are dropped. One worker runs on this thread itself, before any delivery.
template <typename MakeState, typename Work, typename Deliver>
void runInOrder(std::size_t count, std::size_t threads, MakeState makeState, Work work,
                Deliver deliver) {
    using State = decltype(makeState());
    using Result = decltype(work(std::size_t{0}, std::declval<State&>()));
    std::vector<std::optional<Result>> results(count);
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};
    const auto worker = [&] {
        State state = makeState();
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= count) return;
            Result r = work(i, state);
            std::lock_guard lock(mutex);
            results[i] = std::move(r);
            ready.notify_all();
        }
    };
    threads = std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(count, 1));
    std::vector<std::thread> pool;
    if (threads == 1) {
        worker();
    } else {
        for (std::size_t t = 0; t < threads; ++t)
            pool.emplace_back(worker);
    }
    for (std::size_t i = 0; i < count; ++i) {
        Result r;
        {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return results[i].has_value(); });
            r = std::move(*results[i]);
            results[i].reset();
        }
        if (!deliver(i, r)) {
            next.store(count);
            break;
        }
    }
    for (std::thread& t : pool)
        t.join();
}

} // namespace gw::cli
