// The search of a modern site: written beside the index page from the
// mails that have a page, as the pages show them, and nothing for a
// classic site.

#include "core/html/index_page_writer.h"
#include "core/html/mail_page_writer.h"
#include "core/html/search_body_text.h"
#include "core/html/site_search.h"
#include "core/search/search_state.h"

#include "core/platform/job_control.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace postloom {
namespace {

namespace fs = std::filesystem;
using test::Crlf;
using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

// Mails in "mails", index in "web", pages in "web/pages".
class SiteSearchTest : public ::testing::Test {
protected:
    SiteSearchTest()
    {
        settings.Reset();
        settings.TargetPath = "mails";
        settings.IndexPath = "web/index.html";
        settings.MailPath = "pages";
        settings.MailExt = "*.*";
        settings.PageStyle = 1;
        fs::create_directories(dir.path() / "mails");
        fs::create_directories(dir.path() / "web" / "pages");
    }

    MailRecord& AddMail(const std::string& fileName, const std::string& subject, const std::string& file)
    {
        auto mail = std::make_unique<MailRecord>();
        mail->fileName = fileName;
        mail->subject = Sjis(subject);
        mail->from = Sjis("山田 太郎 <taro@example.jp>");
        mail->date = 1081126800 + static_cast<std::int32_t>(settings.mailList.size());
        WriteFile(dir.File("mails/" + fileName), file);
        settings.mailList.push_back(std::move(mail));
        return *settings.mailList.back();
    }

    SiteSearchResult Run()
    {
        const SitePlan plan(settings, dir.path().string());
        NoProgress progress;
        StopFlag stop{false};
        ThreadTree tree;
        tree.Insert("project", 2, 0, kNoItem, ThreadTree::Place::Last);
        WriteIndexPage(settings, dir.path().string(), plan, tree, progress);
        const MailPageResult pages =
            WriteMailPages(settings, dir.path().string(), plan, progress, stop, {.threads = 1});
        return WriteSiteSearch(settings, dir.path().string(), plan, pages.mailFileStamps, progress, stop);
    }

    std::vector<std::string> IndexedKeys() const
    {
        std::vector<std::string> keys;
        if (const auto state = search::ReadSearchState(dir.File("web/search/.postloom-search"))) {
            for (const search::StateMail& mail : state->mails)
                keys.push_back(mail.key);
        }
        std::sort(keys.begin(), keys.end());
        return keys;
    }

    TempDir dir;
    ProjectSettings settings;
};

TEST_F(SiteSearchTest, AModernSiteGetsItsSearchAndEveryPageABoxLeadingThere)
{
    settings.HideAddresses = 1;
    AddMail("a.alm", "開設のお知らせ", Crlf(Sjis("Subject: x\n\n新幹線の時刻です。\n")));
    const SiteSearchResult result = Run();
    ASSERT_TRUE(result.written);
    EXPECT_TRUE(result.problems.empty());
    EXPECT_EQ(result.mailsIndexed, 1u);
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "web/search/manifest.js"));
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "web/search/search_runtime.js"));

    // The mail table names the page from the search page, the sender as
    // the pages show it, and no address.
    const std::string table = ReadFile(dir.File("web/search/s1/m0.js"));
    EXPECT_NE(table.find("\"pages/a.html\""), std::string::npos) << table;
    EXPECT_NE(table.find("開設のお知らせ"), std::string::npos);
    EXPECT_NE(table.find("山田 太郎"), std::string::npos);
    EXPECT_EQ(table.find("example.jp"), std::string::npos);

    const std::string page = ReadFile(dir.File("web/search.html"));
    EXPECT_TRUE(page.starts_with("<!DOCTYPE html>\n<html lang=\"ja\">"));
    EXPECT_NE(page.find("<link rel=\"stylesheet\" href=\"postloom.css\">"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"index.html\">"), std::string::npos);
    EXPECT_NE(page.find("<script src=\"search/search_page.js\" charset=\"utf-8\"></script>"), std::string::npos);

    EXPECT_NE(ReadFile(dir.File("web/index.html")).find("<form class=\"site-search\" role=\"search\" action=\"search.html\">"),
              std::string::npos);
    EXPECT_NE(ReadFile(dir.File("web/pages/a.html"))
                  .find("<form class=\"site-search\" role=\"search\" action=\"../search.html\">"),
              std::string::npos);
}

TEST_F(SiteSearchTest, AMailThatLosesItsPageLeavesTheIndexOnTheNextRun)
{
    AddMail("a.alm", "一", Crlf("Subject: x\n\none\n"));
    MailRecord& b = AddMail("b.alm", "二", Crlf("Subject: y\n\ntwo\n"));
    AddMail("c.alm", "三", Crlf("Subject: z\n\nthree\n"));
    ASSERT_TRUE(Run().problems.empty());
    EXPECT_EQ(IndexedKeys(), (std::vector<std::string>{"a.alm", "b.alm", "c.alm"}));

    b.outputHtml = 0;
    fs::remove(dir.path() / "mails/c.alm");
    ASSERT_TRUE(Run().problems.empty());
    EXPECT_EQ(IndexedKeys(), (std::vector<std::string>{"a.alm"}));
}

