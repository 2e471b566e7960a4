#include "core/mime/html_text.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using postloom::mime::HtmlToText;

namespace {

TEST(HtmlTextTest, DropsScriptsStylesCommentsAndTheHead)
{
    EXPECT_EQ(HtmlToText("<html><head><title>Title</title><style>p { color: red }</style>"
                         "<script>var x;</script></head><body><script>alert('x')</script>"
                         "<!-- note -->Hello <b>world</b><style>b {}</style></body></html>"),
              "Hello world\n");
    EXPECT_EQ(HtmlToText("<script>only()</script>"), "");
    EXPECT_EQ(HtmlToText(""), "");
}

TEST(HtmlTextTest, BlocksAndBreaksEndLines)
{
    EXPECT_EQ(HtmlToText("<div>one</div><div>two</div>three<br>four<br><br>five"),
              "one\ntwo\nthree\nfour\n\nfive\n");
    EXPECT_EQ(HtmlToText("<p>para one</p><p>para two</p><h1>head</h1>tail"),
              "para one\n\npara two\n\nhead\n\ntail\n");
    EXPECT_EQ(HtmlToText("<ul><li>x<li>y</ul>after"), "x\ny\n\nafter\n");
    EXPECT_EQ(HtmlToText("<table><tr><td>a</td><td>b</td></tr><tr><th>c</th></tr></table>"), "a b\nc\n");
}

TEST(HtmlTextTest, BlankLinesCollapseAndLeaveTheEnds)
{
    EXPECT_EQ(HtmlToText("<br><br><p></p>x<br><br><br><br>y<p>&nbsp;</p><p>z</p><br><br>"), "x\n\ny\n\nz\n");
}

TEST(HtmlTextTest, WhiteSpaceCollapsesExceptInPre)
{
    EXPECT_EQ(HtmlToText("  a \n\t b  <i> c</i>d"), "a b cd\n");
    EXPECT_EQ(HtmlToText("a&nbsp;&nbsp;b"), "a  b\n");
    EXPECT_EQ(HtmlToText("<pre>  x  y\n\tz</pre>after"), "  x  y\n\tz\n\nafter\n");
}

TEST(HtmlTextTest, DecodesEntitiesAndKeepsUtf8)
{
    EXPECT_EQ(HtmlToText("&lt;tag&gt; &amp; &eacute; &#x3042;&#12354; &quot;q&quot;"), "<tag> & é ああ \"q\"\n");
    EXPECT_EQ(HtmlToText("<p>こんにちは、<b>世界</b></p>"), "こんにちは、世界\n");
    // The declared charset of the document does not override the UTF-8 given.
    EXPECT_EQ(HtmlToText("<meta charset=\"iso-8859-1\"><p>café</p>"), "café\n");
}

TEST(HtmlTextTest, BrokenMarkupKeepsItsText)
{
    EXPECT_EQ(HtmlToText("<p>unclosed <b>bold <i>both"), "unclosed bold both\n");
    EXPECT_EQ(HtmlToText("a < b && c <> d"), "a < b && c <> d\n");
    EXPECT_EQ(HtmlToText("</p></div>text</body></html>"), "text\n");
}

TEST(HtmlTextTest, DeepNestingKeepsItsTextAndTheStack)
{
    std::string html = "<p>top</p>";
    for (int i = 0; i < 5000; ++i)
        html += "<div><b>";
    html += "deep";
    for (int i = 0; i < 5000; ++i)
        html += "</b></div>";
    html += "end";
    EXPECT_EQ(HtmlToText(html), "top\n\ndeep\nend\n");
}

TEST(HtmlTextTest, ParsesFromThreadsAtOnce)
{
    const std::string html = "<html><body><p>first</p><script>x()</script>second<br>&amp;third</body></html>";
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&results, &html, t] {
            for (int i = 0; i < 200; ++i)
                results[t] += HtmlToText(html);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::string expected;
    for (int i = 0; i < 200; ++i)
        expected += "first\n\nsecond\n&third\n";
    for (const std::string& result : results)
        EXPECT_EQ(result, expected);
}

}  // namespace
