// The text of modern pages: UTF-8 from CP932, the includes in either
// encoding, web addresses made links, quoted lines marked, the body cut
// into lines as the classic page cuts it, and dark colours that stay
// readable.

#include "core/html/address_hiding.h"
#include "core/html/modern/body_formatter.h"
#include "core/html/modern/body_lines.h"
#include "core/html/modern/caption_parts.h"
#include "core/html/modern/colours.h"
#include "core/html/modern/page_text.h"
#include "core/html/modern/url_links.h"
#include "core/text/codec.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <vector>

namespace postloom::modern {
namespace {

using test::Sjis;

std::string Linked(std::string_view text)
{
    std::string out;
    AppendLinkedText(text, out);
    return out;
}

std::string Link(std::string_view url)
{
    return "<a href=\"" + std::string(url) + "\" rel=\"nofollow noopener\">" + std::string(url) + "</a>";
}

TEST(ModernPageText, Cp932BecomesUtf8AndBrokenBytesBecomeReplacementCharacters)
{
    EXPECT_EQ(Utf8OfCp932(Sjis("日本語のメール ｶﾅ")), "日本語のメール ｶﾅ");
    EXPECT_EQ(Utf8OfCp932("plain ascii"), "plain ascii");
    // A trail byte 0x5C stays inside its character.
    EXPECT_EQ(Utf8OfCp932(Sjis("表示")), "表示");
    // NEC and IBM extensions of CP932.
    EXPECT_EQ(Utf8OfCp932(Sjis("①㈱髙")), "①㈱髙");
    const std::string broken = Utf8OfCp932(std::string("a\x81") + "b\xA0");
    EXPECT_TRUE(text::IsValidUtf8(broken));
    EXPECT_NE(broken.find("\uFFFD"), std::string::npos);
    EXPECT_EQ(EscapedUtf8OfCp932(Sjis("<太郎> & \"花子\"")), "&lt;太郎&gt; &amp; &quot;花子&quot;");
}

TEST(ModernPageText, ControlCharactersAPageMayNotHoldAreReplaced)
{
    // The escape of a JIS text stored as it came, a NUL, DEL and a C1 control.
    EXPECT_EQ(EscapedUtf8OfCp932("\x1b$B0!\x1b(B"), "\uFFFD$B0!\uFFFD(B");
    std::string out;
    AppendEscapedText(std::string("a") + '\0' + "b\x7f c\xc2\x85" "d\xc2\xa9\t\f\r", out);
    EXPECT_EQ(out, "a\uFFFDb\uFFFD c\uFFFDd\u00A9\t\f\r");
    EXPECT_EQ(Linked("\x01http://example.jp/\x02"), "\uFFFD" + Link("http://example.jp/") + "\uFFFD");
}

TEST(ModernPageText, IncludesAreReadAsUtf8WhenTheyAreAndAsCp932Otherwise)
{
    EXPECT_EQ(IncludeAsUtf8("<p>ようこそ</p>\n"), "<p>ようこそ</p>\n");
    EXPECT_EQ(IncludeAsUtf8(Sjis("<p>ようこそ</p>\n")), "<p>ようこそ</p>\n");
    EXPECT_EQ(IncludeAsUtf8("<hr>\n"), "<hr>\n");
    // Bytes that are neither still give a valid page.
    EXPECT_TRUE(text::IsValidUtf8(IncludeAsUtf8("\xFF\xFE<p>\n")));
}

TEST(ModernUrlLinks, AddressesEndWhereTheTextAroundThemBegins)
{
    EXPECT_EQ(Linked("see http://example.jp/a?b=1&c=2 now"),
              "see <a href=\"http://example.jp/a?b=1&amp;c=2\" rel=\"nofollow noopener\">"
              "http://example.jp/a?b=1&amp;c=2</a> now");
    // Japanese text touching the address on both sides.
    EXPECT_EQ(Linked("詳細はhttps://example.jp/pathを参照"), "詳細は" + Link("https://example.jp/path") + "を参照");
    EXPECT_EQ(Linked("（https://example.jp/）"), "（" + Link("https://example.jp/") + "）");
    EXPECT_EQ(Linked("ftp://ftp.example.jp/pub/\u3000次"), Link("ftp://ftp.example.jp/pub/") + "\u3000次");
    // Inside <...>, "..." and (...).
    EXPECT_EQ(Linked("<http://example.jp/x>"), "&lt;" + Link("http://example.jp/x") + "&gt;");
    EXPECT_EQ(Linked("\"http://example.jp/q\""), "&quot;" + Link("http://example.jp/q") + "&quot;");
    EXPECT_EQ(Linked("(http://example.jp/p)"), "(" + Link("http://example.jp/p") + ")");
    // A parenthesis not opened before the address belongs to it.
    EXPECT_EQ(Linked("http://example.jp/wiki/A_(b)"), Link("http://example.jp/wiki/A_(b)"));
    // The sentence's full stop is not the address's.
    EXPECT_EQ(Linked("Go to http://example.jp/."), "Go to " + Link("http://example.jp/") + ".");
    // At the end of a quoted line, the case of every quoting reply.
    EXPECT_EQ(Linked("> http://example.jp/end"), "&gt; " + Link("http://example.jp/end"));
    EXPECT_EQ(Linked("HTTP://EXAMPLE.JP/"), Link("HTTP://EXAMPLE.JP/"));
}

TEST(ModernUrlLinks, OnlyWebAddressesBecomeLinks)
{
    EXPECT_EQ(Linked("javascript:alert(1)"), "javascript:alert(1)");
    EXPECT_EQ(Linked("<a href=\"javascript:alert(1)\">x</a>"),
              "&lt;a href=&quot;javascript:alert(1)&quot;&gt;x&lt;/a&gt;");
    EXPECT_EQ(Linked("javascript://example.jp/%0Aalert(1)"), "javascript://example.jp/%0Aalert(1)");
    EXPECT_EQ(Linked("data:text/html,<b>x</b> mailto:a@b.jp file:///etc/passwd"),
              "data:text/html,&lt;b&gt;x&lt;/b&gt; mailto:a@b.jp file:///etc/passwd");
    EXPECT_EQ(Linked("xhttp://example.jp/"), "xhttp://example.jp/");
    EXPECT_EQ(Linked("http:// and http://."), "http:// and http://.");
    // No quote can leave the attribute.
    const std::string link = Linked("http://example.jp/a'b\"onmouseover=x");
    EXPECT_EQ(link, Link("http://example.jp/a'b") + "&quot;onmouseover=x");
}

TEST(ModernUrlLinks, SpansNeverOverlapAndStayInsideTheText)
{
    std::mt19937 random(20);
    const std::string pieces[] = {"http://", "https://", "a", ".", ")", "(", "<", ">", " ", "\"", "日", "ftp://", "/"};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (int i = 0; i < 12; ++i)
            text += pieces[random() % std::size(pieces)];
        std::size_t last = 0;
        for (const UrlSpan& span : FindUrls(text)) {
            ASSERT_GE(span.begin, last) << text;
            ASSERT_LT(span.begin, span.end) << text;
            ASSERT_LE(span.end, text.size()) << text;
            const std::string_view url = std::string_view(text).substr(span.begin, span.end - span.begin);
            ASSERT_EQ(url.find_first_of("<>\" "), std::string_view::npos) << text;
            last = span.end;
        }
        ASSERT_TRUE(text::IsValidUtf8(Linked(text))) << text;
    }
}

TEST(ModernBody, QuotedLinesAreMarkedAndLinesAreJoined)
{
    EXPECT_TRUE(IsQuotedLine("> quoted"));
    EXPECT_TRUE(IsQuotedLine("＞全角の引用"));
    EXPECT_TRUE(IsQuotedLine("| bar quoted"));
    EXPECT_TRUE(IsQuotedLine("  >> indented"));
    EXPECT_TRUE(IsQuotedLine("\u3000＞全角空白の後"));
    EXPECT_FALSE(IsQuotedLine("a > b"));
    EXPECT_FALSE(IsQuotedLine(""));
    EXPECT_FALSE(IsQuotedLine("〉 not a quote mark"));

    BodyFormatter formatter;
    std::string out;
    formatter.Feed("Hello <world>\n> see http://example.jp/\n\nend", out);
    formatter.Finish(out);
    EXPECT_EQ(out, "Hello &lt;world&gt;\n<span class=\"quote\">&gt; see " + Link("http://example.jp/") +
                       "</span>\n\nend");
}

// The lines ArchiveBodyLines gives for a mail file fed in pieces of size n.
std::string BodyOf(std::string_view file, std::size_t n)
{
    BodyFormatter formatter;
    ArchiveBodyLines lines;
    std::string out;
    for (std::size_t at = 0; at < file.size(); at += n)
        lines.Feed(file.substr(at, n), formatter, out);
    lines.Finish(formatter, out);
    return out;
}

TEST(ModernBody, TheArchiveIsReadAsTheClassicPageReadsIt)
{
    const std::string mail = Sjis("Subject: x\r\nFrom: y\r\n\r\n本文です\r\n> 引用\r\nlone\rcr\r\n\r\nlast");
    const std::string expected = "本文です\n<span class=\"quote\">&gt; 引用</span>\nlone\rcr\n\nlast";
    for (std::size_t n : {1, 2, 3, 7, 1000})
        EXPECT_EQ(BodyOf(mail, n), expected) << n;
    EXPECT_EQ(BodyOf("Subject: no body\r\n", 4), "");
    EXPECT_EQ(BodyOf("\r\nbody at once\r\n", 4), "body at once");
    EXPECT_EQ(BodyOf("H: v\n\nbefore\x1A after", 3), "before");
    EXPECT_EQ(BodyOf("H: v\n   \nstill header\n\nbody\n", 5), "body");
    // A character or a CR LF cut by the end of a piece stays whole.
    const std::string kanji = Sjis("\r\n表示予定\r\nｶﾅ\r") + "\x82";
    for (std::size_t n : {1, 2, 3, 5})
        EXPECT_EQ(BodyOf(kanji, n), "表示予定\nｶﾅ\r\uFFFD") << n;
}

// The plain transcription of the body rules, a line at a time: addresses
// hidden over the whole text, then each line marked when it quotes and
// made links run by run, a run longer than longest shown as text.
std::string PlainBody(std::string_view text, AddressHiding hiding, std::size_t longest)
{
    const std::string hidden = HideAddressesInText(text, hiding, TextEncoding::Utf8);
    std::string out;
    std::string_view rest = hidden;
    bool first = true;
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        const std::string_view line = rest.substr(0, lf);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
        if (!first)
            out.push_back('\n');
        first = false;
        const bool quoted = IsQuotedLine(line);
        if (quoted)
            out.append("<span class=\"quote\">");
        for (std::size_t start = 0; start < line.size();) {
            std::size_t end = start + 1;
            while (end < line.size() && !IsLinkBoundary(line[end]))
                ++end;
            const std::string_view run = line.substr(start, end - start);
            if (run.size() > longest)
                AppendEscapedText(run, out);
            else
                AppendLinkedText(run, out);
            start = end;
        }
        if (quoted)
            out.append("</span>");
    }
    return out;
}

