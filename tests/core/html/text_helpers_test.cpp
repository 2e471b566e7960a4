#include "core/html/text_helpers.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

using namespace postloom;
using postloom::test::Sjis;

namespace {

MailRecord Mail(std::string subject, std::string from, std::int32_t date)
{
    MailRecord mail;
    mail.subject = std::move(subject);
    mail.from = std::move(from);
    mail.date = date;
    return mail;
}

TEST(EscapeHtmlTest, ReplacesExactlyTheFourSpecialCharacters)
{
    EXPECT_EQ(EscapeHtml("a<b>&\"c\""), "a&lt;b&gt;&amp;&quot;c&quot;");
    EXPECT_EQ(EscapeHtml("it's &amp; fine"), "it's &amp;amp; fine");
    EXPECT_EQ(EscapeHtml(""), "");
}

TEST(EscapeHtmlTest, DoubleByteTextPassesAndStrayLeadBytesShieldNothing)
{
    const std::string japanese = Sjis("表示ソース、テスト");
    EXPECT_EQ(EscapeHtml(japanese), japanese);
    EXPECT_EQ(EscapeHtml("\x81<b>"), "\x81&lt;b&gt;");
}

class DateFragmentTest : public ::testing::Test {
protected:
    std::string Date(std::int32_t date, std::int32_t font = 3)
    {
        settings.DateFont = font;
        return DateFragment(settings, Mail("", "", date));
    }
    ProjectSettings settings;
};

TEST_F(DateFragmentTest, AddsNineHoursBeforeTheLocalBreakDown)
{
    EXPECT_EQ(Date(0), "1970/01/01");
    // 2000-01-01 11:00 UTC is 20:00 in Tokyo; nine more hours reach the
    // next day, which begins for dates from 15:00 Tokyo time on.
    EXPECT_EQ(Date(946724400), "2000/01/02");
    EXPECT_EQ(Date(946724400 - 18000), "2000/01/02");
    EXPECT_EQ(Date(946724400 - 18001), "2000/01/01");
}

TEST_F(DateFragmentTest, FontPositionGivesASignedRelativeSize)
{
    EXPECT_EQ(Date(0, 3), "1970/01/01");
    EXPECT_EQ(Date(0, 0), "<FONT SIZE=-3>1970/01/01</FONT>");
    EXPECT_EQ(Date(0, 4), "<FONT SIZE=+1>1970/01/01</FONT>");
    EXPECT_EQ(Date(0, 6), "<FONT SIZE=+3>1970/01/01</FONT>");
    // Out of the list's range, as a hand-edited project may hold it.
    EXPECT_EQ(Date(0, std::numeric_limits<std::int32_t>::min()), "<FONT SIZE=-2147483651>1970/01/01</FONT>");
}

TEST_F(DateFragmentTest, NegativeSumGivesEmptyTextStillWrapped)
{
    EXPECT_EQ(Date(-32400), "1970/01/01");
    EXPECT_EQ(Date(-32401), "");
    EXPECT_EQ(Date(-32401, 0), "<FONT SIZE=-3></FONT>");
    EXPECT_EQ(Date(std::numeric_limits<std::int32_t>::min()), "");
}

TEST_F(DateFragmentTest, LargestDateDoesNotOverflow)
{
    // 2038-01-19 03:14:07 UTC, plus nine hours, in Tokyo.
    EXPECT_EQ(Date(std::numeric_limits<std::int32_t>::max()), "2038/01/19");
}

TEST(SenderNameTest, LastParenthesisedGroupWins)
{
    EXPECT_EQ(SenderName(Mail("", "taro.example (Taro Yamada)", 0)), "Taro Yamada");
    EXPECT_EQ(SenderName(Mail("", "(a) x (b)", 0)), "b");
    EXPECT_EQ(SenderName(Mail("", "x (abc", 0)), "abc");
    EXPECT_EQ(SenderName(Mail("", "(outer (inner) rest)", 0)), "inner");
    EXPECT_EQ(SenderName(Mail("", Sjis("taro@example (山田 表示)"), 0)), Sjis("山田 表示"));
}

TEST(SenderNameTest, TextOutsideAngleBracketsKeepsItsBlanks)
{
    EXPECT_EQ(SenderName(Mail("", "Taro <addr>", 0)), "Taro ");
    EXPECT_EQ(SenderName(Mail("", "\"Taro Yamada\" <taro@example>", 0)), "Taro Yamada ");
    EXPECT_EQ(SenderName(Mail("", "a <b> c <d", 0)), "a  c ");
    // An empty group makes the first try empty, so the second one decides.
    EXPECT_EQ(SenderName(Mail("", "() x", 0)), "() x");
}

TEST(SenderNameTest, WholeValueWhenTheOtherTriesAreEmpty)
{
    EXPECT_EQ(SenderName(Mail("", "<addr>", 0)), "<addr>");
    EXPECT_EQ(SenderName(Mail("", "\"\"<a>", 0)), "\"\"<a>");
    EXPECT_EQ(SenderName(Mail("", "", 0)), "");
}

TEST(SenderFragmentTest, EscapesTheBracketedNameAsAWhole)
{
    ProjectSettings settings;
    settings.FromFont = 3;
    EXPECT_EQ(SenderFragment(settings, Mail("", "Taro <addr>", 0)), "&lt;Taro &gt;");
    EXPECT_EQ(SenderFragment(settings, Mail("", "<addr>", 0)), "&lt;&lt;addr&gt;&gt;");
    EXPECT_EQ(SenderFragment(settings, Mail("", "x (A&B \"C\")", 0)), "&lt;A&amp;B &quot;C&quot;&gt;");
    settings.FromFont = 1;
    EXPECT_EQ(SenderFragment(settings, Mail("", "(T)", 0)), "<FONT SIZE=-2>&lt;T&gt;</FONT>");
}

struct CaptionCase {
    std::int32_t pattern;
    bool date;
    bool sender;
    const char* expected;
};

TEST(MailCaptionTest, EveryPatternWithEveryCombinationOfSwitches)
{
    // S = "S", D = "1970/01/01", F = "&lt;F&gt;".
    const CaptionCase cases[] = {
        {0, false, false, "S"},
        {0, true, false, "S 1970/01/01"},
        {0, false, true, "S &lt;F&gt;"},
        {0, true, true, "S 1970/01/01 &lt;F&gt;"},
        {1, false, false, "S"},
        {1, true, false, "S 1970/01/01"},
        {1, false, true, "S &lt;F&gt;"},
        {1, true, true, "S &lt;F&gt; 1970/01/01"},
        {2, false, false, "S"},
        {2, true, false, "1970/01/01 S"},
        {2, false, true, "S &lt;F&gt;"},
        {2, true, true, "1970/01/01 S &lt;F&gt;"},
        {3, false, false, "S"},
        {3, true, false, "1970/01/01 S"},
        {3, false, true, " &lt;F&gt; S"},
        {3, true, true, "1970/01/01 &lt;F&gt; S"},
        {4, false, false, "S"},
        {4, true, false, "S 1970/01/01"},
        {4, false, true, "&lt;F&gt; S"},
        {4, true, true, "&lt;F&gt; S 1970/01/01"},
        {5, false, false, "S"},
        {5, true, false, " 1970/01/01 S"},
        {5, false, true, "&lt;F&gt; S"},
        {5, true, true, "&lt;F&gt; 1970/01/01 S"},
        {6, true, true, ""},
        {-1, true, true, ""},
    };
    ProjectSettings settings;
    settings.DateFont = 3;
    settings.FromFont = 3;
    settings.CutMLTitle = 0;
    const MailRecord mail = Mail("S", "F", 0);
    for (const CaptionCase& c : cases) {
        settings.OutPattern = c.pattern;
        settings.OutDate = c.date ? 1 : 0;
        settings.OutFrom = c.sender ? 7 : 0;  // any non-zero value is on
        EXPECT_EQ(MailCaption(settings, mail), c.expected)
            << "pattern " << c.pattern << " date " << c.date << " sender " << c.sender;
    }
}

TEST(MailCaptionTest, SubjectIsTheEscapedDisplaySubjectAndFontTagsStay)
{
    ProjectSettings settings;
    settings.OutPattern = 0;
    settings.OutDate = 1;
    settings.OutFrom = 0;
    settings.DateFont = 2;
    settings.CutMLTitle = 1;
    EXPECT_EQ(MailCaption(settings, Mail("[ml:12]  a<b & c", "", 0)), "a&lt;b &amp; c <FONT SIZE=-1>1970/01/01</FONT>");
    settings.CutMLTitle = 0;
    EXPECT_EQ(MailCaption(settings, Mail("[ml:12] x", "", 0)), "[ml:12] x <FONT SIZE=-1>1970/01/01</FONT>");
}

TEST(BodyTagTest, AllSwitchesOffGiveTheBareTag)
{
    ProjectSettings settings;
    settings.IndexBackGround = settings.IndexBGColor = settings.IndexTextColor = settings.IndexLinkColor = 0;
    settings.IndexVLinkColor = settings.IndexALinkColor = settings.IndexTopMarginCheck = 0;
    settings.IndexLeftMarginCheck = settings.IndexBottomMarginCheck = settings.IndexRightMarginCheck = 0;
    settings.MailBackGround = settings.MailBGColor = settings.MailTextColor = settings.MailLinkColor = 0;
    settings.MailVLinkColor = settings.MailALinkColor = settings.MailTopMarginCheck = 0;
    settings.MailLeftMarginCheck = settings.MailBottomMarginCheck = settings.MailRightMarginCheck = 0;
    EXPECT_EQ(IndexBodyTag(settings, "./back.gif"), "<BODY>\n");
    EXPECT_EQ(MailBodyTag(settings, "./back.gif"), "<BODY>\n");
}

TEST(BodyTagTest, AttributesInFixedOrderWithColoursRedFirst)
{
    ProjectSettings settings;
    settings.MailBackGround = 1;
    settings.MailBGColor = 1;
    settings.MailBGColorRGB = 0x0000FF;  // pure red as the colour chooser stores it
    settings.MailTextColor = -1;
    settings.MailTextColorRGB = 0x123456;
    settings.MailLinkColor = 2;
    settings.MailLinkColorRGB = 0xFF0000;
    settings.MailVLinkColor = 1;
    settings.MailVLinkColorRGB = 0;
    settings.MailALinkColor = 1;
    settings.MailALinkColorRGB = 0xAB00FF00;  // the top byte is not part of the colour
    settings.MailTopMarginCheck = 1;
    settings.MailTopMargin = 1;
    settings.MailLeftMarginCheck = 1;
    settings.MailLeftMargin = -2;
    settings.MailBottomMarginCheck = 1;
    settings.MailBottomMargin = 3;
    settings.MailRightMarginCheck = 1;
    settings.MailRightMargin = 4;
    EXPECT_EQ(MailBodyTag(settings, "../img/./back.gif"),
              "<BODY BACKGROUND=\"../img/./back.gif\" BGCOLOR=#FF0000 TEXT=#563412 LINK=#0000FF VLINK=#000000"
              " ALINK=#00FF00 TOPMARGIN=\"1\" LEFTMARGIN=\"-2\" MARGINHIGHT=\"3\" MARGINWIDTH=\"4\">\n");
}

TEST(BodyTagTest, IndexAndMailTagsReadTheirOwnKeys)
{
    ProjectSettings settings;
    settings.IndexBackGround = 0;
    settings.IndexBGColor = 1;
    settings.IndexBGColorRGB = 0xFFFFFF;
    settings.IndexTextColor = settings.IndexLinkColor = settings.IndexVLinkColor = settings.IndexALinkColor = 0;
    settings.IndexTopMarginCheck = settings.IndexLeftMarginCheck = settings.IndexBottomMarginCheck = 0;
    settings.IndexRightMarginCheck = 1;
    settings.IndexRightMargin = 10;
    settings.MailBackGround = 1;
    settings.MailBGColor = settings.MailTextColor = settings.MailLinkColor = 0;
    settings.MailVLinkColor = settings.MailALinkColor = settings.MailTopMarginCheck = 0;
    settings.MailLeftMarginCheck = settings.MailBottomMarginCheck = settings.MailRightMarginCheck = 0;
    EXPECT_EQ(IndexBodyTag(settings, "./i.gif"), "<BODY BGCOLOR=#FFFFFF MARGINWIDTH=\"10\">\n");
    EXPECT_EQ(MailBodyTag(settings, "./m.gif"), "<BODY BACKGROUND=\"./m.gif\">\n");
}

TEST(IndexTitleHeadingTest, LevelAndAlignmentFollowTheSettings)
{
    ProjectSettings settings;
    settings.Title = "A&B";
    settings.TitleFontSize = 0;
    settings.TitlePosition = 1;
    EXPECT_EQ(IndexTitleHeading(settings), "<H1><CENTER>A&amp;B</CENTER></H1>\n");
    settings.Title = "T";
    settings.TitleFontSize = 2;
    settings.TitlePosition = 2;
    EXPECT_EQ(IndexTitleHeading(settings), "<H3 ALIGN=RIGHT>T</H3>\n");
    settings.TitleFontSize = 5;
    settings.TitlePosition = 0;
    EXPECT_EQ(IndexTitleHeading(settings), "<H6>T</H6>\n");
    settings.Title = Sjis("<表>");
    settings.TitlePosition = 9;
    EXPECT_EQ(IndexTitleHeading(settings), "<H6>&lt;" + Sjis("表") + "&gt;</H6>\n");
}

}  // namespace
