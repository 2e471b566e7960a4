// postloom-batch --import as a user runs it: an mbox into a project's mail
// folder, then the conversion of that project.

#include "batch_runner.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace postloom::test {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> MailFiles(const fs::path& folder)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// An mboxrd file of the mails as a mail program exports it: LF line ends,
// a "From " line before each mail, ">From " quoting, an empty line after.
std::string ExportAsMbox(const std::vector<fs::path>& mails)
{
    static const std::regex quoted("(^|\n)(>*From )");
    std::string mbox;
    for (const fs::path& mail : mails) {
        std::string text = std::regex_replace(ReadFile(mail.string()), std::regex("\r\n"), "\n");
        text = std::regex_replace(text, quoted, "$1>$2");
        mbox += "From list@example.jp Mon Apr  5 09:00:00 2004\n" + text + "\n";
    }
    return mbox;
}

class BatchImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy(fs::path(EXAMPLES_DIR) / "sample", sample, fs::copy_options::recursive);
        originals = MailFiles(sample / "mail");
        WriteFile((dir.path() / "users.mbox").string(), ExportAsMbox(originals));
        fs::remove_all(sample / "mail");
        fs::remove_all(sample / "site");
    }

    TempDir dir;
    const fs::path sample = dir.path() / "sample";
    std::vector<fs::path> originals;
};

TEST_F(BatchImportTest, ImportedMboxGivesBackTheMailFilesAndConverts)
{
    const RunOutput import = RunBatchTool(sample, "--import ../users.mbox mail");
    ASSERT_EQ(import.status, 0) << import.err;
    EXPECT_EQ(import.err, "postloom-batch: 43 mails imported, 0 already there, 0 \">From \" lines unquoted as mboxrd\n");
    const std::vector<fs::path> imported = MailFiles(sample / "mail");
    ASSERT_EQ(imported.size(), originals.size());
    for (std::size_t k = 0; k < imported.size(); ++k) {
        EXPECT_EQ(imported[k].filename(), originals[k].filename());
        EXPECT_EQ(ReadFile(imported[k].string()), ReadFile(originals[k].string())) << imported[k];
    }

    const RunOutput convert = RunBatchTool(sample, "-q sample.plp");
    ASSERT_EQ(convert.status, 0) << convert.err;
    EXPECT_NE(convert.err.find("43 mails read (43 new), 43 pages written"), std::string::npos) << convert.err;
    EXPECT_TRUE(fs::exists(sample / "site" / "pages" / "00043.html"));

    const RunOutput again = RunBatchTool(sample, "-q -i ../users.mbox mail");
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.err, "postloom-batch: 0 mails imported, 43 already there, 0 \">From \" lines unquoted as mboxrd\n");
}

TEST_F(BatchImportTest, MboxFormatOptionChoosesTheQuoting)
{
    WriteFile((dir.path() / "quoted.mbox").string(),
              "From a@example.jp Mon Apr  5 09:00:00 2004\nSubject: q\n\n>>From deep\n\n");
    ASSERT_EQ(RunBatchTool(dir.path(), "--mbox-format=mboxo --import quoted.mbox o").status, 0);
    ASSERT_EQ(RunBatchTool(dir.path(), "-m mboxrd -i quoted.mbox rd").status, 0);
    EXPECT_EQ(ReadFile((dir.path() / "o" / "00001.alm").string()), "Subject: q\r\n\r\n>>From deep\r\n");
    EXPECT_EQ(ReadFile((dir.path() / "rd" / "00001.alm").string()), "Subject: q\r\n\r\n>From deep\r\n");
}

