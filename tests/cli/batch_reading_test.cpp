// What postloom-batch makes of mails with values longer than a project
// stores, and of files in the mail folder that are no mails.

#include "batch_runner.h"

#include "core/project/project_file.h"
#include "core/project/project_settings.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace postloom::test {
namespace {

namespace fs = std::filesystem;

fs::path CopySample(const TempDir& dir, const std::string& name)
{
    const fs::path target = dir.path() / name;
    fs::copy(fs::path(EXAMPLES_DIR) / "sample", target, fs::copy_options::recursive);
    return target;
}

std::map<std::string, std::string> FilesUnder(const fs::path& root)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        // Hidden files are the sample's placeholder and the run's own
        // bookkeeping (the site record holds times and folders). The search
        // index's files tell the runs that made it (a segment per run); the
        // mails it finds do not.
        const std::string name = fs::relative(entry.path(), root).string();
        if (entry.is_regular_file() && !entry.path().filename().string().starts_with('.') &&
            !name.starts_with("search/"))
            files[name] = ReadFile(entry.path().string());
    }
    return files;
}

// The sample's project without its stored mails: a clean conversion.
void ForgetStoredMails(const fs::path& project)
{
    ProjectSettings settings;
    settings.Reset();
    ASSERT_TRUE(LoadProject(settings, project.string()).opened);
    settings.mailList.clear();
    ASSERT_TRUE(SaveProject(settings, project.string()).ok);
}

const std::string kLongId = std::string(1'500, 'm') + "@example.jp";

std::string LongMail()
{
    return "Date: Tue, 06 Apr 2004 10:00:00 +0900\r\nFrom: long@example.jp\r\nSubject: " +
           std::string(1'000'000, 'L') + "\r\nMessage-Id: <" + kLongId + ">\r\n\r\nbody\r\n";
}

std::string ReplyMail()
{
    std::string references;
    for (int i = 0; i < 70'000; ++i)
        references += " <r" + std::to_string(i) + "@example.jp>\r\n";
    return "Date: Wed, 07 Apr 2004 10:00:00 +0900\r\nFrom: reply@example.jp\r\nSubject: Re: long\r\n"
           "In-Reply-To: <" + kLongId + ">\r\nReferences:" + references + "\r\n\r\nbody\r\n";
}

TEST(BatchReadingTest, TheRunThatFirstReadsAMailBuildsWhatEveryLaterRunBuilds)
{
    TempDir dir;
    // Read over two runs: the long mail first, its reply a run later.
    const fs::path grown = CopySample(dir, "grown");
    ForgetStoredMails(grown / "sample.plp");
    WriteFile((grown / "mail" / "long.alm").string(), LongMail());
    ASSERT_EQ(RunBatchTool(grown, "-q sample.plp").status, 0);
    WriteFile((grown / "mail" / "reply.alm").string(), ReplyMail());
    ASSERT_EQ(RunBatchTool(grown, "-q sample.plp").status, 0);
    const auto grownSite = FilesUnder(grown / "site");
    ASSERT_TRUE(grownSite.contains("pages/reply.html"));
    EXPECT_LT(grownSite.at("pages/long.html").size(), 20'000u);

    // Every later run loads the stored records and writes the same pages.
    fs::remove_all(grown / "site");
    ASSERT_EQ(RunBatchTool(grown, "-q sample.plp").status, 0);
    EXPECT_EQ(FilesUnder(grown / "site"), grownSite);

    // A clean conversion reads both mails in one run.
    const fs::path clean = CopySample(dir, "clean");
    ForgetStoredMails(clean / "sample.plp");
    fs::copy(grown / "mail" / "long.alm", clean / "mail");
    fs::copy(grown / "mail" / "reply.alm", clean / "mail");
    ASSERT_EQ(RunBatchTool(clean, "-q sample.plp").status, 0);
    EXPECT_EQ(FilesUnder(clean / "site"), grownSite);
}

TEST(BatchReadingTest, AFileThatIsNoMailIsReportedAndGetsNoPage)
{
    TempDir dir;
    const fs::path sample = CopySample(dir, "sample");
    WriteFile((sample / "mail" / "picture.alm").string(), std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
    WriteFile((sample / "mail" / "empty.alm").string(), "");

    const RunOutput run = RunBatchTool(sample, "sample.plp");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not a mail file: empty.alm\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("not a mail file: picture.alm\n"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(sample / "site" / "pages" / "picture.html"));
    EXPECT_FALSE(fs::exists(sample / "site" / "pages" / "empty.html"));

    ProjectSettings settings;
    settings.Reset();
    ASSERT_TRUE(LoadProject(settings, (sample / "sample.plp").string()).opened);
    for (const auto& mail : settings.mailList)
        EXPECT_TRUE(mail->fileName != "picture.alm" && mail->fileName != "empty.alm") << mail->fileName;

    // Once the file is gone, nothing is left to report.
    fs::remove(sample / "mail" / "picture.alm");
    fs::remove(sample / "mail" / "empty.alm");
    EXPECT_EQ(RunBatchTool(sample, "-q sample.plp").status, 0);
}

}  // namespace
}  // namespace postloom::test
