#pragma once

// Work done ahead of its use on threads of their own: items 0, 1, 2, ...
// are made by the workers, each taking the next item not yet begun, at most
// a window ahead of the calling thread, which takes them in order and does
// whatever must happen in order or on one thread. Making an item must not
// depend on what the calling thread does with the items before it.
//
// A taker whose next item is not ready makes the next one not yet begun
// itself rather than wait, so that when making is the slower side every
// core makes items; it waits only when the whole window is begun.
// A worker without room sleeps until half the window is free, so a run
// wakes the workers once per many items, not for every one.

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
          ready_(slots_.size(), false)
    {
        const unsigned threads = std::max(workers, 1u);
        threads_.reserve(threads);
        for (unsigned k = 0; k < threads; ++k)
            threads_.emplace_back([this] { Work(); });
    }

    // Lets the workers end; items made ahead and not taken are dropped.
    ~WorkAhead()
    {
        {
            const std::lock_guard lock(mutex_);
            closing_ = true;
        }
        room_.notify_all();
    }

    WorkAhead(const WorkAhead&) = delete;
    WorkAhead& operator=(const WorkAhead&) = delete;

    // Item i, once made; i counts up from 0 without gaps.
    Item Take(std::size_t i)
    {
        std::unique_lock lock(mutex_);
        while (!ready_[i % slots_.size()]) {
            if (HasRoom()) {
                MakeNext(lock);
                continue;
            }
            // Item i is begun, as is every item of the window after it.
            takerWaitsFor_ = i;
            made_.wait(lock, [&] { return ready_[i % slots_.size()]; });
            takerWaitsFor_ = kNobody;
        }
        std::optional<Item>& slot = slots_[i % slots_.size()];
        Item item = std::move(*slot);
        slot.reset();
        ready_[i % slots_.size()] = false;
        taken_ = i + 1;
        if (roomWanted_ != kNobody && taken_ >= roomWanted_) {
            roomWanted_ = kNobody;
            room_.notify_all();
        }
        return item;
    }

private:
    static constexpr std::size_t kNobody = std::numeric_limits<std::size_t>::max();

    // Whether the next item not yet begun may be begun now.
    bool HasRoom() const { return next_ < count_ && next_ < taken_ + slots_.size(); }

    // Begins the next item, makes it without the lock and puts it in its
    // slot; called and left with the lock held.
    void MakeNext(std::unique_lock<std::mutex>& lock)
    {
        const std::size_t i = next_++;
        lock.unlock();
        Item item = make_(i);
        lock.lock();
        slots_[i % slots_.size()].emplace(std::move(item));
        ready_[i % slots_.size()] = true;
    }

    void Work()
    {
        std::unique_lock lock(mutex_);
        while (!closing_ && next_ < count_) {
            if (HasRoom()) {
                const std::size_t i = next_;
                MakeNext(lock);
                if (takerWaitsFor_ == i)
                    made_.notify_one();
                continue;
            }
            // Room for the next item is taken_ > next_ - size; half the
            // window free is half a window (rounded up) more.
            const std::size_t until = next_ + 1 - (slots_.size() + 1) / 2;
            while (!closing_ && taken_ < until) {
                roomWanted_ = std::min(roomWanted_, until);
                room_.wait(lock);
            }
        }
    }

    const std::size_t count_;
    const Make make_;

    std::mutex mutex_;
    std::condition_variable made_;
    std::condition_variable room_;
    std::vector<std::optional<Item>> slots_;  // item i waits in slot i % size
    std::vector<bool> ready_;
    std::size_t next_ = 0;   // the first item not yet begun
    std::size_t taken_ = 0;  // items before this one were taken
    bool closing_ = false;
    std::size_t takerWaitsFor_ = kNobody;
    std::size_t roomWanted_ = kNobody;  // the value of taken_ that wakes the workers
    // Last, so the workers end (and are joined) before anything they use goes.
    std::vector<std::jthread> threads_;
};

}  // namespace postloom::platform
