#include "core/text/number.h"

#include <gtest/gtest.h>

using namespace postloom::text;

namespace {

TEST(ParseDecimalTest, LeadingWhiteSpaceSignAndDigitsUpToTheFirstOtherCharacter)
{
    EXPECT_EQ(ParseDecimal("12px"), 12);
    EXPECT_EQ(ParseDecimal("  \t-5"), -5);
    EXPECT_EQ(ParseDecimal("+7"), 7);
    EXPECT_EQ(ParseDecimal("3=4"), 3);
    EXPECT_EQ(ParseDecimal("x12"), 0);
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal("-"), 0);
    EXPECT_EQ(ParseDecimal("- 5"), 0);
}

TEST(ParseDecimalTest, TooLargeNumbersWrapAround)
{
    EXPECT_EQ(ParseDecimal("2147483647"), 2147483647);
    EXPECT_EQ(ParseDecimal("2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseDecimal("4294967296"), 0);
    EXPECT_EQ(ParseDecimal("4294967297"), 1);
    EXPECT_EQ(ParseDecimal("-2147483648"), -2147483647 - 1);
}

TEST(ParseHexTest, DigitsOfEitherCaseWithOptionalPrefix)
{
    EXPECT_EQ(ParseHex("FF8000"), 0xFF8000u);
    EXPECT_EQ(ParseHex("0x00ff00"), 0xFF00u);
    EXPECT_EQ(ParseHex("0XaBc"), 0xABCu);
    EXPECT_EQ(ParseHex(" ff00"), 0xFF00u);
    EXPECT_EQ(ParseHex("12g4"), 0x12u);
    EXPECT_EQ(ParseHex("g"), 0u);
    EXPECT_EQ(ParseHex(""), 0u);
    EXPECT_EQ(ParseHex("0x"), 0u);
}

TEST(ParseHexTest, OverflowGivesAllOnesAndMinusNegates)
{
    EXPECT_EQ(ParseHex("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHex("100000000"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHex("123456789ABCDEF"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHex("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHex("-0x10"), 0xFFFFFFF0u);
    EXPECT_EQ(ParseHex("-100000000"), 1u);
    EXPECT_EQ(ParseHex("+ff"), 0xFFu);
}

}  // namespace
