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

TEST(ScriptEncodingTest, StringLiteralsEscapeWhatWouldEndOrBreakThem)
{
    std::string out;
    AppendStringLiteral("a\"b\\c\nd\x01\xE2\x80\xA8" "e\xFF", out);
    EXPECT_EQ(out, "\"a\\\"b\\\\c\\nd\\u0001\\u2028e\xEF\xBF\xBD\"");
}

}  // namespace
}  // namespace postloom::search
