#include "batch_runner.h"
#include "site_checker.h"

#include "core/project/project_file.h"
#include "core/project/project_settings.h"
#include "core/threading/mail_sort.h"
#include "core/threading/tree_builder.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <set>

namespace postloom::test {
namespace {

namespace fs = std::filesystem;

fs::path CopySample(const TempDir& dir)
{
    const fs::path target = dir.path() / "sample";
    fs::copy(fs::path(EXAMPLES_DIR) / "sample", target, fs::copy_options::recursive);
    return target;
}

std::map<std::string, std::string> FilesUnder(const fs::path& root)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).string()] = ReadFile(entry.path().string());
    }
    return files;
}

// The depth of every mail's item in the tree the core builds from a saved
// project, by page name.
std::map<std::string, int> ThreadDepths(const fs::path& projectFile)
{
    ProjectSettings settings;
    settings.Reset();
    EXPECT_TRUE(LoadProject(settings, projectFile.string()).opened);
    NoProgress none;
    StopFlag stop{false};
    SortMailList(settings.mailList, none, stop);
    ThreadTree tree;
    const TreeItem root = tree.Insert("P", kIconProject, 0, kNoItem, ThreadTree::Place::Last);
    BuildThreadTree(settings.mailList, settings.CutMLTitle, tree, none, stop, ParentRuleOf(settings));
    std::map<std::string, int> depths;
    for (const auto& mail : settings.mailList) {
        int depth = 0;
        for (TreeItem item = tree.Parent(mail->treeItem); item != root; item = tree.Parent(item))
            ++depth;
        const std::string name = mail->fileName.substr(0, mail->fileName.rfind('.')) + ".html";
        depths["pages/" + name] = depth;
    }
    return depths;
}

// Switches a copy of the sample to the classic page style, the value 0,
// which the project file leaves out.
void UseClassicPages(const fs::path& sample)
{
    const fs::path project = sample / "sample.plp";
    std::string bytes = ReadFile(project.string());
    const std::string line = "\nPageStyle=1\n";
    const std::size_t at = bytes.find(line);
    ASSERT_NE(at, std::string::npos);
    WriteFile(project.string(), bytes.replace(at, line.size(), "\n"));
}

TEST(BatchEndToEndTest, SampleProjectBecomesASiteWhoseLinksAllResolveInEitherStyle)
{
    for (const bool classic : {false, true}) {
        TempDir dir;
        const fs::path sample = CopySample(dir);
        if (classic)
            UseClassicPages(sample);
        const RunOutput run = RunBatchTool(sample, "sample.plp");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("43 mails read (43 new), 43 pages written, 0 unchanged, 0 files skipped, project saved"),
                  std::string::npos)
            << run.err;

        const fs::path site = sample / "site";
        ASSERT_TRUE(fs::exists(site / "index.html"));
        for (int n = 1; n <= 43; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "%05d.html", n);
            EXPECT_TRUE(fs::exists(site / "pages" / name)) << name;
        }
        const auto links = LinksOfSite(site);
        EXPECT_GT(links.size(), 200u) << "classic " << classic;
        for (const PageLink& link : links)
            EXPECT_TRUE(fs::is_regular_file(link.target)) << link.page << " links to " << link.url;
    }
}