TEST(ModernBody, TheBodyIsTheSameHoweverItIsCut)
{
    const std::vector<std::string_view> words = {
        "http://", "https://ex.jp/a?b=c", "ftp://f.jp", "(", ")", "<", ">", " ", "  ", "\t", "あ", "＞",
        "\u3000", ".", "a", "xyz", "\n", "\n", "|", "taro@example.jp", "<hanako@mail.example.jp>", "\"",
        "😀", "&", "wrote:", "javascript:x"};
    std::mt19937 random(20);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i)
            text.append(words[random() % words.size()]);
        const auto hiding = static_cast<AddressHiding>(random() % 3);
        const std::size_t longest = 4 + random() % 40;
        BodyFormatter formatter(hiding, longest);
        std::string out;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t n = 1 + random() % 12;
            formatter.Feed(std::string_view(text).substr(at, n), out);
            at += n;
        }
        formatter.Finish(out);
        ASSERT_EQ(out, PlainBody(text, hiding, longest)) << text << " hiding " << static_cast<int>(hiding);
        ASSERT_TRUE(text::IsValidUtf8(out)) << text;
    }
}

TEST(ModernBody, AddressesAreHiddenBeforeLinksAreMade)
{
    const auto body = [](AddressHiding hiding) {
        BodyFormatter formatter(hiding);
        std::string out;
        formatter.Feed("山田 <taro@example.jp> wrote:\n> mail taro@example.jp or see https://example.jp/", out);
        formatter.Finish(out);
        return out;
    };
    EXPECT_EQ(body(AddressHiding::Shown), "山田 &lt;taro@example.jp&gt; wrote:\n<span class=\"quote\">&gt; mail "
                                          "taro@example.jp or see " +
                                              Link("https://example.jp/") + "</span>");
    EXPECT_EQ(body(AddressHiding::Masked), "山田 &lt;taro@…&gt; wrote:\n<span class=\"quote\">&gt; mail taro@… or see " +
                                               Link("https://example.jp/") + "</span>");
    EXPECT_EQ(body(AddressHiding::Removed), "山田 wrote:\n<span class=\"quote\">&gt; mail (アドレス非表示) or see " +
                                                Link("https://example.jp/") + "</span>");
}

