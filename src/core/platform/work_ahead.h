#pragma once

// Work done ahead of its use on threads of their own: items 0, 1, 2, ...
// are made by the workers (worker k makes k, k + n, k + 2n, ...) at most a
// window ahead of the calling thread, which takes them in order and does
// whatever must happen in order or on one thread. Making an item must not
// depend on what the calling thread does with the items before it.
//
// Waiting is in batches: a worker without room sleeps until half the window
// is free, and a waiting taker is woken once a quarter of it is ready, so a
// run wakes threads once per many items, not for every one.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace postloom::platform {

template <typename Item>
class WorkAhead {
public:
    using Make = std::function<Item(std::size_t index)>;

    // Starts workers that make count items with make, perWorker items of
    // window each.
    WorkAhead(std::size_t count, unsigned workers, Make make, std::size_t perWorker = 32)
        : count_(count), make_(std::move(make)), slots_(perWorker * std::max(workers, 1u)),
          ready_(slots_.size(), false), waits_(std::max(workers, 1u))
    {
        threads_.reserve(waits_.size());
        for (unsigned k = 0; k < waits_.size(); ++k)
            threads_.emplace_back([this, k] { Work(k, static_cast<unsigned>(waits_.size())); });
    }

    // Lets the workers end; items made ahead and not taken are dropped.
    ~WorkAhead()
    {
        {
            const std::lock_guard lock(mutex_);
            closing_ = true;
        }
        for (WorkerWait& wait : waits_)
            wait.room.notify_one();
    }

    WorkAhead(const WorkAhead&) = delete;
    WorkAhead& operator=(const WorkAhead&) = delete;

    // Item i, once made; i counts up from 0 without gaps.
    Item Take(std::size_t i)
    {
        std::unique_lock lock(mutex_);
        std::optional<Item>& slot = slots_[i % slots_.size()];
        if (!ready_[i % slots_.size()]) {
            takerWaitsFor_ = i;
            made_.wait(lock, [&] { return ready_[i % slots_.size()]; });
            takerWaitsFor_ = kNobody;
        }
        Item item = std::move(*slot);
        slot.reset();
        ready_[i % slots_.size()] = false;
        taken_ = i + 1;
        for (WorkerWait& wait : waits_) {
            if (taken_ >= wait.until) {
                wait.until = kNobody;
                wait.room.notify_one();
            }
        }
        return item;
    }

private:
    static constexpr std::size_t kNobody = std::numeric_limits<std::size_t>::max();

    struct WorkerWait {
        std::condition_variable room;
        std::size_t until = kNobody;  // the value of taken_ that wakes the worker
    };

    void Work(unsigned self, unsigned step)
    {
        WorkerWait& wait = waits_[self];
        for (std::size_t i = self; i < count_; i += step) {
            {
                std::unique_lock lock(mutex_);
                if (!closing_ && i >= taken_ + slots_.size()) {
                    // Room for item i is taken_ > i - size; half the window
                    // free is half a window (rounded up) more.
                    const std::size_t until = i + 1 - (slots_.size() + 1) / 2;
                    wait.until = until;
                    wait.room.wait(lock, [&] { return closing_ || taken_ >= until; });
                    wait.until = kNobody;
                }
                if (closing_)
                    return;
            }
            Item item = make_(i);
            bool wake = false;
            {
                const std::lock_guard lock(mutex_);
                slots_[i % slots_.size()].emplace(std::move(item));
                ready_[i % slots_.size()] = true;
                // Also before this worker stops, by running out of items or
                // of room.
                wake = takerWaitsFor_ != kNobody &&
                       (i >= takerWaitsFor_ + slots_.size() / 4 || i + step >= count_ ||
                        i + step >= taken_ + slots_.size());
            }
            if (wake)
                made_.notify_one();
        }
    }

    const std::size_t count_;
    const Make make_;

    std::mutex mutex_;
    std::condition_variable made_;
    std::vector<std::optional<Item>> slots_;  // item i waits in slot i % size
    std::vector<bool> ready_;
    std::size_t taken_ = 0;  // items before this one were taken
    bool closing_ = false;
    std::size_t takerWaitsFor_ = kNobody;
    std::vector<WorkerWait> waits_;
    // Last, so the workers end (and are joined) before anything they use goes.
    std::vector<std::jthread> threads_;
};

}  // namespace postloom::platform
