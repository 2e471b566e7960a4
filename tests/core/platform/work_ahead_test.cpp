#include "core/platform/work_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace postloom::platform {
namespace {

// Every item comes out in order and whole, whether the workers or the
// taker are the slower side, with one worker or several and windows of
// one item or many.
TEST(WorkAheadTest, ItemsComeInOrderWhicheverSideIsSlower)
{
    for (const unsigned workers : {1u, 2u, 5u}) {
        for (const std::size_t window : {1u, 4u, 32u}) {
            for (const bool slowTaker : {false, true}) {
                constexpr std::size_t kCount = 300;
                WorkAhead<std::unique_ptr<std::string>> ahead(
                    kCount, workers, [&](std::size_t i) {
                        if (!slowTaker && i % 50 == 0)
                            std::this_thread::sleep_for(std::chrono::milliseconds(1));
                        return std::make_unique<std::string>(std::to_string(i));
                    },
                    window);
                for (std::size_t i = 0; i < kCount; ++i) {
                    if (slowTaker && i % 50 == 0)
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    const std::unique_ptr<std::string> item = ahead.Take(i);
                    ASSERT_EQ(*item, std::to_string(i)) << workers << " workers, window " << window;
                }
            }
        }
    }
}

// A taker that stops early lets the workers end, also those waiting for
// room, and no more items are made than the window allows ahead.
TEST(WorkAheadTest, StoppingEarlyEndsTheWorkersWithinTheWindow)
{
    std::atomic<std::size_t> made{0};
    {
        WorkAhead<std::size_t> ahead(
            100000, 2,
            [&](std::size_t i) {
                ++made;
                return i;
            },
            8);
        EXPECT_EQ(ahead.Take(0), 0u);
        EXPECT_EQ(ahead.Take(1), 1u);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_LE(made.load(), 2u + 2 * 8 + 2);
}

// A taker whose next item is still being made makes the next one itself
// rather than wait: with the only worker held up on an item until another
// item is made, the run still goes on, and items are made on both threads.
TEST(WorkAheadTest, TheTakerMakesItemsWhileTheWorkersAreBehind)
{
    std::mutex mutex;
    std::condition_variable madeOne;
    std::size_t made = 0;
    bool heldUpItemWaited = false;
    const std::thread::id taker = std::this_thread::get_id();
    std::atomic<std::size_t> madeByTaker{0};
    WorkAhead<std::size_t> ahead(
        50, 1,
        [&](std::size_t i) {
            if (std::this_thread::get_id() == taker)
                ++madeByTaker;
            std::unique_lock lock(mutex);
            if (i == 0) {
                // Held up until some other item is made, or long enough
                // to tell a taker that only waits.
                heldUpItemWaited = !madeOne.wait_for(lock, std::chrono::seconds(5), [&] { return made > 0; });
            } else {
                ++made;
                madeOne.notify_all();
            }
            return i;
        },
        4);
    for (std::size_t i = 0; i < 50; ++i)
        ASSERT_EQ(ahead.Take(i), i);
    EXPECT_FALSE(heldUpItemWaited);
    EXPECT_GT(madeByTaker.load(), 0u);
}

}  // namespace
}  // namespace postloom::platform