TEST(BatchEndToEndTest, IndexNestsEntriesAsTheThreadsAreInEitherStyle)
{
    for (const bool classic : {false, true}) {
        TempDir dir;
        const fs::path sample = CopySample(dir);
        if (classic)
            UseClassicPages(sample);
        ASSERT_EQ(RunBatchTool(sample, "--quiet sample.plp").status, 0);

        const std::string index = ReadFile((sample / "site" / "index.html").string());
        const auto entries = classic ? GraphicIndexEntries(index) : ListIndexEntries(index);
        ASSERT_EQ(entries.size(), 43u) << "classic " << classic;
        const auto depths = ThreadDepths(sample / "sample.plp");
        for (const IndexEntry& entry : entries)
            EXPECT_EQ(entry.depth, depths.at(entry.pageUrl)) << entry.pageUrl << " classic " << classic;

        // The first thread's replies answer one another: each lies one level
        // deeper than the one before.
        std::map<std::string, int> byPage;
        for (const IndexEntry& entry : entries)
            byPage[entry.pageUrl] = entry.depth;
        EXPECT_EQ(byPage["pages/00001.html"], 0);
        EXPECT_EQ(byPage["pages/00002.html"], 1);
        EXPECT_EQ(byPage["pages/00003.html"], 2);
        EXPECT_EQ(byPage["pages/00004.html"], 3);
        EXPECT_EQ(byPage["pages/00005.html"], 4);
        // A reply to a mail that is not in the folder starts a thread of its own.
        EXPECT_EQ(byPage["pages/00018.html"], 0);
        // 00043 answers 00042, and its References name the thread's first mail
        // 00041 too: it sits under the mail it answers.
        EXPECT_EQ(byPage["pages/00041.html"], 0);
        EXPECT_EQ(byPage["pages/00042.html"], 1);
        EXPECT_EQ(byPage["pages/00043.html"], 2);
    }
}

TEST(BatchEndToEndTest, SecondRunWithoutNewMailsWritesTheSameFilesAndKeepsTheProject)
{
    TempDir dir;
    const fs::path sample = CopySample(dir);
    ASSERT_EQ(RunBatchTool(sample, "sample.plp").status, 0);
    const auto first = FilesUnder(sample);
    struct stat before {};
    ASSERT_EQ(::stat((sample / "sample.plp").c_str(), &before), 0);

    const RunOutput second = RunBatchTool(sample, "sample.plp");
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.err.find("(0 new)"), std::string::npos) << second.err;
    EXPECT_EQ(second.err.find("project saved"), std::string::npos) << second.err;
    EXPECT_EQ(FilesUnder(sample), first);
    struct stat after {};
    ASSERT_EQ(::stat((sample / "sample.plp").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the project file was replaced";
}

TEST(BatchEndToEndTest, RelativePathsResolveAgainstTheProjectFolderFromAnyWorkingDirectory)
{
    TempDir dir;
    const fs::path sample = CopySample(dir);
    // The classic index takes the tree graphics, found from the project.
    UseClassicPages(sample);
    fs::create_directory(dir.path() / "elsewhere");
    const RunOutput run = RunBatchTool(dir.path() / "elsewhere", "../sample/sample.plp");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(sample / "site" / "index.html"));
    EXPECT_TRUE(fs::exists(sample / "site" / "first.png"));
    EXPECT_FALSE(fs::exists(dir.path() / "elsewhere" / "site"));
}

// Takes mails off a converted sample the ways a list owner does: the page
// of a reply in the middle of a thread is switched off (its parent and
// child link to it), and the file of a mail with an attachment is deleted.
void TakeDownTwoMails(const fs::path& sample)
{
    const fs::path project = sample / "sample.plp";
    ProjectSettings settings;
    settings.Reset();
    ASSERT_TRUE(LoadProject(settings, project.string()).opened);
    for (auto& mail : settings.mailList) {
        if (mail->fileName == "00003.alm")
            mail->outputHtml = 0;
    }
    ASSERT_TRUE(SaveProject(settings, project.string()).ok);
    fs::remove(sample / "mail" / "00043.alm");
}

// Every link of the site whose target is not there.
std::vector<std::string> BrokenLinks(const fs::path& site)
{
    std::vector<std::string> broken;
    for (const PageLink& link : LinksOfSite(site)) {
        if (!fs::is_regular_file(link.target))
            broken.push_back(link.page.filename().string() + " -> " + link.url);
    }
    return broken;
}

