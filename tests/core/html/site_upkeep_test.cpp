// The site after a run holds what its pages link and nothing else the
// program wrote; a re-run builds only the pages whose inputs changed, and
// its site is the same as that of a full run.

#include "core/html/index_page_writer.h"
#include "core/html/mail_page_writer.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <random>
#include <thread>

namespace postloom {
namespace {

namespace fs = std::filesystem;
using test::Crlf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class StoppingProgress final : public JobProgress {
public:
    void SetRange(int, int) override {}
    void Report(int position) override
    {
        if (stopAt != 0 && position == stopAt && stop != nullptr)
            stop->store(true);
    }
    int stopAt = 0;
    StopFlag* stop = nullptr;
};

// A multipart mail with one attachment per name, each holding its name.
std::string MimeMail(const std::string& subject, const std::vector<std::string>& attachments)
{
    std::string mail = "From: Taro <taro@example.jp>\nSubject: " + subject +
                       "\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"sep\"\n\n"
                       "--sep\nContent-Type: text/plain; charset=us-ascii\n\nbody of " +
                       subject + "\n";
    for (const std::string& name : attachments)
        mail += "--sep\nContent-Type: application/pdf; name=\"" + name + "\"\nContent-Disposition: attachment; "
                "filename=\"" + name + "\"\n\n%PDF " + name + "\n";
    return mail + "--sep--\n";
}

// Mails in "mails", index and pages in "web".
class SiteUpkeepTest : public ::testing::Test {
protected:
    SiteUpkeepTest()
    {
        settings.Reset();
        settings.TargetPath = "mails";
        settings.IndexPath = "web/index.html";
        settings.MailExt = "*.*";
        settings.MimeDecode = 1;
        settings.DispLink = 1;
        fs::create_directories(dir.path() / "mails");
        fs::create_directories(dir.path() / "web");
        project = tree.Insert("project", 2, 0, kNoItem, ThreadTree::Place::Last);
    }

    MailRecord& AddMail(const std::string& fileName, const std::string& text)
    {
        auto mail = std::make_unique<MailRecord>();
        mail->fileName = fileName;
        mail->subject = fileName;
        WriteFile(Mail(fileName), Crlf(text));
        settings.mailList.push_back(std::move(mail));
        tree.Insert(fileName, 0, static_cast<std::uint32_t>(settings.mailList.size() - 1), project,
                    ThreadTree::Place::Last);
        return *settings.mailList.back();
    }
    MailRecord& AddPlainMail(const std::string& fileName)
    {
        return AddMail(fileName, "Subject: " + fileName + "\n\nbody of " + fileName + "\n");
    }

    // One run of both writers over one plan, as the fronts run them.
    MailPageResult Run(const StopFlag& stopFlag)
    {
        const SitePlan plan(settings, dir.path().string());
        StoppingProgress silent;
        WriteIndexPage(settings, dir.path().string(), plan, tree, silent);
        return WriteMailPages(settings, dir.path().string(), plan, progress, stopFlag, {.threads = 3});
    }
    MailPageResult Run() { return Run(stop); }

    std::string Mail(const std::string& name) const { return dir.File("mails/" + name); }
    std::string Web(const std::string& name) const { return dir.File("web/" + name); }
    std::size_t FilesIn(const std::string& folder) const
    {
        const fs::path path = dir.path() / "web" / folder;
        return fs::exists(path) ? static_cast<std::size_t>(std::distance(fs::directory_iterator(path), {})) : 0;
    }