TEST(ModernBody, AVeryLongLinePassesInBoundedPieces)
{
    // One line of ten megabytes: what is held back stays far below it.
    BodyFormatter formatter;
    std::string out;
    std::size_t written = 0;
    const std::string piece(64 * 1024, 'x');
    formatter.Feed("see http://example.jp/", out);
    for (int i = 0; i < 160; ++i) {
        formatter.Feed(piece, out);
        written += out.size();
        out.clear();
        ASSERT_GE(written + 2 * kLongestLinkedRun, (i + 1) * piece.size()) << i;
    }
    formatter.Finish(out);
    written += out.size();
    EXPECT_EQ(written, 160 * piece.size() + std::string_view("see http://example.jp/").size());
}

TEST(ModernBody, DecodedTextIsCutIntoLines)
{
    BodyFormatter formatter;
    std::string out;
    for (const std::string_view piece : {"絵文字😀と", "\n改行\n", "> q", "uote"})
        formatter.Feed(piece, out);
    formatter.Finish(out);
    EXPECT_EQ(out, "絵文字😀と\n改行\n<span class=\"quote\">&gt; quote</span>");
}

// The dates every modern page shows, against the library's own formatting
// of the same break-down, over the whole range a stored date can hold.
TEST(ModernDates, ShownAsTheLibraryFormatsThem)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<std::int64_t> anyDate(INT32_MIN, INT32_MAX);
    std::vector<std::int32_t> dates{INT32_MIN, -32401, -32400, -1, 0, 1, INT32_MAX};
    for (int i = 0; i < 20000; ++i)
        dates.push_back(static_cast<std::int32_t>(anyDate(random)));
    for (const std::int32_t date : dates) {
        MailRecord mail;
        mail.date = date;
        const std::time_t shifted = static_cast<std::time_t>(date) + 32400;
        std::string machine;
        std::string withTime;
        std::string day;
        std::tm tm{};
        if (shifted >= 0 && localtime_r(&shifted, &tm) != nullptr) {
            char text[32];
            std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M", &tm);
            machine = text;
            std::strftime(text, sizeof text, "%Y/%m/%d %H:%M", &tm);
            withTime = text;
            std::strftime(text, sizeof text, "%Y/%m/%d", &tm);
            day = text;
        }
        ASSERT_EQ(modern::DateText(mail, true), withTime) << date;
        ASSERT_EQ(modern::DateText(mail, false), day) << date;
        ASSERT_EQ(modern::DateHtml(mail, true),
                  machine.empty() ? "" : "<time datetime=\"" + machine + "\">" + withTime + "</time>")
            << date;
    }
}