TEST_F(BatchImportTest, SummaryCountsTheUnquotedLinesSoThatAWrongFormatShows)
{
    // As an mboxo writer quotes: only "From " itself, a ">From " as it was.
    WriteFile((dir.path() / "o.mbox").string(), "From a@example.jp Mon Apr  5 09:00:00 2004\nSubject: q\n\n"
                                                ">From the start\n>From an old quote\n\n");
    const RunOutput asRd = RunBatchTool(dir.path(), "--import o.mbox rd");
    EXPECT_EQ(asRd.status, 0);
    EXPECT_EQ(asRd.err, "postloom-batch: 1 mail imported, 0 already there, 2 \">From \" lines unquoted as mboxrd\n");
    const RunOutput asO = RunBatchTool(dir.path(), "-m mboxo --import o.mbox o");
    EXPECT_EQ(asO.err, "postloom-batch: 1 mail imported, 0 already there, 2 \">From \" lines unquoted as mboxo\n");
    // A folder of .eml files is not quoted: no count.
    fs::create_directory(dir.path() / "saved");
    WriteFile((dir.path() / "saved" / "a.eml").string(), "Subject: a\n\n>From here\n");
    EXPECT_EQ(RunBatchTool(dir.path(), "--import saved eml").err, "postloom-batch: 1 mail imported, 0 already there\n");
}

TEST_F(BatchImportTest, LinksInsideTheSourceAreNamedAndNotRead)
{
    WriteFile((dir.path() / "secret").string(), "root:x:0:0\n");
    const fs::path maildir = dir.path() / "Maildir";
    fs::create_directories(maildir / "cur");
    WriteFile((maildir / "cur" / "1700000001.M1P1.host").string(), "Subject: real\n\n");
    fs::create_symlink(dir.path() / "secret", maildir / "cur" / "x");
    const RunOutput run = RunBatchTool(dir.path(), "--import Maildir mail");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "postloom-batch: passed over a symbolic link: Maildir/cur/x\n"
                       "postloom-batch: 1 mail imported, 0 already there\n");
    EXPECT_EQ(MailFiles(dir.path() / "mail").size(), 1u);
}

TEST_F(BatchImportTest, AFromLineFollowedByAnEmptyLineIsAMailNotAnError)
{
    WriteFile((dir.path() / "bare.mbox").string(), "From a@example.jp Mon Apr  5 09:00:00 2004\nSubject: one\n\nb\n\n"
                                                   "From b@example.jp Mon Apr  5 09:00:00 2004\n\n");
    const RunOutput run = RunBatchTool(dir.path(), "--import bare.mbox mail");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile((dir.path() / "mail" / "00001.alm").string()), "Subject: one\r\n\r\nb\r\n");
    EXPECT_EQ(ReadFile((dir.path() / "mail" / "00002.alm").string()), "\r\n");
}

TEST_F(BatchImportTest, UnreadableSourceExitsWithOneAndSaysWhy)
{
    const RunOutput missing = RunBatchTool(dir.path(), "--import missing.mbox mail");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "postloom-batch: cannot import from missing.mbox: No such file or directory\n");
    EXPECT_FALSE(fs::exists(dir.path() / "mail"));

    const RunOutput notMbox = RunBatchTool(sample, "--import sample.plp mail");
    EXPECT_EQ(notMbox.status, 1);
    EXPECT_NE(notMbox.err.find("not an mbox"), std::string::npos) << notMbox.err;
}

TEST_F(BatchImportTest, CutLastMailIsImportedAndMakesTheExitStatusOne)
{
    WriteFile((dir.path() / "cut.mbox").string(), "From a@example.jp Mon Apr  5 09:00:00 2004\nSubject: one\n\nb\n\n"
                                                  "From b@example.jp Mon Apr  5 09:00:00 2004\nSubject: cu");
    const RunOutput run = RunBatchTool(dir.path(), "--import cut.mbox mail");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("postloom-batch: cut.mbox: the last mail (from byte 60) is cut off"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("postloom-batch: 2 mails imported, 0 already there"), std::string::npos) << run.err;
}

TEST_F(BatchImportTest, WrongCommandLinesExitWithTwo)
{
    for (const char* args : {"--import ../users.mbox", "--import a b c", "--mbox-format=mboxo sample.plp",
                             "--mbox-format=mboxcl2 --import ../users.mbox mail", "--import ../users.mbox mail -m"}) {
        const RunOutput run = RunBatchTool(sample, args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_FALSE(run.err.empty()) << args;
    }
    EXPECT_FALSE(fs::exists(sample / "mail"));
}

}  // namespace
}  // namespace postloom::test
