#include "core/html/template_files.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace postloom {
namespace {

using test::TempDir;
using test::WriteFile;

TEST(TemplateFilesTest, TextModeTurnsCrLfIntoLfKeepsLoneCrAndEndsAtEofMark)
{
    EXPECT_EQ(TextModeContent("a\r\nb\rc\r\n\r\n"), "a\nb\rc\n\n");
    EXPECT_EQ(TextModeContent("a\r\nb\x1a\r\nrest"), "a\nb");
    EXPECT_EQ(TextModeContent("a\r"), "a\r");
    EXPECT_EQ(TextModeContent(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TemplateFilesTest, IncludeLinesEachEndWithOneLineFeed)
{
    const TempDir dir;
    WriteFile(dir.File("h.txt"), "<B>x</B>\r\nlast");
    EXPECT_EQ(ReadIncludeLines(dir.File("h.txt")), "<B>x</B>\nlast\n");
    WriteFile(dir.File("e.txt"), "");
    EXPECT_EQ(ReadIncludeLines(dir.File("e.txt")), "");
    WriteFile(dir.File("n.txt"), "one\r\n\r\n");
    EXPECT_EQ(ReadIncludeLines(dir.File("n.txt")), "one\n\n");
}

TEST(TemplateFilesTest, FilesThatCannotBeReadGiveNothing)
{
    const TempDir dir;
    EXPECT_FALSE(ReadTextFile(dir.File("missing.html")));
    EXPECT_FALSE(ReadIncludeLines(dir.File("missing.txt")));
    // A folder opens without error on Linux; it is still no file.
    EXPECT_FALSE(ReadTextFile(dir.path().string()));
}

}  // namespace
}  // namespace postloom