    TempDir dir;
    ProjectSettings settings;
    ThreadTree tree;
    TreeItem project = kNoItem;
    StoppingProgress progress;
    StopFlag stop{false};
};

TEST_F(SiteUpkeepTest, MailsWithoutAPageLeaveTheSiteWithTheirAttachments)
{
    MailRecord& off = AddMail("off.eml", MimeMail("off", {"a.pdf"}));
    AddMail("gone.eml", MimeMail("gone", {"b.pdf", "c.pdf"}));
    AddPlainMail("kept.eml");
    ASSERT_EQ(Run().pagesWritten, 3);
    ASSERT_EQ(FilesIn("gone_files"), 2u);
    WriteFile(Web("mine.html"), "a page of the list owner");

    off.outputHtml = 0;
    fs::remove(Mail("gone.eml"));
    const MailPageResult result = Run();
    EXPECT_EQ(result.pagesRemoved, 2);
    EXPECT_EQ(result.attachmentsRemoved, 3);
    EXPECT_EQ(result.archivesGone, std::vector<std::string>{"gone.eml"});
    EXPECT_TRUE(result.missingArchives.empty());
    for (const char* name : {"off.html", "gone.html", "off_files", "gone_files"})
        EXPECT_FALSE(fs::exists(Web(name))) << name;
    EXPECT_EQ(ReadFile(Web("mine.html")), "a page of the list owner");
    EXPECT_TRUE(fs::exists(Web("kept.html")));
    const std::string index = ReadFile(Web("index.html"));
    EXPECT_EQ(index.find("gone.html"), std::string::npos);
    EXPECT_NE(index.find("<DT>gone.eml<BR>"), std::string::npos);

    // Back with its file, the mail is back on the site.
    WriteFile(Mail("gone.eml"), Crlf(MimeMail("gone", {"b.pdf", "c.pdf"})));
    EXPECT_EQ(Run().pagesWritten, 1);
    EXPECT_EQ(FilesIn("gone_files"), 2u);
}

TEST_F(SiteUpkeepTest, MailThatLosesItsPageNameWritesNoAttachments)
{
    AddMail("a.alm", MimeMail("alm", {"one.pdf", "two.pdf"}));
    AddMail("a.eml", MimeMail("eml", {"three.pdf"}));
    const MailPageResult result = Run();
    EXPECT_EQ(result.pagesWritten, 1);
    ASSERT_EQ(result.pageNameClashes.size(), 1u);
    EXPECT_EQ(result.pageNameClashes[0].mailFile, "a.alm");
    EXPECT_EQ(result.pageNameClashes[0].laterMailFile, "a.eml");
    EXPECT_EQ(FilesIn("a_files"), 1u);
    EXPECT_NE(ReadFile(Web("a.html")).find("body of eml"), std::string::npos);

    // The page's owner goes: the other mail takes the name over, and the
    // attachments follow.
    fs::remove(Mail("a.eml"));
    const MailPageResult again = Run();
    EXPECT_EQ(again.attachmentsRemoved, 1);
    EXPECT_EQ(FilesIn("a_files"), 2u);
    EXPECT_NE(ReadFile(Web("a.html")).find("body of alm"), std::string::npos);
}

TEST_F(SiteUpkeepTest, AttachmentNoLongerInItsMailIsRemoved)
{
    AddMail("m.eml", MimeMail("m", {"keep.pdf", "drop.pdf"}));
    Run();
    ASSERT_EQ(FilesIn("m_files"), 2u);
    WriteFile(Mail("m.eml"), Crlf(MimeMail("m", {"keep.pdf"})));
    const MailPageResult result = Run();
    EXPECT_EQ(result.attachmentsRemoved, 1);
    EXPECT_EQ(result.pagesRemoved, 0);
    EXPECT_EQ(FilesIn("m_files"), 1u);
    // A folder the run made goes with its last file; one the user made stays.
    WriteFile(Mail("m.eml"), Crlf("Subject: m\n\nno attachments now\n"));
    EXPECT_EQ(Run().attachmentsRemoved, 1);
    EXPECT_FALSE(fs::exists(Web("m_files")));
}

TEST_F(SiteUpkeepTest, StoppedRunAndForeignFilesRemoveNothing)
{
    MailRecord& first = AddMail("a.eml", MimeMail("a", {"x.pdf"}));
    AddPlainMail("b.eml");
    AddPlainMail("c.eml");
    Run();
    first.outputHtml = 0;
    progress.stop = &stop;
    progress.stopAt = 2;
    const MailPageResult stopped = Run();
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.pagesRemoved, 0);
    EXPECT_TRUE(fs::exists(Web("a.html")));
    EXPECT_EQ(FilesIn("a_files"), 1u);

    // A link put where a page of the record was is not followed, and the
    // file it points to stays.
    progress.stopAt = 0;
    stop = false;
    const std::string outside = dir.File("outside.html");
    WriteFile(outside, "not the program's");
    fs::remove(Web("a.html"));
    fs::create_symlink(outside, Web("a.html"));
    const MailPageResult whole = Run();
    EXPECT_EQ(whole.pagesRemoved, 0);
    EXPECT_EQ(whole.attachmentsRemoved, 1);
    EXPECT_TRUE(fs::is_symlink(Web("a.html")));
    EXPECT_EQ(ReadFile(outside), "not the program's");

    // Nor is an attachment folder that became a link.
    MailRecord& second = *settings.mailList[1];
    WriteFile(Mail("b.eml"), Crlf(MimeMail("b", {"y.pdf"})));
    Run();
    ASSERT_EQ(FilesIn("b_files"), 1u);
    const fs::path saved = fs::directory_iterator(dir.path() / "web" / "b_files")->path();
    fs::create_directories(dir.path() / "elsewhere");
    WriteFile((dir.path() / "elsewhere" / saved.filename()).string(), "not the program's");
    fs::remove_all(dir.path() / "web" / "b_files");
    fs::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "web" / "b_files");
    second.outputHtml = 0;
    EXPECT_EQ(Run().attachmentsRemoved, 0);
    EXPECT_EQ(ReadFile((dir.path() / "elsewhere" / saved.filename()).string()), "not the program's");
}

