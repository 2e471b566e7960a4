#include "core/mail/mail_parser.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace postloom;
using postloom::test::Sjis;

namespace {

std::string Shown(const std::string& subject, std::int32_t cutMLTitle = 1)
{
    MailRecord record;
    record.subject = subject;
    return DisplaySubject(record, cutMLTitle);
}

TEST(DisplaySubjectTest, CutsEverythingUpToTheFirstClosingBracket)
{
    EXPECT_EQ(Shown("[ml:12] Hello"), "Hello");
    EXPECT_EQ(Shown("Re: [list:00123] Hello"), "Hello");
    EXPECT_EQ(Shown("[a] [b] c"), "[b] c");
    EXPECT_EQ(Shown("Hello [x]"), "");
    EXPECT_EQ(Shown("x] [y"), "[y");
}

TEST(DisplaySubjectTest, LeavesSubjectsWithoutOpeningBracketOrWithCutOff)
{
    EXPECT_EQ(Shown("[open"), "[open");
    EXPECT_EQ(Shown(" \t[open"), "[open");
    EXPECT_EQ(Shown("a] b"), "a] b");
    EXPECT_EQ(Shown(""), "");
    EXPECT_EQ(Shown("[ml:12] Hello", 0), "[ml:12] Hello");
    EXPECT_EQ(Shown("[ml:12] Hello", -1), "Hello");
}

TEST(DisplaySubjectTest, TrailBytesOfDoubleByteCharactersAreNotBrackets)
{
    // "ー" is 0x81 0x5B ("[" as trail byte), "ゾ" is 0x83 0x5D ("]").
    const std::string zone = Sjis("ゾーン");
    EXPECT_EQ(Shown(zone), zone);
    EXPECT_EQ(Shown(zone + "]x"), zone + "]x");
    EXPECT_EQ(Shown(Sjis("[ゾ] ソース")), Sjis("ソース"));
    EXPECT_EQ(Shown(Sjis("[a ゾ] ゼーン")), Sjis("ゼーン"));
}

}  // namespace