TEST(BatchEndToEndTest, MailsTakenDownLeaveTheSiteWithTheirAttachmentsAndTheRunSucceeds)
{
    TempDir dir;
    const fs::path sample = CopySample(dir);
    ASSERT_EQ(RunBatchTool(sample, "sample.plp").status, 0);
    const fs::path pages = sample / "site" / "pages";
    ASSERT_TRUE(fs::exists(pages / "00043_files"));
    TakeDownTwoMails(sample);

    const RunOutput run = RunBatchTool(sample, "sample.plp");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("postloom-batch: mail file gone, no page: 00043.alm\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("postloom-batch: 2 pages of mails without a page were removed\n"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("postloom-batch: 1 attachment that no page links was removed\n"), std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(pages / "00003.html"));
    EXPECT_FALSE(fs::exists(pages / "00043.html"));
    EXPECT_FALSE(fs::exists(pages / "00043_files"));
    EXPECT_EQ(BrokenLinks(sample / "site"), std::vector<std::string>{});
    // The index still lists the switched-off reply, as a caption.
    EXPECT_EQ(ReadFile((sample / "site" / "index.html").string()).find("00003.html"), std::string::npos);

    // The record stays: the file comes back with its mail, order and choices.
    ProjectSettings settings;
    settings.Reset();
    ASSERT_TRUE(LoadProject(settings, (sample / "sample.plp").string()).opened);
    EXPECT_EQ(settings.mailList.size(), 43u);
    const RunOutput again = RunBatchTool(sample, "sample.plp");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.err.find("removed"), std::string::npos) << again.err;
}

TEST(BatchEndToEndTest, SiteWithoutItsRecordRemovesNothing)
{
    for (const std::string damage : {"removed", "cut", "changed", "foreign"}) {
        TempDir dir;
        const fs::path sample = CopySample(dir);
        ASSERT_EQ(RunBatchTool(sample, "sample.plp").status, 0);
        const fs::path record = sample / "site" / ".postloom-site";
        const std::string bytes = ReadFile(record.string());
        ASSERT_FALSE(bytes.empty());
        if (damage == "removed") {
            fs::remove(record);
        } else if (damage == "cut") {
            WriteFile(record.string(), bytes.substr(0, bytes.size() / 2));
        } else if (damage == "changed") {
            std::string changed = bytes;
            changed[changed.find("00003.html")] = '1';
            WriteFile(record.string(), changed);
        } else {
            WriteFile(record.string(), "a file of another program\n");
        }
        TakeDownTwoMails(sample);

        const RunOutput run = RunBatchTool(sample, "sample.plp");
        EXPECT_EQ(run.status, 0) << damage << run.err;
        EXPECT_EQ(run.err.find("removed"), std::string::npos) << damage << run.err;
        const fs::path pages = sample / "site" / "pages";
        EXPECT_TRUE(fs::exists(pages / "00003.html")) << damage;
        EXPECT_TRUE(fs::exists(pages / "00043.html")) << damage;
        EXPECT_FALSE(fs::is_empty(pages / "00043_files")) << damage;
        // No page of the site links them, all the same.
        EXPECT_EQ(BrokenLinks(sample / "site"), std::vector<std::string>{}) << damage;
        for (const PageLink& link : LinksOfSite(sample / "site")) {
            const std::string page = link.page.filename().string();
            if (page == "00003.html" || page == "00043.html")
                continue;
            EXPECT_EQ(link.url.find("00043"), std::string::npos) << damage << " " << page;
            EXPECT_EQ(link.url.find("00003"), std::string::npos) << damage << " " << page;
        }
    }
}

TEST(BatchEndToEndTest, ProblemsAreReportedWithANonZeroStatus)
{
    TempDir dir;
    EXPECT_EQ(RunBatchTool(dir.path(), "").status, 2);
    EXPECT_EQ(RunBatchTool(dir.path(), "--no-such-option x.plp").status, 2);

    const RunOutput missing = RunBatchTool(dir.path(), "missing.plp");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot read the project file"), std::string::npos) << missing.err;

    const fs::path sample = CopySample(dir);
    fs::rename(sample / "mail", sample / "mail-moved");
    const RunOutput noFolder = RunBatchTool(sample, "sample.plp");
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_NE(noFolder.err.find("the mail folder does not exist"), std::string::npos) << noFolder.err;
    EXPECT_NE(noFolder.err.find("the project has no mails"), std::string::npos) << noFolder.err;

    fs::rename(sample / "mail-moved", sample / "mail");
    // A folder that cannot be made is one line, not one per page.
    fs::remove_all(sample / "site");
    WriteFile((sample / "site").string(), "a file where the site folder goes");
    const RunOutput noSite = RunBatchTool(sample, "sample.plp");
    EXPECT_EQ(noSite.status, 1);
    EXPECT_NE(noSite.err.find("cannot create the folder " + (sample / "site").string() +
                              ": File exists; no page was written\n"),
              std::string::npos)
        << noSite.err;
    EXPECT_EQ(noSite.err.find("cannot write"), std::string::npos) << noSite.err;
}