// What is made beside the last of the pages (the search) may take the name
// of a page no longer linked: it starts once every mail page is in place
// and that page is gone, and never after a stop.
TEST_F(SiteUpkeepTest, WorkBesideThePagesStartsOnceThePagesAreInPlace)
{
    AddPlainMail("a.eml");
    MailRecord& second = AddPlainMail("b.eml");
    Run();
    second.outputHtml = 0;
    int calls = 0;
    std::size_t stampCount = 0;
    bool pagesInPlace = false;
    const auto besidePages = [&](const std::vector<std::optional<platform::FileStamp>>& stamps) {
        ++calls;
        stampCount = stamps.size();
        pagesInPlace = fs::exists(Web("a.html")) && !fs::exists(Web("b.html"));
    };
    const SitePlan plan(settings, dir.path().string());
    MailPageResult result = WriteMailPages(settings, dir.path().string(), plan, progress, stop,
                                           {.threads = 3, .whenPagesInPlace = besidePages});
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(stampCount, 2u);
    EXPECT_EQ(result.mailFileStamps.size(), 2u) << "the stamps stay with the result";
    EXPECT_TRUE(pagesInPlace);
    EXPECT_EQ(result.pagesRemoved, 1);

    progress.stop = &stop;
    progress.stopAt = 1;
    result = WriteMailPages(settings, dir.path().string(), plan, progress, stop,
                            {.threads = 3, .whenPagesInPlace = besidePages});
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(calls, 1);
}

TEST_F(SiteUpkeepTest, RerunWithNothingChangedTouchesNoFile)
{
    for (int i = 0; i < 6; ++i)
        AddMail("m" + std::to_string(i) + ".eml", MimeMail("m" + std::to_string(i), {"x.pdf"}));
    Run();
    std::map<std::string, std::pair<std::int64_t, std::string>> before;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "web")) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        before[entry.path().string()] = {st.st_mtim.tv_sec * 1'000'000'000 + st.st_mtim.tv_nsec,
                                         entry.is_regular_file() ? ReadFile(entry.path().string()) : ""};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const MailPageResult again = Run();
    EXPECT_EQ(again.pagesWritten, 0);
    EXPECT_EQ(again.pagesUnchanged, 6);
    for (const auto& [path, stamped] : before) {
        struct stat st {};
        ::lstat(path.c_str(), &st);
        EXPECT_EQ(st.st_mtim.tv_sec * 1'000'000'000 + st.st_mtim.tv_nsec, stamped.first) << path;
    }

    // The proof is the mail file's size and time: a file changed behind
    // the program's back with both kept is not read again.
    struct stat mail {};
    ASSERT_EQ(::stat(Mail("m0.eml").c_str(), &mail), 0);
    std::string text = ReadFile(Mail("m0.eml"));
    text.replace(text.find("body of m0"), 10, "BODY OF M0");
    WriteFile(Mail("m0.eml"), text);
    const struct timespec times[2] = {mail.st_atim, mail.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, Mail("m0.eml").c_str(), times, 0), 0);
    EXPECT_EQ(Run().pagesWritten, 0);
    EXPECT_EQ(ReadFile(Web("m0.html")), before.at(Web("m0.html")).second);
}

TEST_F(SiteUpkeepTest, ChangedInputsRebuildThePage)
{
    AddPlainMail("a.eml");
    MailRecord& b = AddPlainMail("b.eml");
    WriteFile(dir.File("footer.txt"), "footer one");
    settings.MailFooter = 1;
    settings.MailFooterFile = "footer.txt";
    Run();
    const auto page = [&](const char* name) { return ReadFile(Web(name)); };

    // An include's content, a setting, a link target, the caption.
    WriteFile(dir.File("footer.txt"), "footer two");
    EXPECT_EQ(Run().pagesWritten, 2);
    EXPECT_NE(page("a.html").find("footer two"), std::string::npos);
    settings.DispSubject = 1;
    EXPECT_EQ(Run().pagesWritten, 2);
    EXPECT_NE(page("a.html").find("Subject: a.eml"), std::string::npos);
    settings.mailList[0]->nextSibling = &b;
    b.prevSibling = settings.mailList[0].get();
    EXPECT_EQ(Run().pagesWritten, 2);
    EXPECT_NE(page("a.html").find("<A HREF=b.html>"), std::string::npos);
    b.outputHtml = 0;
    Run();
    EXPECT_EQ(page("a.html").find("<A HREF=b.html>"), std::string::npos);
    b.subject = "renamed";
    EXPECT_EQ(Run().pagesWritten, 0);
    b.outputHtml = 1;
    Run();
    EXPECT_NE(page("b.html").find("renamed"), std::string::npos);

    // The page itself changed or gone on disk, the mail file changed.
    WriteFile(Web("a.html"), "edited by hand");
    WriteFile(Mail("b.eml"), Crlf("Subject: b\n\nnew body\n"));
    EXPECT_EQ(Run().pagesWritten, 2);
    EXPECT_NE(page("a.html").find("footer two"), std::string::npos);
    EXPECT_NE(page("b.html").find("new body"), std::string::npos);
    fs::remove(Web("b.html"));
    EXPECT_EQ(Run().pagesWritten, 1);

    // A template's content in template mode.
    WriteFile(dir.File("t.html"), "one <Postloom Body>");
    settings.MailCreateType = 1;
    settings.MailTemplateFile = "t.html";
    Run();
    WriteFile(dir.File("t.html"), "two <Postloom Body>");
    EXPECT_EQ(Run().pagesWritten, 2);
    EXPECT_EQ(page("a.html").substr(0, 4), "two ");
}

