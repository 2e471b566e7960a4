#include "core/report/problem_wording.h"

#include "core/text/codec.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

namespace postloom {
namespace {

using enum ProblemKind;

// The fields a pattern names, as "{name}".
std::set<std::string> FieldsOf(std::string_view pattern)
{
    std::set<std::string> fields;
    for (std::size_t open = pattern.find('{'); open != std::string_view::npos; open = pattern.find('{', open + 1)) {
        const std::size_t close = pattern.find('}', open);
        if (close == std::string_view::npos)
            break;
        fields.insert(std::string(pattern.substr(open, close - open + 1)));
    }
    return fields;
}

TEST(ProblemWordingTest, EveryKindHasAnEnglishAndAJapaneseWordingWithTheSameFields)
{
    const std::set<std::string> known = {"{path}", "{otherMail}", "{page}", "{count}", "{reason}", "{: reason}"};
    ASSERT_EQ(ProblemWordings().size(), kProblemKindCount);
    for (std::size_t k = 0; k < kProblemKindCount; ++k) {
        const ProblemWording& wording = ProblemWordings()[k];
        SCOPED_TRACE(std::string(wording.english));
        EXPECT_EQ(static_cast<std::size_t>(wording.kind), k);
        EXPECT_FALSE(wording.english.empty());
        EXPECT_FALSE(wording.japanese.empty());
        // Every character of the Japanese text has a place in CP932.
        EXPECT_EQ(text::Cp932ToUtf8(text::Utf8ToCp932(wording.japanese)), wording.japanese);
        const std::set<std::string> english = FieldsOf(wording.english);
        for (const std::string& field : english)
            EXPECT_TRUE(known.contains(field)) << field;
        // The English texts leave out the project file of a damaged one,
        // which the message box of the desktop program names too.
        std::set<std::string> japanese = FieldsOf(wording.japanese);
        if (wording.kind == ProjectCutShort || wording.kind == ProjectMailListDamaged)
            japanese.erase("{path}");
        EXPECT_EQ(japanese, english);
        for (const std::string& field : FieldsOf(wording.englishOne))
            EXPECT_TRUE(english.contains(field)) << field;
    }
}

struct EnglishCase {
    Problem problem;
    std::string_view line;
};

// The lines postloom-batch has always printed.
TEST(ProblemWordingTest, EnglishIsTheLinesOfTheConverter)
{
    const EnglishCase cases[] = {
        {{.kind = MailFolderMissing, .path = "/m/mail"}, "the mail folder does not exist: /m/mail"},
        {{.kind = MailFileUnreadable, .path = "a.alm", .reason = "Permission denied"},
         "cannot read mail file: a.alm: Permission denied"},
        {{.kind = MailFileUnreadable, .path = "a.alm"}, "cannot read mail file: a.alm"},
        {{.kind = ProjectCutShort, .path = "p.plp"}, "the project file has no mail list; it may have been cut short"},
        {{.kind = MailsLeftOut, .count = 1}, "1 mail files were left out: a project holds at most 65,535 mails"},
        {{.kind = TemporaryFilesRemoved, .count = 1}, "removed 1 temporary file left by an interrupted run"},
        {{.kind = TemporaryFilesRemoved, .count = 12}, "removed 12 temporary files left by interrupted runs"},
        {{.kind = PagesRemoved, .count = 2}, "2 pages of mails without a page were removed"},
        {{.kind = PageFolderNotCreated, .path = "/s/pages", .reason = "Not a directory"},
         "cannot create the folder /s/pages: Not a directory; no mail page was written"},
        {{.kind = PageWouldOverwriteOutput, .path = "index.alm", .page = "/s/index.html"},
         "page of index.alm would overwrite /s/index.html, not written"},
        {{.kind = MailsSharePage, .path = "A.alm", .otherMail = "a.alm", .page = "/s/a.html"},
         "mails A.alm and a.alm share the page /s/a.html; the later one replaces it"},
        {{.kind = ImportFileProblem, .path = "x.eml", .reason = "Input/output error"}, "x.eml: Input/output error"},
    };
    for (const EnglishCase& c : cases)
        EXPECT_EQ(WordProblem(c.problem, ProblemLanguage::English), c.line);
}

TEST(ProblemWordingTest, JapaneseIsCp932AroundNamesKeptAsTheyAre)
{
    // "ソ表{" in CP932: trail bytes 0x5C and a brace inside a name, and a
    // name that is no CP932 text at all.
    const std::string name = "\x83\x5C\x95\x5C{x}.alm";
    const Problem problem{.kind = MailFileUnreadable, .path = name, .reason = "\xFF"};
    const std::string line = WordProblem(problem, ProblemLanguage::Japanese);
    EXPECT_EQ(line, text::Utf8ToCp932("ﾒｰﾙﾌｧｲﾙを読み込めません: ") + name + ": \xFF");
    EXPECT_EQ(WordProblem({.kind = ProjectCutShort, .path = name}, ProblemLanguage::Japanese),
              text::Utf8ToCp932("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ ") + name +
                  text::Utf8ToCp932(" にはﾒｰﾙ一覧がありません。途中で切れている可能性があります"));
    EXPECT_EQ(WordProblem({.kind = PagesRemoved, .count = 1}, ProblemLanguage::Japanese),
              text::Utf8ToCp932("ﾍﾟｰｼﾞを出力しないﾒｰﾙのﾍﾟｰｼﾞを1個削除しました"));
}

}  // namespace
}  // namespace postloom