TEST(ModernColours, TheDarkSchemeKeepsTextReadable)
{
    const Rgb white = RgbOfStored(0xFFFFFF);
    const Rgb black = RgbOfStored(0x000000);
    EXPECT_EQ(CssColour(RgbOfStored(0x563412)), "#123456");
    EXPECT_NEAR(ContrastRatio(white, black), 21.0, 0.01);
    std::mt19937 random(4);
    for (int round = 0; round < 500; ++round) {
        const Rgb background = RgbOfStored(random() & 0xFFFFFF);
        const Rgb text = RgbOfStored(random() & 0xFFFFFF);
        const Rgb dark = DarkBackground(background);
        const Rgb darkText = DarkForeground(text, background, dark);
        const double wanted = std::clamp(ContrastRatio(text, background), 4.5, 7.0);
        // Only black or white on a middling background can fall short.
        EXPECT_TRUE(ContrastRatio(darkText, dark) >= wanted || CssColour(darkText) == "#FFFFFF" ||
                    CssColour(darkText) == "#000000")
            << CssColour(text) << " on " << CssColour(background);
        EXPECT_GE(ContrastRatio(Readable(text, background, 4.5), background), 4.5)
            << CssColour(text) << " on " << CssColour(background);
    }
    EXPECT_LT(ContrastRatio(DarkBackground(white), black), 1.5);
}

}  // namespace
}  // namespace postloom::modern
