#include "core/text/codec.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

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

TEST(CodecTest, UnmappableCharactersBecomeGetaOrCharacterReferences)
{
    const std::string utf8 = "日本\U0001F600語";
    EXPECT_EQ(Utf8ToCp932(utf8, Unmappable::Geta), "\x93\xFA\x96\x7B\x81\xAC\x8C\xEA");
    EXPECT_EQ(Utf8ToCp932(utf8, Unmappable::CharacterReference), "\x93\xFA\x96\x7B&#x1F600;\x8C\xEA");
    // Upper-case hex without leading zeros, up to the last code point.
    EXPECT_EQ(Utf8ToCp932("\u00DF\u00E9\U0010FFFF", Unmappable::CharacterReference), "&#xDF;&#xE9;&#x10FFFF;");
    EXPECT_EQ(Utf8ToCp932("plain ascii\t<>&", Unmappable::CharacterReference), "plain ascii\t<>&");
    EXPECT_EQ(Utf8ToCp932("", Unmappable::Geta), "");
}

TEST(CodecTest, EveryByteThatIsNotUtf8IsOneReplacement)
{
    const auto ncr = Unmappable::CharacterReference;
    EXPECT_EQ(Utf8ToCp932("a\xFF" "b", ncr), "a&#xFFFD;b");
    EXPECT_EQ(Utf8ToCp932("a\xFF" "b", Unmappable::Geta), "a\x81\xAC" "b");
    EXPECT_EQ(Utf8ToCp932("\xC0\xAF", ncr), "&#xFFFD;&#xFFFD;");               // overlong '/'
    EXPECT_EQ(Utf8ToCp932("\xED\xA0\x80!", ncr), "&#xFFFD;&#xFFFD;&#xFFFD;!");  // surrogate
    EXPECT_EQ(Utf8ToCp932("\xE6\x97\xA5\xE3\x81", ncr), "\x93\xFA&#xFFFD;&#xFFFD;");  // cut at the end
    EXPECT_EQ(Utf8ToCp932("\xF4\x90\x80\x80", ncr), "&#xFFFD;&#xFFFD;&#xFFFD;&#xFFFD;");
}

// Japanese text from UTF-8 mail programs uses the code points of other
// conversion tables for a few characters; each must land on the CP932
// character a Japanese reader sees, not on a reference or a geta.
TEST(CodecTest, JapaneseVariantCharactersMapToTheirCp932Form)
{
    struct Case {
        const char* utf8;
        const char* cp932;
    };
    const Case cases[] = {
        {"\u301C", "\x81\x60"}, {"\uFF5E", "\x81\x60"},  // wave dash, full-width tilde
        {"\u2016", "\x81\x61"}, {"\u2225", "\x81\x61"},  // double vertical line
        {"\u2212", "\x81\x7C"}, {"\uFF0D", "\x81\x7C"},  // minus
        {"\u00A2", "\x81\x91"}, {"\u00A3", "\x81\x92"}, {"\u00AC", "\x81\xCA"},
        {"\u2014", "\x81\x5C"}, {"\u2015", "\x81\x5C"},  // dash
        {"\u00A6", "\xFA\x55"}, {"\u00B7", "\x81\x45"},  // broken bar, middle dot
        {"\u00A5", "\x5C"},                              // yen sign, as Shift-JIS writes it
        {"\u2460\u3231\u2161", "\x87\x40\x87\x8A\x87\x55"},  // NEC special characters
        {"\uFF71\uFF9E", "\xB1\xDE"},                        // half-width kana
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToCp932(c.utf8, Unmappable::CharacterReference), c.cp932) << c.utf8;
        EXPECT_EQ(Utf8ToCp932(c.utf8, Unmappable::Geta), c.cp932) << c.utf8;
    }
}

TEST(CodecTest, LongTextsWithManyReplacementsConvertWhole)
{
    std::string utf8;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        utf8 += "\u3042\U0001F600x\xFF";
        expected += "\x82\xA0&#x1F600;x&#xFFFD;";
    }
    EXPECT_EQ(Utf8ToCp932(utf8, Unmappable::CharacterReference), expected);
}

