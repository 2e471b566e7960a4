// Whole-thread pages of the modern style: one page per thread beside the
// index page, the mails in tree order and indented by a capped depth, kept
// up to date run by run like the mail pages.

#include "core/html/index_page_writer.h"
#include "core/html/mail_page_writer.h"
#include "core/html/modern/kept_articles.h"
#include "core/html/site_record.h"
#include "core/text/codec.h"

#include "core/platform/job_control.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <utility>

namespace postloom {
namespace {

namespace fs = std::filesystem;
using test::Crlf;
using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

// Anchors of a thread page (the page name's stem) with their depths.
using Listing = std::vector<std::pair<std::string, int>>;

// Mails in "mails", index in "web", pages in "web/pages", thread pages in
// "web/threads".
class ThreadPagesTest : public ::testing::Test {
protected:
    ThreadPagesTest()
    {
        settings.Reset();
        settings.PageStyle = 1;
        settings.TargetPath = "mails";
        settings.IndexPath = "web/index.html";
        settings.MailPath = "pages";
        settings.MailExt = "*.*";
        settings.DispLink = 1;
        settings.DispSubject = 1;
        settings.OutDate = 1;
        settings.OutFrom = 1;
        fs::create_directories(dir.path() / "mails");
        fs::create_directories(dir.path() / "web" / "pages");
        project = tree.Insert("project", 2, 0, kNoItem, ThreadTree::Place::Last);
    }

    MailRecord& AddMail(const std::string& name, MailRecord* parent = nullptr, const std::string& body = "")
    {
        auto mail = std::make_unique<MailRecord>();
        mail->fileName = name + ".alm";
        mail->subject = Sjis("件名 " + name);
        mail->from = Sjis("山田 太郎 <taro@example.jp>");
        mail->date = 1081126800;
        WriteFile(dir.File("mails/" + mail->fileName),
                  Crlf("Subject: x\n\n") + (body.empty() ? Crlf("body of " + name + "\n") : body));
        MailRecord& added = *mail;
        settings.mailList.push_back(std::move(mail));
        const auto index = static_cast<std::uint32_t>(settings.mailList.size() - 1);
        items[&added] = tree.Insert(name, 0, index, parent == nullptr ? project : items.at(parent),
                                    ThreadTree::Place::Last);
        added.parent = parent;
        if (parent != nullptr) {
            MailRecord** link = &parent->firstChild;
            MailRecord* prev = nullptr;
            while (*link != nullptr) {
                prev = *link;
                link = &(*link)->nextSibling;
            }
            *link = &added;
            added.prevSibling = prev;
        }
        return added;
    }

    MailPageResult Run()
    {
        const SitePlan plan(settings, dir.path().string());
        NoProgress progress;
        WriteIndexPage(settings, dir.path().string(), plan, tree, progress);
        StopFlag stop{false};
        return WriteMailPages(settings, dir.path().string(), plan, progress, stop, {.threads = 2});
    }

    std::string Web(const std::string& name) const { return dir.File("web/" + name); }
    bool Exists(const std::string& name) const { return fs::exists(Web(name)); }

    // The anchors of a thread page, in page order, each with its depth.
    Listing Articles(const std::string& name) const
    {
        const std::string page = ReadFile(Web("threads/" + name));
        static const std::regex article("<article class=\"thread-mail depth-([0-9]+)\" id=\"m-([^\"]+)\\.2Ehtml\"");
        Listing found;
        for (auto it = std::sregex_iterator(page.begin(), page.end(), article); it != std::sregex_iterator(); ++it)
            found.emplace_back((*it)[2].str(), std::stoi((*it)[1].str()));
        return found;
    }

