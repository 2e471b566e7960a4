#include "core/html/template_segments.h"

#include <gtest/gtest.h>

#include <vector>

namespace postloom {
namespace {

using Kind = TemplateSegmentKind;

class TemplateTest : public ::testing::Test {
protected:
    TemplateTest() { settings.Reset(); }
    ProjectSettings settings;
};

TEST_F(TemplateTest, InsertTagsEndSegmentsAndTrailingTextIsLast)
{
    const std::vector<InsertSegment> expected{
        {"<HTML><TITLE>", Kind::Subject},
        {"</TITLE>\n", Kind::Parent},
        {"up</A> ", Kind::Child},
        {"down</A> ", Kind::Next},
        {"", Kind::Prev},
        {"", Kind::Index},
        {"top</A>\n<PRE>", Kind::Body},
        {"</PRE></HTML>\n", Kind::Text},
    };
    EXPECT_EQ(ParseMailTemplate("<HTML><TITLE><Postloom Subject></TITLE>\n<A HREF=Postloom Parent>up</A> "
                                "<A HREF=Postloom Child>down</A> <A HREF=Postloom Next><A HREF=Postloom Prev>"
                                "<A HREF=Postloom Index>top</A>\n<PRE><Postloom Body></PRE></HTML>\n",
                                settings),
              expected);
}

TEST_F(TemplateTest, OtherTagsPassThroughAndTagsCompareWithCase)
{
    const std::vector<InsertSegment> expected{{"<postloom body><B>x</B><A HREF=Postloom parent>", Kind::Text}};
    EXPECT_EQ(ParseMailTemplate("<postloom body><B>x</B><A HREF=Postloom parent>", settings), expected);
}

TEST_F(TemplateTest, TagLeftOpenAtTheEndIsClosedOrStillMatches)
{
    EXPECT_EQ(ParseMailTemplate("x<B", settings), (std::vector<InsertSegment>{{"x<B>", Kind::Text}}));
    EXPECT_EQ(ParseMailTemplate("x<", settings), (std::vector<InsertSegment>{{"x<>", Kind::Text}}));
    EXPECT_EQ(ParseMailTemplate("x<Postloom Body", settings), (std::vector<InsertSegment>{{"x", Kind::Body}}));
}

TEST_F(TemplateTest, TagTextRunsToTheNextClosingBracket)
{
    // A "<" inside a tag belongs to the tag text.
    EXPECT_EQ(ParseMailTemplate("a<<Postloom Body>b", settings),
              (std::vector<InsertSegment>{{"a<<Postloom Body>b", Kind::Text}}));
    EXPECT_EQ(ParseMailTemplate("a>b<Postloom Body>", settings), (std::vector<InsertSegment>{{"a>b", Kind::Body}}));
}

TEST_F(TemplateTest, EqualInsertTagsGoToTheLaterKind)
{
    settings.MailSubjectInsertTag = settings.MailBodyInsertTag;
    EXPECT_EQ(ParseMailTemplate("<Postloom Body>", settings), (std::vector<InsertSegment>{{"", Kind::Subject}}));

    for (std::string* tag : {&settings.MailBodyInsertTag, &settings.MailSubjectInsertTag,
                             &settings.MailParentInsertTag, &settings.MailChildInsertTag, &settings.MailNextInsertTag,
                             &settings.MailPrevInsertTag, &settings.MailIndexInsertTag})
        *tag = "T";
    EXPECT_EQ(ParseMailTemplate("<T>", settings), (std::vector<InsertSegment>{{"", Kind::Index}}));
    settings.MailIndexInsertTag = "I";
    EXPECT_EQ(ParseMailTemplate("<T>", settings), (std::vector<InsertSegment>{{"", Kind::Prev}}));
    settings.MailPrevInsertTag = "P";
    settings.MailNextInsertTag = "P";
    EXPECT_EQ(ParseMailTemplate("<P>", settings), (std::vector<InsertSegment>{{"", Kind::Prev}}));
}

TEST_F(TemplateTest, EmptyTemplateHasNoSegments)
{
    EXPECT_TRUE(ParseMailTemplate("", settings).empty());
}

TEST(IndexTemplateTest, ListingTakesThePlaceOfTheFirstTagOnly)
{
    const IndexTemplateParts parts =
        SplitIndexTemplate("<HTML><B>a</B>\n<Postloom Tree>\n<P><Postloom Tree></HTML>", "Postloom Tree");
    EXPECT_EQ(parts.before, "<HTML><B>a</B>\n");
    EXPECT_EQ(parts.after, "\n<P><Postloom Tree></HTML>");
}

TEST(IndexTemplateTest, WithoutTheTagTheWholeTemplateComesFirst)
{
    const IndexTemplateParts parts = SplitIndexTemplate("<HTML>x<postloom tree>y<B", "Postloom Tree");
    EXPECT_EQ(parts.before, "<HTML>x<postloom tree>y<B>");
    EXPECT_EQ(parts.after, "");
}

TEST(IndexTemplateTest, TextAfterTheTagIsCopiedAsItStands)
{
    const IndexTemplateParts parts = SplitIndexTemplate("<T>x<B", "T");
    EXPECT_EQ(parts.before, "");
    EXPECT_EQ(parts.after, "x<B");
}

}  // namespace
}  // namespace postloom
