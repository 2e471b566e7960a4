#include "core/mail/mail_folder_survey.h"

#include "core/mail/folder_reader.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace postloom;
using postloom::test::TempDir;
using postloom::test::WriteFile;

namespace {

std::string Mail(int n)
{
    return "From: a@example.jp\r\nSubject: mail " + std::to_string(n) + "\r\nMessage-Id: <" + std::to_string(n) +
           "@example.jp>\r\n\r\nbody\r\n";
}

void WriteMails(const TempDir& dir, const std::string& suffix, int first, int count)
{
    for (int n = first; n < first + count; ++n)
        WriteFile(dir.File(std::to_string(n) + suffix), Mail(n));
}

TEST(MailFolderSurveyTest, TheExtensionOfTheMailFilesGivesThePattern)
{
    TempDir alm;
    WriteMails(alm, ".alm", 1, 3);
    MailFolderSurvey survey = SurveyMailFolder(alm.path().string());
    EXPECT_EQ(survey.kind, MailFolderKind::MailFiles);
    EXPECT_EQ(survey.pattern, "*.alm");
    EXPECT_EQ(survey.matching, 3u);

    // Upper case extensions give the same pattern: matching ignores case.
    TempDir eml;
    WriteMails(eml, ".EML", 1, 2);
    survey = SurveyMailFolder(eml.path().string());
    EXPECT_EQ(survey.pattern, "*.eml");
    EXPECT_EQ(survey.matching, 2u);
}

TEST(MailFolderSurveyTest, NumberedFilesWithoutExtensionTakeEverything)
{
    TempDir dir;
    WriteMails(dir, "", 1, 4);
    const MailFolderSurvey survey = SurveyMailFolder(dir.path().string());
    EXPECT_EQ(survey.kind, MailFolderKind::MailFiles);
    EXPECT_EQ(survey.pattern, "*");
    EXPECT_EQ(survey.matching, 4u);
}

TEST(MailFolderSurveyTest, TheMostCommonExtensionAmongMailWinsAndOtherFilesDoNotCount)
{
    TempDir dir;
    WriteMails(dir, ".eml", 1, 2);
    WriteMails(dir, ".alm", 10, 3);
    // More .txt files than mails of either kind, none of them mail.
    for (int n = 0; n < 5; ++n)
        WriteFile(dir.File("note" + std::to_string(n) + ".txt"), "Note: not a mail\r\n\r\ntext\r\n");
    WriteFile(dir.File("image.jpg"), std::string("\xFF\xD8\xFF\0\0", 5));
    std::filesystem::create_directory(dir.path() / "sub.alm");
    const MailFolderSurvey survey = SurveyMailFolder(dir.path().string());
    EXPECT_EQ(survey.pattern, "*.alm");
    // The folder named like a mail is not a file the reading takes.
    EXPECT_EQ(survey.matching, 3u);
}

TEST(MailFolderSurveyTest, ATieGoesToTheKindMetFirstInNameOrder)
{
    TempDir dir;
    WriteFile(dir.File("b.eml"), Mail(1));
    WriteFile(dir.File("a.alm"), Mail(2));
    EXPECT_EQ(SurveyMailFolder(dir.path().string()).pattern, "*.alm");
}

TEST(MailFolderSurveyTest, MaildirAndMboxAreToBeImported)
{
    TempDir maildir;
    std::filesystem::create_directory(maildir.path() / "cur");
    WriteMails(maildir, ".alm", 1, 2);  // a Maildir wins over files beside it
    EXPECT_EQ(SurveyMailFolder(maildir.path().string()).kind, MailFolderKind::Maildir);

    TempDir mbox;
    WriteFile(mbox.File("list"), "From a@example.jp Mon Jan  5 10:00:00 2004\nFrom: a@example.jp\n\nbody\n");
    WriteFile(mbox.File("readme.txt"), "plain text\n");
    const MailFolderSurvey survey = SurveyMailFolder(mbox.path().string());
    EXPECT_EQ(survey.kind, MailFolderKind::Mbox);
    EXPECT_EQ(survey.mboxPath, mbox.File("list"));
}

TEST(MailFolderSurveyTest, AFolderWithoutMailAndAMissingOneAreSaid)
{
    TempDir empty;
    EXPECT_EQ(SurveyMailFolder(empty.path().string()).kind, MailFolderKind::NoMail);
    WriteFile(empty.File(".hidden.alm"), Mail(1));
    EXPECT_EQ(SurveyMailFolder(empty.path().string()).kind, MailFolderKind::NoMail);
    EXPECT_EQ(SurveyMailFolder(empty.File("missing")).kind, MailFolderKind::Unreadable);
    EXPECT_EQ(SurveyMailFolder(empty.File(".hidden.alm")).kind, MailFolderKind::Unreadable);
}

TEST(CountMailFilesTest, CountsWhatTheReadingTakes)
{
    TempDir dir;
    WriteMails(dir, ".alm", 1, 3);
    WriteFile(dir.File(".postloom-site"), "record");
    WriteFile(dir.File("x.txt"), "text");
    std::filesystem::create_directory(dir.path() / "folder.alm");
    EXPECT_EQ(CountMailFiles(dir.path().string(), "*.alm"), 3u);
    EXPECT_EQ(CountMailFiles(dir.path().string(), "*.ALM"), 3u);
    EXPECT_EQ(CountMailFiles(dir.path().string(), "*.*"), 4u);
    EXPECT_EQ(CountMailFiles(dir.path().string(), "*.wml"), 0u);
    EXPECT_EQ(CountMailFiles(dir.path().string(), ""), 0u);
    EXPECT_EQ(CountMailFiles(dir.File("missing"), "*"), std::nullopt);
    EXPECT_EQ(CountMailFiles(dir.File("x.txt"), "*"), std::nullopt);
}

}  // namespace
