#include "core/text/codec.h"

#include <gtest/gtest.h>

using namespace postloom::text;

namespace {

TEST(CodecTest, ConvertsJapaneseBothWays)
{
    const std::string utf8 = "日本語のﾒｰﾙ";
    const std::string sjis = Utf8ToCp932(utf8);
    EXPECT_EQ(sjis, "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\xD2\xB0\xD9");
    EXPECT_EQ(Cp932ToUtf8(sjis), utf8);
}

TEST(CodecTest, TextThatDoesNotConvertPassesUnchanged)
{
    const std::string broken = "a\x81";  // a lead byte without its trail byte
    EXPECT_EQ(Cp932ToUtf8(broken), broken);
    const std::string notUtf8 = "\xFF\xFE x";
    EXPECT_EQ(Utf8ToCp932(notUtf8), notUtf8);
    EXPECT_EQ(Cp932ToUtf8(""), "");
    EXPECT_EQ(Utf8ToCp932("plain ascii"), "plain ascii");
}

}  // namespace