TEST_F(SiteSearchTest, AClassicSiteGetsNothingNew)
{
    settings.PageStyle = 0;
    AddMail("a.alm", "一", Crlf("Subject: x\n\none\n"));
    EXPECT_FALSE(Run().written);
    EXPECT_FALSE(fs::exists(dir.path() / "web/search"));
    EXPECT_FALSE(fs::exists(dir.path() / "web/search.html"));
    EXPECT_EQ(ReadFile(dir.File("web/index.html")).find("site-search"), std::string::npos);
}

TEST_F(SiteSearchTest, ASiteBackInTheClassicStyleLosesItsSearchButNotTheUsersFiles)
{
    AddMail("a.alm", "一", Crlf("Subject: x\n\none\n"));
    ASSERT_TRUE(Run().problems.empty());
    settings.PageStyle = 0;
    ASSERT_TRUE(Run().problems.empty());
    EXPECT_FALSE(fs::exists(dir.path() / "web/search"));
    EXPECT_FALSE(fs::exists(dir.path() / "web/search.html"));

    // A file of the user's in the folder keeps it, and an edited search
    // page stays.
    settings.PageStyle = 1;
    ASSERT_TRUE(Run().problems.empty());
    WriteFile(dir.File("web/search/notes.txt"), "mine");
    WriteFile(dir.File("web/search.html"), "edited");
    settings.PageStyle = 0;
    ASSERT_TRUE(Run().problems.empty());
    EXPECT_EQ(ReadFile(dir.File("web/search/notes.txt")), "mine");
    EXPECT_FALSE(fs::exists(dir.path() / "web/search/manifest.js"));
    EXPECT_FALSE(fs::exists(dir.path() / "web/search/.postloom-search"));
    EXPECT_EQ(ReadFile(dir.File("web/search.html")), "edited");
}

TEST_F(SiteSearchTest, APageOrIndexNamedLikeTheSearchPageKeepsItsName)
{
    settings.MailPath = "";
    AddMail("search.alm", "名前が同じ", Crlf("Subject: x\n\none\n"));
    SiteSearchResult result = Run();
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].path, dir.File("web/search.html"));
    EXPECT_NE(ReadFile(dir.File("web/search.html")).find("<body class=\"mail\">"), std::string::npos);

    settings.MailPath = "pages";
    settings.IndexPath = "web/search.html";
    result = Run();
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].reason, "the name is taken by the index page");
    EXPECT_NE(ReadFile(dir.File("web/search.html")).find("<body class=\"index\">"), std::string::npos);
}

TEST_F(SiteSearchTest, AFileWhereTheSearchFolderGoesIsAProblem)
{
    AddMail("a.alm", "一", Crlf("Subject: x\n\none\n"));
    WriteFile(dir.File("web/search"), "in the way");
    const SiteSearchResult result = Run();
    ASSERT_FALSE(result.problems.empty());
    EXPECT_EQ(result.problems.front().path, dir.File("web/search"));
    EXPECT_EQ(ReadFile(dir.File("web/search")), "in the way");
}

TEST(SearchBodyTextTest, TheTextIsTheBodyAsThePageShowsIt)
{
    // Headers up to the first empty line go, CR LF reads as LF, a lone CR
    // stays, and a 0x1A byte ends the text.
    EXPECT_EQ(PlainBodyLines("Subject: a\r\nX: b\r\n\r\nline 1\r\nline\r2\n\x1Agone"), "line 1\nline\r2\n");
    EXPECT_EQ(PlainBodyLines("Subject: only a header\r\n"), "");
    EXPECT_EQ(SearchBodyText(Sjis("Subject: a\n\n東京 <taro@example.jp>\n"), "a.html", false, AddressHiding::Masked),
              "東京 <taro@…>\n");
    EXPECT_EQ(SearchBodyText(Sjis("Subject: a\n\n東京\n"), "a.html", false, AddressHiding::Shown), "東京\n");

    const std::string mime = "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
                             "Content-Transfer-Encoding: base64\r\n\r\n"
                             "5paw5bm557ea\r\n";  // 新幹線
    EXPECT_EQ(SearchBodyText(mime, "m.html", true, AddressHiding::Shown).find("新幹線"), 0u);
    EXPECT_NE(SearchBodyText(mime, "m.html", false, AddressHiding::Shown).find("5paw5bm557ea"), std::string::npos);
}

}  // namespace
}  // namespace postloom
