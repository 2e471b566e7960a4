#include "core/text/cp932.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace postloom::text;
using postloom::test::Sjis;

namespace {

// "ー" (katakana long-vowel mark) is 0x81 0x5B: its trail byte is "[".
// "表" is 0x95 0x5C: its trail byte is "\".
const std::string kLongVowel = "\x81\x5B";
const std::string kHyo = "\x95\x5C";

TEST(Cp932SearchTest, TrailBytesAreNeverTakenForTheCharacterSought)
{
    EXPECT_EQ(FindChar(kLongVowel + "[", '['), 2u);
    EXPECT_EQ(FindChar(kLongVowel, '['), npos);
    EXPECT_EQ(FindChar(kHyo + "\\x\\", '\\'), 2u);
    EXPECT_EQ(FindLastChar("a\\" + kHyo, '\\'), 1u);
    EXPECT_EQ(FindFirstOf(kLongVowel + "x]", "[]"), 3u);
}

TEST(Cp932SearchTest, LeadByteAtTheEndCountsAsOneCharacter)
{
    const std::string s = "ab\x81";
    EXPECT_EQ(CharLength(s, 2), 1u);
    EXPECT_EQ(CharCount(s), 3u);
    EXPECT_EQ(FindChar(s, '\x81'), 2u);
    EXPECT_EQ(CharCount(Sjis("表示")), 2u);
}

TEST(Cp932SearchTest, SearchStartsAtTheGivenPosition)
{
    EXPECT_EQ(FindChar("a<b<c", '<', 2), 3u);
    EXPECT_EQ(FindChar("abc", 'a', 3), npos);
}

TEST(Cp932TrimTest, RemovesOnlyLeadingAsciiWhiteSpace)
{
    EXPECT_EQ(TrimLeadingWhiteSpace(" \t\r\n\v\fx y "), "x y ");
    EXPECT_EQ(TrimLeadingWhiteSpace("   "), "");
    // The full-width blank 0x81 0x40 is not white space.
    EXPECT_EQ(TrimLeadingWhiteSpace("\x81\x40x"), "\x81\x40x");
}

TEST(Cp932TextAroundTest, AfterAndBeforeAPosition)
{
    EXPECT_EQ(TextAfter("a:b", 1), "b");
    EXPECT_EQ(TextAfter("a:", 1), "");
    EXPECT_EQ(TextAfter("abc", npos), "");
    EXPECT_EQ(TextBefore("a>b", 1), "a");
    EXPECT_EQ(TextBefore("ab", npos), "");
}

TEST(Cp932CaseTest, AsciiLettersCompareWithoutCase)
{
    EXPECT_TRUE(EqualsIgnoreCase("Message-ID", "message-id"));
    EXPECT_FALSE(EqualsIgnoreCase("abc", "abd"));
    EXPECT_FALSE(EqualsIgnoreCase("abc", "ab"));
    EXPECT_TRUE(StartsWithIgnoreCase("SUBJECTS: x", "Subject"));
    EXPECT_FALSE(StartsWithIgnoreCase("Sub", "Subject"));
    // Bytes outside A-Z are compared exactly.
    EXPECT_FALSE(EqualsIgnoreCase("\xC0", "\xE0"));
}

TEST(Cp932CaseTest, LowerCasingLeavesDoubleByteCharactersAlone)
{
    EXPECT_EQ(ToLowerAscii("ABC.ALM"), "abc.alm");
    // 0x82 0x60 is full-width "Ａ"; its trail byte 0x60 is not touched, and a
    // trail byte in A-Z (0x83 0x41 "ア") is not lower-cased.
    EXPECT_EQ(ToLowerAscii("\x83\x41" "A"), "\x83\x41" "a");
}

TEST(Cp932TruncateTest, NeverSplitsADoubleByteCharacter)
{
    const std::string s = "ab" + kHyo + "c";
    EXPECT_EQ(TruncateToCharBoundary(s, 3), "ab");
    EXPECT_EQ(TruncateToCharBoundary(s, 4), "ab" + kHyo);
    EXPECT_EQ(TruncateToCharBoundary(s, 10), s);
    EXPECT_EQ(TruncateToCharBoundary(s, 0), "");
}

}  // namespace
