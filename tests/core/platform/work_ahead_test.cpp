#include "core/platform/work_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
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

}  // namespace
}  // namespace postloom::platform