TEST(CodecTest, ConvertsFromThreadsAtOnce)
{
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&results, t] {
            std::string utf8;
            for (int i = 0; i < 2000; ++i) {
                std::string part;
                if (ConvertToUtf8("\x1B$B$\"\x1B(B\xE9", i % 2 == 0 ? "ISO-2022-JP" : "latin1", part))
                    utf8 = part;
                results[t] += Utf8ToCp932(utf8, Unmappable::Geta);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::string expected;
    for (int i = 0; i < 2000; ++i)
        expected += i % 2 == 0 ? "\x82\xA0\x81\xAC" : "\x1B$B$\"\x1B(B\x81\xAC";
    for (const std::string& result : results)
        EXPECT_EQ(result, expected);
}

std::string ToUtf8(std::string_view bytes, std::string_view charset)
{
    std::string out = "untouched";
    EXPECT_TRUE(ConvertToUtf8(bytes, charset, out)) << charset;
    return out;
}

TEST(CodecTest, ReadsCharsetsUnderTheNamesMailsGiveThem)
{
    EXPECT_EQ(ToUtf8("caf\xE9", "iso-8859-1"), "café");
    // ISO-8859-1 labels are read as windows-1252: senders' curly quotes.
    EXPECT_EQ(ToUtf8("\x93ok\x94 \x80", "ISO-8859-1"), "\u201Cok\u201D \u20AC");
    EXPECT_EQ(ToUtf8("caf\xE9", "windows-1252"), "café");
    EXPECT_EQ(ToUtf8("\x93\xFA\x87\x40\x81\x60", "Shift_JIS"), "日①～");
    for (const char* sjis : {"x-sjis", "ms932", "windows-31j", "SJIS", "cp932"})
        EXPECT_EQ(ToUtf8("\x87\x8A", sjis), "㈱") << sjis;
    EXPECT_EQ(ToUtf8("\xC6\xFC\xAD\xA1", "euc-jp"), "日①");
    EXPECT_EQ(ToUtf8("\xE6\x97\xA5", "utf8"), "日");
    EXPECT_EQ(ToUtf8("\xE6\x97\xA5", "UTF-8"), "日");
    EXPECT_EQ(ToUtf8("", "UTF-8"), "");
}

TEST(CodecTest, ReadsIso2022JpWithTheExtensionsOfWindowsMailPrograms)
{
    // こんにちは
    EXPECT_EQ(ToUtf8("\x1B$B$3$s$K$A$O\x1B(B!", "ISO-2022-JP"), "こんにちは!");
    // Half-width kana in their own set.
    EXPECT_EQ(ToUtf8("\x1B(I\x31\x32\x1B(B.", "iso-2022-jp"), "ｱｲ.");
    // ① and ㈱ (NEC row 13) and 纊 (IBM extension) inside ESC $ B.
    EXPECT_EQ(ToUtf8("\x1B$B$\"\x2D\x21\x2D\x6A$\"\x1B(B.", "ISO-2022-JP"), "あ①㈱あ.");
    EXPECT_EQ(ToUtf8("\x1B$B\x79\x21\x1B(B", "ISO-2022-JP"), "纊");
    // A pair that no table holds is one replacement, and the text goes on.
    EXPECT_EQ(ToUtf8("\x1B$B\x29\x21$\"\x1B(Bz", "ISO-2022-JP"), "\uFFFDあz");
    EXPECT_EQ(ToUtf8("\x1B$B$\"\x2D", "ISO-2022-JP"), "あ\uFFFD");
}

TEST(CodecTest, BytesThatDoNotConvertBecomeReplacementCharacters)
{
    EXPECT_EQ(ToUtf8("a\xFF" "b\xC0", "utf-8"), "a\uFFFDb\uFFFD");
    EXPECT_EQ(ToUtf8("\x93\xFA\x81", "Shift_JIS"), "日\uFFFD");
    EXPECT_EQ(ToUtf8("a\x81" "b", "windows-1252"), "a\uFFFDb");
    EXPECT_EQ(ToUtf8("a\xE9", "us-ascii"), "a\uFFFD");
    // Beyond U+10FFFF, which glibc's UTF-8 reader lets through.
    EXPECT_EQ(ToUtf8("\xF7\xB6\xAD\xB9!", "utf-8"), "\uFFFD\uFFFD\uFFFD\uFFFD!");
    EXPECT_TRUE(IsValidUtf8(ToUtf8(std::string("\0\x11\0\0\0\0\0A", 8), "UTF-32BE")));
}

TEST(CodecTest, UnknownOrOddCharsetNamesAreRefused)
{
    for (const char* charset :
         {"x-unknown", "unknown-8bit", "", "UTF-8//TRANSLIT", "utf 8", "\"utf-8\"", "utf-8;", "\xE6\x97\xA5",
          "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"}) {
        std::string out = "untouched";
        EXPECT_FALSE(ConvertToUtf8("abc", charset, out)) << charset;
        EXPECT_EQ(out, "untouched");
    }
}

TEST(CodecTest, Utf8ValidityIsStrict)
{
    for (const char* valid : {"", "ascii only, longer than eight bytes", "日本語", "\U0001F600", "\U0010FFFF",
                              "\u00E9\u0800\uFFFD", "0123456789abcdef\u3042"})
        EXPECT_TRUE(IsValidUtf8(valid)) << valid;
    for (const char* invalid : {"\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                "\xF8\x88\x80\x80\x80", "\xFF", "\xE3\x81", "0123456789abcdef\xE3\x81",
                                "0123\xFF" "4567", "\x93\xFA\x96\x7B"})
        EXPECT_FALSE(IsValidUtf8(invalid)) << invalid;
}

}  // namespace