    TempDir dir;
    ProjectSettings settings;
    ThreadTree tree;
    TreeItem project = kNoItem;
    std::map<const MailRecord*, TreeItem> items;
};

TEST_F(ThreadPagesTest, MailsInTreeOrderIndentedUpToTheCap)
{
    MailRecord& a = AddMail("a");
    MailRecord& b = AddMail("b", &a);
    AddMail("c", &b);
    MailRecord* deep = &AddMail("d", &a);
    for (int i = 0; i < 8; ++i)
        deep = &AddMail("e" + std::to_string(i), deep);
    AddMail("z");
    const MailPageResult result = Run();
    EXPECT_EQ(result.threadPagesWritten, 2);
    EXPECT_TRUE(result.pagesNotWritten.empty());

    EXPECT_EQ(Articles("a.html"), (Listing{{"a", 0}, {"b", 1}, {"c", 2}, {"d", 1}, {"e0", 2}, {"e1", 3},
                                            {"e2", 4}, {"e3", 5}, {"e4", 6}, {"e5", 6}, {"e6", 6}, {"e7", 6}}));
    EXPECT_EQ(Articles("z.html"), (Listing{{"z", 0}}));

    const std::string page = ReadFile(Web("threads/a.html"));
    EXPECT_TRUE(text::IsValidUtf8(page));
    EXPECT_NE(page.find("<link rel=\"stylesheet\" href=\"../postloom.css\">"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"../index.html\">インデックスへ</a>"), std::string::npos);
    EXPECT_NE(page.find("<h2 id=\"m-c.2Ehtml-h\"><a href=\"../pages/c.html\">件名 c</a></h2>"), std::string::npos);
    EXPECT_NE(page.find("<dd><span class=\"sender\">山田 太郎</span></dd>"), std::string::npos);
    EXPECT_NE(page.find("<div class=\"mail-body\">body of c</div>"), std::string::npos);

    EXPECT_NE(ReadFile(Web("pages/c.html")).find("<a href=\"../threads/a.html#m-c.2Ehtml\">スレッド全体</a>"),
              std::string::npos);
    const std::string index = ReadFile(Web("index.html"));
    EXPECT_NE(index.find("<a class=\"thread-all\" href=\"threads/a.html\">スレッド全体</a>"), std::string::npos);
    EXPECT_NE(index.find("<a class=\"thread-all\" href=\"threads/z.html\">スレッド全体</a>"), std::string::npos);
}

// An index long enough for its entries to be made on several cores still
// lists every entry once, in tree order, with the thread link on the first
// mail of each thread only.
TEST_F(ThreadPagesTest, ALargeIndexListsEveryEntryInTreeOrder)
{
    std::vector<std::string> expected;
    for (int t = 0; t < 1500; ++t) {
        const std::string root = "t" + std::to_string(t);
        MailRecord& first = AddMail(root);
        MailRecord& reply = AddMail(root + "r", &first);
        AddMail(root + "rr", &reply);
        expected.insert(expected.end(), {root, root + "r", root + "rr"});
    }
    Run();
    const std::string index = ReadFile(Web("index.html"));
    static const std::regex entry("<li><div class=\"entry\"><a href=\"pages/([^\"]+)\\.html\">");
    std::vector<std::string> listed;
    for (auto it = std::sregex_iterator(index.begin(), index.end(), entry); it != std::sregex_iterator(); ++it)
        listed.push_back((*it)[1].str());
    EXPECT_EQ(listed, expected);
    const auto count = [&](const std::string& text) {
        std::size_t n = 0;
        for (std::size_t at = index.find(text); at != std::string::npos; at = index.find(text, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("<li>"), count("</li>"));
    EXPECT_EQ(count("class=\"thread-all\""), 1500u);
    EXPECT_NE(index.find("<li><div class=\"entry\"><a href=\"pages/t1499rr.html\">"), std::string::npos);
}

TEST_F(ThreadPagesTest, ABodyLargerThanAPieceIsWrittenWhole)
{
    std::string body;
    for (int i = 0; body.size() < 600 * 1024; ++i)
        body += Crlf("line " + std::to_string(i) + "\n");
    AddMail("a", nullptr, body);
    Run();
    const std::string page = ReadFile(Web("threads/a.html"));
    EXPECT_NE(page.find("line 0\r\nline 1\r\n"), std::string::npos);
    EXPECT_NE(page.find("line " + std::to_string(600 * 1024 / 12 - 1) + "\r\n"), std::string::npos);
    EXPECT_TRUE(page.ends_with("</html>\r\n"));
}

TEST_F(ThreadPagesTest, MailsWithoutAPageAreLeftOut)
{
    MailRecord& a = AddMail("a");
    MailRecord& b = AddMail("b", &a);
    AddMail("c", &b);
    a.outputHtml = 0;
    fs::remove(dir.File("mails/c.alm"));
    Run();
    // Named after its first mail with a page.
    EXPECT_FALSE(Exists("threads/a.html"));
    EXPECT_EQ(Articles("b.html"), (Listing{{"b", 1}}));
    EXPECT_NE(ReadFile(Web("pages/b.html")).find("href=\"../threads/b.html#m-b.2Ehtml\">スレッド全体"),
              std::string::npos);
}

TEST_F(ThreadPagesTest, AThreadLeftWithoutPagesLosesItsPage)
{
    MailRecord& a = AddMail("a");
    MailRecord& b = AddMail("b", &a);
    MailRecord& z = AddMail("z");
    AddMail("y");
    Run();
    ASSERT_TRUE(Exists("threads/z.html"));
    // Changed by hand: no longer the program's file, so it stays.
    WriteFile(Web("threads/y.html"), "mine");

    b.outputHtml = 0;
    z.outputHtml = 0;
    settings.mailList.back()->outputHtml = 0;
    const MailPageResult result = Run();
    EXPECT_EQ(result.threadPagesRemoved, 1);
    EXPECT_EQ(result.threadPagesWritten, 1);
    EXPECT_FALSE(Exists("threads/z.html"));
    EXPECT_EQ(ReadFile(Web("threads/y.html")), "mine");
    EXPECT_EQ(Articles("a.html"), (Listing{{"a", 0}}));
    EXPECT_EQ(ReadFile(Web("index.html")).find("threads/z.html"), std::string::npos);

    const std::optional<SiteRecord> record = LoadSiteRecord(Web(std::string(kSiteRecordName)), Web("pages"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->threadPages.size(), 1u);
    EXPECT_TRUE(record->threadPages.contains("a.html"));

    // Back in the classic style nothing links thread pages: they go.
    settings.PageStyle = 0;
    EXPECT_EQ(Run().threadPagesRemoved, 1);
    EXPECT_FALSE(Exists("threads/a.html"));
}

TEST_F(ThreadPagesTest, AReRunRewritesOnlyChangedThreadsAndEqualsAFullRun)
{
    MailRecord& a = AddMail("a");
    AddMail("b", &a);
    AddMail("m");
    AddMail("z");
    Run();
    MailPageResult again = Run();
    EXPECT_EQ(again.threadPagesWritten, 0);
    EXPECT_EQ(again.threadPagesUnchanged, 3);

    AddMail("c", &a);
    WriteFile(dir.File("mails/z.alm"), Crlf("Subject: x\n\nnew text\n"));
    again = Run();
    EXPECT_EQ(again.threadPagesWritten, 2);
    EXPECT_EQ(again.threadPagesUnchanged, 1);
    EXPECT_NE(ReadFile(Web("threads/z.html")).find("new text"), std::string::npos);

    std::map<std::string, std::string> rerun;
    for (const auto& entry : fs::directory_iterator(Web("threads")))
        rerun[entry.path().filename().string()] = ReadFile(entry.path().string());
    fs::remove_all(Web(""));
    fs::create_directories(Web("pages"));
    EXPECT_EQ(Run().threadPagesWritten, 3);
    for (const auto& [name, bytes] : rerun)
        EXPECT_EQ(ReadFile(Web("threads/" + name)), bytes) << name;
}

// A thread page made again takes the articles of the mails whose pages
// are as they were from the page it replaces, in whatever order it finds
// them there, and comes out as a whole run makes it.
TEST_F(ThreadPagesTest, ArticlesTakenFromTheEarlierPageEqualAWholeRun)
{
    MailRecord& a = AddMail("a");
    MailRecord& b = AddMail("b", &a);
    // Articles larger than the pieces the earlier page is read in.
    std::string lines;
    for (int i = 0; i < 4000; ++i)
        lines += "line " + std::to_string(i) + " of a long mail\n";
    AddMail("b1", &b, Crlf(lines));
    MailRecord& c = AddMail("c", &a);
    AddMail("c1", &c,
            Crlf("</article>\n<article class=\"thread-mail depth-0\" id=\"m-b1.2Ehtml\">\n" + lines) +
                "a lone\rCR\r\n");
    MailRecord& d = AddMail("d", &a);
    Run();

    // c comes before b now and d gains a reply: b1's and c1's pages stay
    // as they were, c1's article is found past b1's, which is taken after.
    a.firstChild = &c;
    c.prevSibling = nullptr;
    c.nextSibling = &b;
    b.prevSibling = &c;
    b.nextSibling = &d;
    d.prevSibling = &b;
    tree.Delete(items.at(&b));
    items[&b] = tree.Insert("b", 0, 1, items.at(&a), ThreadTree::Place::Last);
    AddMail("e", &d);
    EXPECT_EQ(Run().threadPagesWritten, 1);
    EXPECT_EQ(Articles("a.html"),
              (Listing{{"a", 0}, {"c", 1}, {"c1", 2}, {"b", 1}, {"b1", 2}, {"d", 1}, {"e", 2}}));
    const std::string rerun = ReadFile(Web("threads/a.html"));

    fs::remove_all(Web(""));
    fs::create_directories(Web("pages"));
    Run();
    EXPECT_EQ(ReadFile(Web("threads/a.html")), rerun);
}

// What is taken is the article as written: a mail file changed behind a
// stamp that did not change (as the mail pages, the thread pages go by
// the stamp) keeps its earlier text.
TEST_F(ThreadPagesTest, ArticlesAreTakenFromTheEarlierPageWithoutReadingTheMail)
{
    MailRecord& a = AddMail("a", nullptr, Crlf("first text\n"));
    AddMail("b", &a);
    Run();
    const fs::path file = dir.File("mails/a.alm");
    const auto written = fs::last_write_time(file);
    WriteFile(file.string(), Crlf("Subject: x\n\nother text\n"));
    fs::last_write_time(file, written);
    AddMail("c", &a);
    Run();
    const std::string page = ReadFile(Web("threads/a.html"));
    EXPECT_NE(page.find("first text"), std::string::npos);
    EXPECT_EQ(page.find("other text"), std::string::npos);
}

// A thread page takes the bodies the run's mail pages formatted; one
// written when the mail pages were unchanged reads the mail files. Both
// must give the same bytes, whatever the body holds.
TEST_F(ThreadPagesTest, BodiesFromTheMailPagesEqualBodiesReadFromTheFiles)
{
    settings.MimeDecode = 1;
    settings.HideAddresses = 1;
    MailRecord& a = AddMail("a", nullptr,
                            Crlf(Sjis("> 引用です\n本文 https://example.jp/a?b=c&d (hanako@example.jp)\n＞ 全角\n")));
    const std::string mime = "MIME-Version: 1.0\n"
                             "Content-Type: multipart/mixed; boundary=\"sep\"\n\n"
                             "--sep\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n"
                             "44GT44KT44Gr44Gh44GvIPCfmIAK\n"
                             "--sep\nContent-Type: application/pdf; name=\"r.pdf\"\n"
                             "Content-Disposition: attachment; filename=\"r.pdf\"\n"
                             "Content-Transfer-Encoding: base64\n\nAAECAwQ=\n--sep--\n";
    MailRecord& b = AddMail("b", &a);
    WriteFile(dir.File("mails/" + b.fileName), Crlf("Subject: x\n" + mime));
    std::string large;
    for (int i = 0; large.size() < 300 * 1024; ++i)
        large += Crlf("> line " + std::to_string(i) + " http://example.jp/" + std::to_string(i) + "\n");
    AddMail("c", &b, large);
    AddMail("d", &a, Crlf("\n\n  \ttrailing blanks  \n\x1a after the end mark\n"));
    ASSERT_EQ(Run().threadPagesWritten, 1);
    const std::string fromPages = ReadFile(Web("threads/a.html"));
    ASSERT_NE(fromPages.find("<span class=\"quote\">"), std::string::npos);
    ASSERT_NE(fromPages.find("こんにちは"), std::string::npos);
    EXPECT_EQ(fromPages.find("r.pdf"), std::string::npos) << "attachments stay on the mail's own page";
    EXPECT_NE(ReadFile(Web("pages/b.html")).find("r.pdf"), std::string::npos);

    fs::remove(Web("threads/a.html"));
    const MailPageResult again = Run();
    EXPECT_EQ(again.pagesWritten, 0);
    EXPECT_EQ(again.threadPagesWritten, 1);
    EXPECT_EQ(ReadFile(Web("threads/a.html")), fromPages);
}

TEST(KeptArticles, KeepsWithinItsLimitAndHandsEachArticleOverOnce)
{
    modern::KeptArticles kept(3, 10);
    const auto taken = [&kept](std::size_t mail) -> std::optional<std::string> {
        std::optional<modern::KeptArticle> article = kept.Take(mail);
        if (!article)
            return std::nullopt;
        return std::string(article->subject) + "|" + std::string(article->written);
    };
    kept.Keep(0, "12", "3456");
    kept.Keep(1, "1234", "5");  // past the limit, subject counted: not kept
    kept.Keep(7, "", "1");      // no such mail
    EXPECT_EQ(taken(0), "12|3456");
    EXPECT_EQ(taken(0), std::nullopt);
    EXPECT_EQ(taken(1), std::nullopt);
    EXPECT_EQ(taken(7), std::nullopt);
    // What was handed over still counts: the bound is on all ever kept.
    kept.Keep(2, "1", "234567890");
    EXPECT_EQ(taken(2), std::nullopt);
    kept.Keep(2, "1", "23");
    kept.Keep(1, "", "");
    EXPECT_EQ(taken(1), "|");
    EXPECT_EQ(taken(2), "1|23");
}

TEST(KeptArticles, ManyKeptOnTwoThreadsAllReadBackIntact)
{
    constexpr std::size_t kMails = 4000;
    modern::KeptArticles kept(kMails);
    const auto articleOf = [](std::size_t mail) {
        return std::make_pair("s" + std::to_string(mail), std::string(mail % 997 + 1, static_cast<char>('a' + mail % 26)));
    };
    const auto keepEvery = [&](std::size_t first) {
        for (std::size_t mail = first; mail < kMails; mail += 2) {
            const auto [subject, written] = articleOf(mail);
            kept.Keep(mail, subject, written);
        }
    };
    {
        const std::jthread odd(keepEvery, 1);
        keepEvery(0);
    }
    for (std::size_t mail = 0; mail < kMails; ++mail) {
        const std::optional<modern::KeptArticle> article = kept.Take(mail);
        ASSERT_TRUE(article) << mail;
        const auto [subject, written] = articleOf(mail);
        EXPECT_EQ(article->subject, subject) << mail;
        EXPECT_EQ(article->written, written) << mail;
    }
}

TEST(ThreadPageRecord, ThreadLinesReadBackAndBadOnesSpoilTheRecord)
{
    SiteRecord record{"/site/pages", {}};
    record.threadPages["a.html"] = RecordedThreadPage{"digest", {12, 34}};
    const std::string text = FormatSiteRecord(record);
    EXPECT_EQ(ParseSiteRecord(text), record);

    SiteRecord bad = record;
    bad.threadPages["../x.html"] = RecordedThreadPage{"d", {1, 2}};
    EXPECT_FALSE(ParseSiteRecord(FormatSiteRecord(bad)));
}

}  // namespace
}  // namespace postloom
