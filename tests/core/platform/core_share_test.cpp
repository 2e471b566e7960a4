#include "core/platform/core_share.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <vector>

namespace postloom::platform {
namespace {

// Every item is handed out exactly once, whatever the count, the cores and
// the shortest run: none lost at the edges of the ranges, none twice.
TEST(CoreShareTest, EveryItemIsHandedOutExactlyOnce)
{
    for (const std::size_t count : {0u, 1u, 2u, 7u, 1023u, 1024u, 2049u, 5000u}) {
        for (const unsigned cores : {1u, 2u, 3u, 8u}) {
            for (const std::size_t minimumRun : {1u, 1024u}) {
                std::vector<std::atomic<int>> seen(count);
                std::atomic<int> ranges = 0;
                ShareAmongCores(
                    count, cores,
                    [&](std::size_t begin, std::size_t end) {
                        ++ranges;
                        for (std::size_t i = begin; i < end; ++i)
                            ++seen[i];
                    },
                    minimumRun);
                for (std::size_t i = 0; i < count; ++i)
                    ASSERT_EQ(seen[i].load(), 1) << count << " items, " << cores << " cores, item " << i;
                EXPECT_LE(ranges.load(), static_cast<int>(cores));
            }
        }
    }
}

}  // namespace
}  // namespace postloom::platform
