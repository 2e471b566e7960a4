#include "core/mail/mail_parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace postloom;

namespace {

// The tests run with TZ=Asia/Tokyo: 1998-01-01 10:00:00 local time.
constexpr std::int32_t kTenOClock = 883'616'400;

std::int32_t WithZone(const std::string& zone)
{
    return ParseDateLine("Date: Thu, 01 Jan 1998 10:00:00 " + zone);
}

TEST(DateTest, DayOfWeekNameIsOptional)
{
    EXPECT_EQ(ParseDateLine("Date: Mon, 01 Jan 98 10:00:00 +0900"), kTenOClock - 32'400);
    EXPECT_EQ(ParseDateLine("Date: 01 Jan 98 10:00:00 +0900"), kTenOClock - 32'400);
    EXPECT_EQ(ParseDateLine("DATE:1 Jan 1998 10:00:00 +0900"), kTenOClock - 32'400);
}

TEST(DateTest, NumericZonesMoveTheTimeToGreenwich)
{
    EXPECT_EQ(WithZone("+0530"), kTenOClock - 19'800);
    EXPECT_EQ(WithZone("-0030"), kTenOClock + 1'800);
    EXPECT_EQ(WithZone("-0800"), kTenOClock + 28'800);
    EXPECT_EQ(WithZone("+0900 (JST)"), kTenOClock - 32'400);
    EXPECT_EQ(WithZone("0900"), kTenOClock - 32'400);
    EXPECT_EQ(WithZone("+0000"), kTenOClock);
}

TEST(DateTest, NamedZonesMatchTheFirstTableEntryThatStartsTheText)
{
    EXPECT_EQ(WithZone("EST"), kTenOClock + 18'000);
    EXPECT_EQ(WithZone("jst"), kTenOClock - 32'400);
    EXPECT_EQ(WithZone("PDT"), kTenOClock + 25'200);
    EXPECT_EQ(WithZone("GMT"), kTenOClock);
    EXPECT_EQ(WithZone("UTC"), kTenOClock);  // "UT"
    EXPECT_EQ(WithZone("CET"), kTenOClock + 10'800);  // "C", -0300
    EXPECT_EQ(WithZone("a"), kTenOClock + 3'600);
    EXPECT_EQ(WithZone("N"), kTenOClock - 3'600);
    EXPECT_EQ(WithZone("Y"), kTenOClock - 43'200);
    EXPECT_EQ(WithZone("M"), kTenOClock + 43'200);
}

TEST(DateTest, UnknownOrMissingZonesCountAsGreenwich)
{
    EXPECT_EQ(WithZone("Z"), kTenOClock);
    EXPECT_EQ(WithZone("J"), kTenOClock);
    EXPECT_EQ(WithZone("(JST)"), kTenOClock);
    EXPECT_EQ(WithZone(""), kTenOClock);
}

TEST(DateTest, FieldsAreSeparatedByRunsOfBlanksAndTabs)
{
    const std::vector<std::string> fields{"Thu,", "1", "Jan", "1998", "10:00:00", "+0900"};
    const std::int32_t expected = kTenOClock - 32'400;
    for (const std::string gap : {"  ", "\t", " \t", "\t\t ", "     \t  "}) {
        for (std::size_t wide = 0; wide + 1 < fields.size(); ++wide) {
            std::string line = "Date:";
            for (std::size_t i = 0; i < fields.size(); ++i)
                line += (i == wide + 1 ? gap : std::string(" ")) + fields[i];
            EXPECT_EQ(ParseDateLine(line), expected) << line;
        }
        std::string everywhere = "Date:" + gap;
        for (const std::string& field : fields)
            everywhere += field + gap;
        EXPECT_EQ(ParseDateLine(everywhere), expected) << everywhere;
    }
    // Two blanks before a one-digit day, as many mail programs write it.
    EXPECT_EQ(ParseDateLine("Date: Thu,  1 Jan 1998 10:00:00 +0900"), expected);
    EXPECT_EQ(ParseDateLine("Date: Thu, 1 Jan 1998 10:00:00  +0900"), expected);
    EXPECT_EQ(ParseDateLine("Date:\tThu,\t1\tJan\t1998\t10:00:00\t+0900"), expected);
    // Trailing blanks after the time leave an empty zone text.
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 1998 10:00:00 \t "), kTenOClock);
}

TEST(DateTest, TwoDigitYearsFallIn1970To2069)
{
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 05 00:00:00 +0000"), 1'104'505'200);
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 99 00:00:00 +0000"), 915'116'400);
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 70 09:00:00 +0000"), 0);
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 1998 10:00:00 +0000"), kTenOClock);
    EXPECT_EQ(ParseDateLine("Date: 1 Jan -5 00:00:00 +0000"), 788'886'000);  // 1995
    // 2069 and the year 100 lie beyond a 32-bit seconds value: -1, then the zone.
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 69 00:00:00 +0000"), -1);
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 100 00:00:00 +0100"), -1 - 3'600);
}

TEST(DateTest, MonthNamesIgnoreCaseAndUnknownNamesAreJanuary)
{
    EXPECT_EQ(ParseDateLine("Date: 1 JAN 1998 10:00:00 +0000"), kTenOClock);
    EXPECT_EQ(ParseDateLine("Date: 1 jan 1998 10:00:00 +0000"), kTenOClock);
    EXPECT_EQ(ParseDateLine("Date: 1 Foo 1998 10:00:00 +0000"), kTenOClock);
    EXPECT_EQ(ParseDateLine("Date: 1 January 1998 10:00:00 +0000"), kTenOClock);
    EXPECT_EQ(ParseDateLine("Date: 1 dec 1998 00:00:00 +0000"), 912'438'000);
}

TEST(DateTest, TimeIsReadAtFixedPositions)
{
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 1998 9:05:00 +0000"), kTenOClock - 3'300);
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 1998 10 +0000"), kTenOClock);
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 1998 10:00:3 +0000"), kTenOClock + 3);
}

TEST(DateTest, MissingFieldsReadAsZeroJanuaryAnd2000)
{
    // Day 0 of January 2000 is 31 December 1999.
    EXPECT_EQ(ParseDateLine("Date:"), 946'566'000);
    EXPECT_EQ(ParseDateLine("Date: "), 946'566'000);
    // The time field finds no blank after it, so the whole time is the zone
    // text: 10 minutes east.
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 1998 10:00:00"), kTenOClock - 36'000 - 600);
}

TEST(DateTest, ExtremeNumbersNeverOverflow)
{
    // Zone arithmetic beyond 32 bits wraps modulo 2^32.
    EXPECT_EQ(WithZone("+2147483647"), 883'615'308);
    EXPECT_EQ(WithZone("-2147483648"), 883'617'552);
    EXPECT_EQ(WithZone("99999999999999999999"), WithZone("+1661992959"));
    // Fields far out of range give a time that cannot be represented.
    EXPECT_EQ(ParseDateLine("Date: 1215752191 Jan 1998 00:00:00 +0000"), -1);
    EXPECT_EQ(ParseDateLine("Date: 1 Jan 2147483647 2147483647:2147483647:2147483647 -2147483648"),
              static_cast<std::int32_t>(-1 + 77'309'412'480 - 18 * (std::int64_t{1} << 32)));
}

}  // namespace