// The project file with one setting line replaced.
void ReplaceSettingLine(const fs::path& project, const std::string& key, const std::string& line)
{
    std::string bytes = ReadFile(project.string());
    const std::size_t at = bytes.find("\n" + key + "=") + 1;
    bytes.replace(at, bytes.find('\n', at) - at, line);
    WriteFile(project.string(), bytes);
}

TEST(BatchEndToEndTest, PathSettingHoldingANulWritesNothing)
{
    TempDir dir;
    const fs::path sample = CopySample(dir);
    fs::remove_all(sample / "site");
    fs::create_directories(sample / "site");
    for (const std::string& line : {std::string("MailPath=x.html") + '\0', std::string("IndexPath=site/index.html") + '\0' + "/x"}) {
        const std::string before = ReadFile((sample / "sample.plp").string());
        ReplaceSettingLine(sample / "sample.plp", line.substr(0, line.find('=')), line);
        const std::string withNul = ReadFile((sample / "sample.plp").string());
        const RunOutput run = RunBatchTool(sample, "sample.plp");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("holds a NUL byte"), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_empty(sample / "site")) << line;
        EXPECT_EQ(ReadFile((sample / "sample.plp").string()), withNul) << "the project is not saved";
        WriteFile((sample / "sample.plp").string(), before);
    }
}

TEST(BatchEndToEndTest, RerunRewritesNothingAndMissingFoldersAreMadeOnce)
{
    TempDir dir;
    const fs::path sample = CopySample(dir);
    fs::remove_all(sample / "site");
    const RunOutput first = RunBatchTool(sample, "sample.plp");
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.err.find("created the missing folder " + (sample / "site").string() + "\n"), std::string::npos)
        << first.err;
    EXPECT_NE(first.err.find("created the missing folder " + (sample / "site" / "pages").string() + "\n"),
              std::string::npos)
        << first.err;
    const auto site = FilesUnder(sample / "site");

    const RunOutput again = RunBatchTool(sample, "sample.plp");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.err.find("43 mails read (0 new), 0 pages written, 43 unchanged"), std::string::npos) << again.err;
    EXPECT_EQ(again.err.find("created"), std::string::npos) << again.err;
    EXPECT_EQ(FilesUnder(sample / "site"), site);
}

