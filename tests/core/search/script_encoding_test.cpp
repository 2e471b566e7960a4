#include "core/search/script_encoding.h"

#include <gtest/gtest.h>

namespace postloom::search {
namespace {

TEST(ScriptEncodingTest, Base64MatchesTheStandardVectors)
{
    EXPECT_EQ(Base64(""), "");
    EXPECT_EQ(Base64("f"), "Zg==");
    EXPECT_EQ(Base64("fo"), "Zm8=");
    EXPECT_EQ(Base64("foo"), "Zm9v");
    EXPECT_EQ(Base64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64(std::string_view("\xFF\xFE\x00", 3)), "//4A");
}

TEST(ScriptEncodingTest, DeltaCodeStoresGapsLessOneInLeb128)
{
    EXPECT_EQ(DeltaCode({}), "");
    EXPECT_EQ(DeltaCode({0, 1, 2}), std::string("\0\0\0", 3));
    EXPECT_EQ(DeltaCode({5}), "\x05");
    // 0, then a gap of 200 (199 stored: 0xC7 0x01).
    EXPECT_EQ(DeltaCode({0, 200}), std::string("\x00\xC7\x01", 3));
    EXPECT_EQ(DeltaCode({0xFFFFFFFFu}), "\xFF\xFF\xFF\xFF\x0F");
}

TEST(ScriptEncodingTest, PostingsTakeABitmapWhereItIsShorter)
{
    std::vector<std::uint32_t> few{3, 700};
    EXPECT_EQ(PostingsText(DeltaCode(few), 700), Base64(DeltaCode(few)));
    std::vector<std::uint32_t> most;
    for (std::uint32_t n = 0; n < 100; ++n) {
        if (n % 3 != 0) {
            most.push_back(n);
        }
    }
    // Bits 1, 2, 4, 5, 7, ...: 0b10110110 0b01101101 0b11011011 ..., 13 bytes.
    const std::string text = PostingsText(DeltaCode(most), 98);
    ASSERT_TRUE(text.starts_with("!"));
    EXPECT_TRUE(text.starts_with("!" + Base64("\xB6\x6D\xDB")));
    EXPECT_EQ(text.size(), 1 + Base64(std::string(13, 'x')).size());
}

TEST(ScriptEncodingTest, PostingsTakeARiceCodeForTermsInSomeOfTheMails)
{
    // Gaps less one of 4, 4, 5, 6, 4, 5, 6, ...: about 5, so k = 2.
    std::vector<std::uint32_t> some;
    for (std::uint32_t n = 4, step = 0; some.size() < 30; n += 5 + step % 3, ++step) {
        some.push_back(n);
    }
    const std::string text = PostingsText(DeltaCode(some), some.back());
    ASSERT_TRUE(text.starts_with("~"));
    // Count 30 less one, k 2, then gap 4 twice: 1 0 00 (unary, its end, low
    // bits from the lowest), a byte 0b00010001.
    EXPECT_TRUE(text.starts_with("~" + Base64("\x1D\x02\x11")));
}

TEST(ScriptEncodingTest, StringLiteralsEscapeWhatWouldEndOrBreakThem)
{
    std::string out;
    AppendStringLiteral("a\"b\\c\nd\x01\xE2\x80\xA8" "e\xFF", out);
    EXPECT_EQ(out, "\"a\\\"b\\\\c\\nd\\u0001\\u2028e\xEF\xBF\xBD\"");
}

}  // namespace
}  // namespace postloom::search
