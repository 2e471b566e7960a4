#include "core/platform/local_time.h"

#include <gtest/gtest.h>

using namespace postloom::platform;

namespace {

// The tests run with TZ=Asia/Tokyo (nine hours ahead of UTC, no DST).
TEST(LocalTimeTest, ConvertsAndNormalisesFields)
{
    EXPECT_EQ(MakeLocalTime(1970, 1, 1, 9, 0, 0), 0);
    EXPECT_EQ(MakeLocalTime(1998, 1, 1, 10, 0, 0), 883'616'400);
    // Day 0 is the last day of the month before.
    EXPECT_EQ(MakeLocalTime(2000, 1, 0, 0, 0, 0), MakeLocalTime(1999, 12, 31, 0, 0, 0));
}

TEST(LocalTimeTest, TimesBeyondThirtyTwoBitsGiveMinusOne)
{
    EXPECT_EQ(MakeLocalTime(2069, 1, 1, 0, 0, 0), -1);
    EXPECT_EQ(MakeLocalTime(2147483647LL + 2000, 1, 1, 0, 0, 0), -1);
}

TEST(LocalTimeTest, BreaksDownInTheLocalZone)
{
    const auto tm = BreakDownLocal(32400);
    ASSERT_TRUE(tm);
    EXPECT_EQ(tm->tm_year, 70);
    EXPECT_EQ(tm->tm_hour, 18);
}

}  // namespace