// A survey started before the run spares the same pages as the run's own;
// one of other places is left, and the run surveys its site itself.
TEST_F(SiteUpkeepTest, ASurveyStartedAheadIsTakenOnlyForItsOwnPlaces)
{
    AddPlainMail("a.eml");
    MailRecord& b = AddPlainMail("b.eml");
    Run();
    WriteFile(Web("a.html"), "edited by hand");
    const auto runWith = [&](SiteSurveyAhead& survey) {
        const SitePlan plan(settings, dir.path().string());
        return WriteMailPages(settings, dir.path().string(), plan, progress, stop, {.threads = 3, .survey = &survey});
    };
    SiteSurveyAhead ahead(SurveyPlacesOf(settings, dir.path().string()));
    const MailPageResult first = runWith(ahead);
    EXPECT_EQ(first.pagesWritten, 1);
    EXPECT_EQ(first.pagesUnchanged, 1);
    EXPECT_NE(ReadFile(Web("a.html")), "edited by hand");

    // Only a run that knows the site's record removes the page of a mail
    // switched off.
    b.outputHtml = 0;
    fs::create_directories(dir.path() / "elsewhere" / "web");
    SiteSurveyAhead elsewhere(SurveyPlacesOf(settings, (dir.path() / "elsewhere").string()));
    EXPECT_EQ(runWith(elsewhere).pagesRemoved, 1);
    EXPECT_FALSE(fs::exists(Web("b.html")));
}

// A site kept up by re-runs through random changes equals, file for file,
// the site a full run makes in a fresh folder.
TEST_F(SiteUpkeepTest, RerunsGiveTheSiteOfAFullRun)
{
    std::mt19937 random(20261209);
    constexpr int kMails = 24;
    for (int i = 0; i < kMails; ++i) {
        // Few stems: some mails share a page name.
        const std::string name = "m" + std::to_string(i % 17) + (i < 17 ? ".eml" : ".alm");
        if (i % 3 == 0)
            AddMail(name, MimeMail("s" + std::to_string(i), {"a.pdf", "b" + std::to_string(i % 2) + ".pdf"}));
        else
            AddPlainMail(name);
    }
    const auto snapshot = [](const fs::path& folder) {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file() && entry.path().filename() != ".postloom-site")
                files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path().string());
            else if (entry.is_directory())
                files[fs::relative(entry.path(), folder).string()] = "folder";
        }
        return files;
    };
    for (int round = 0; round < 25; ++round) {
        for (int change = 0; change < 4; ++change) {
            MailRecord& mail = *settings.mailList[random() % kMails];
            switch (random() % 7) {
            case 0:
                mail.outputHtml = !mail.outputHtml;
                break;
            case 1:
                fs::remove(Mail(mail.fileName));
                break;
            case 2:
                WriteFile(Mail(mail.fileName),
                          Crlf(MimeMail(mail.fileName + std::to_string(round), {"c" + std::to_string(round % 3) +
                                                                               ".pdf"})));
                break;
            case 3:
                WriteFile(Mail(mail.fileName), Crlf("Subject: x\n\nround " + std::to_string(round) + "\n"));
                break;
            case 4: {
                MailRecord& other = *settings.mailList[random() % kMails];
                if (&other != &mail && mail.nextSibling == nullptr && other.prevSibling == nullptr) {
                    mail.nextSibling = &other;
                    other.prevSibling = &mail;
                }
                break;
            }
            case 5:
                settings.DispSubject = !settings.DispSubject;
                break;
            case 6:
                mail.subject = "subject " + std::to_string(round);
                break;
            }
        }
        settings.IndexPath = "web/index.html";
        Run();
        const auto kept = snapshot(dir.path() / "web");
        settings.IndexPath = "full/index.html";
        fs::remove_all(dir.path() / "full");
        fs::create_directories(dir.path() / "full");
        Run();
        ASSERT_EQ(kept, snapshot(dir.path() / "full")) << "round " << round;
    }
}

}  // namespace
}  // namespace postloom