// Files left by a run killed where files cannot be anonymous: the next run
// removes its own old temporary files, and nothing else.
TEST(BatchEndToEndTest, RunRemovesTheTemporaryFilesOfAKilledRun)
{
    TempDir dir;
    const fs::path sample = CopySample(dir);
    ASSERT_EQ(RunBatchTool(sample, "--quiet sample.plp").status, 0);
    const fs::path site = sample / "site";
    ASSERT_TRUE(fs::is_directory(site / "pages" / "00043_files"));

    const auto setTime = [](const fs::path& path, std::time_t when) {
        const timespec time{.tv_sec = when, .tv_nsec = 0};
        const timespec times[2] = {time, time};
        ASSERT_EQ(0, ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW)) << path;
    };
    const std::time_t hourAgo = std::time(nullptr) - 3600;
    const std::vector<fs::path> stale = {site / ".postloom-out-0123456789ab",
                                         site / "pages" / ".postloom-out-0123456789ab",
                                         site / "pages" / "00043_files" / ".postloom-out-00000000abcd"};
    const fs::path outside = dir.path() / "outside.txt";
    const std::vector<fs::path> kept = {
        site / "pages" / ".postloom-out-mine",            // the user's, not of the program's shape
        site / "pages" / "postloom-out-0123456789ab",     // not hidden
        site / "pages" / "00043_files" / ".postloom-out-0123456789abcdef",
        site / "pages" / ".postloom-out-ffffffffffff",    // written after the run began
        site / "pages" / ".postloom-out-aaaaaaaaaaaa",    // a link to a file outside
        outside,
    };
    for (const fs::path& path : stale) {
        WriteFile(path.string(), "cut page");
        setTime(path, hourAgo);
    }
    for (std::size_t i = 0; i < 4; ++i)
        WriteFile(kept[i].string(), "x");
    WriteFile(outside.string(), "not the site's");
    fs::create_symlink(outside, kept[4]);
    for (const fs::path& path : {kept[0], kept[1], kept[2], kept[4], outside})
        setTime(path, hourAgo);
    setTime(kept[3], std::time(nullptr) + 3600);

    const RunOutput run = RunBatchTool(sample, "sample.plp");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("removed 3 temporary files left by interrupted runs\n"), std::string::npos) << run.err;
    for (const fs::path& path : stale)
        EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << path;
    for (const fs::path& path : kept)
        EXPECT_TRUE(fs::exists(fs::symlink_status(path))) << path;
    EXPECT_EQ(ReadFile(outside.string()), "not the site's");

    const RunOutput again = RunBatchTool(sample, "sample.plp");
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.err.find("temporary files"), std::string::npos) << again.err;
}

TEST(BatchEndToEndTest, ProjectCutInItsSettingsIsRepairedOnceWithABackup)
{
    TempDir dir;
    const fs::path sample = CopySample(dir);
    const fs::path project = sample / "sample.plp";
    const std::string whole = ReadFile(project.string());
    const std::string cut = whole.substr(0, whole.find("\nDispLink=") + 1);
    WriteFile(project.string(), cut);

    const RunOutput repair = RunBatchTool(sample, "sample.plp");
    EXPECT_EQ(repair.status, 1);
    EXPECT_NE(repair.err.find("the project file has no mail list; it may have been cut short"), std::string::npos)
        << repair.err;
    EXPECT_NE(repair.err.find("kept the old project file as " + project.string() + ".bak"), std::string::npos)
        << repair.err;
    EXPECT_EQ(ReadFile(project.string() + ".bak"), cut);

    const RunOutput after = RunBatchTool(sample, "sample.plp");
    EXPECT_EQ(after.status, 0) << after.err;
    EXPECT_EQ(ReadFile(project.string() + ".bak"), cut);
}

TEST(BatchEndToEndTest, ProjectThatCannotBeReadSaysWhy)
{
    TempDir dir;
    fs::create_directory(dir.path() / "folder.plp");
    WriteFile((dir.path() / "random.plp").string(), std::string("\x89PNG\r\n\x1a\n\x01\x02", 10));
    const std::map<std::string, std::string> cases{
        {"missing.plp", "the file does not exist"},
        {"folder.plp", "it is a folder or a special file"},
        {"random.plp", "it is not a Postloom project file"},
    };
    for (const auto& [file, reason] : cases) {
        const RunOutput run = RunBatchTool(dir.path(), file);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("cannot read the project file " + (dir.path() / file).string() + ": " + reason),
                  std::string::npos)
            << run.err;
    }
    EXPECT_EQ(ReadFile((dir.path() / "random.plp").string()), std::string("\x89PNG\r\n\x1a\n\x01\x02", 10));
}

TEST(BatchEndToEndTest, HelpAndVersionExitCleanly)
{
    TempDir dir;
    EXPECT_EQ(RunBatchTool(dir.path(), "--help").status, 0);
    EXPECT_EQ(RunBatchTool(dir.path(), "--version").status, 0);
}

}  // namespace
}  // namespace postloom::test
