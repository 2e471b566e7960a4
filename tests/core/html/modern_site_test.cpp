// A site in the modern style: UTF-8 HTML5 pages linking one stylesheet,
// with the same page names as the classic site, so that a project can
// switch between the styles and every old address still leads to its page.

#include "core/html/index_page_writer.h"
#include "core/html/mail_page_writer.h"
#include "core/html/modern/stylesheet.h"
#include "core/html/site_record.h"
#include "core/text/codec.h"

#include "core/platform/job_control.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

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
class ModernSiteTest : public ::testing::Test {
protected:
    ModernSiteTest()
    {
        settings.Reset();
        settings.TargetPath = "mails";
        settings.IndexPath = "web/index.html";
        settings.MailPath = "pages";
        settings.MailExt = "*.*";
        settings.DispLink = 1;
        settings.DispSubject = 1;
        settings.DispIndexTitle = 1;
        settings.OutDate = 1;
        settings.OutFrom = 1;
        fs::create_directories(dir.path() / "mails");
        fs::create_directories(dir.path() / "web" / "pages");
        project = tree.Insert("project", 2, 0, kNoItem, ThreadTree::Place::Last);
    }

    MailRecord& AddMail(const std::string& fileName, const std::string& subject, const std::string& file,
                        MailRecord* parent = nullptr)
    {
        auto mail = std::make_unique<MailRecord>();
        mail->fileName = fileName;
        mail->subject = Sjis(subject);
        mail->from = Sjis("山田 太郎 <taro@example.jp>");
        mail->date = 1081126800;
        WriteFile(dir.File("mails/" + fileName), file);
        mail->parent = parent;
        MailRecord& added = *mail;
        settings.mailList.push_back(std::move(mail));
        const auto index = static_cast<std::uint32_t>(settings.mailList.size() - 1);
        const TreeItem under = parent == nullptr ? project : items.at(parent);
        items[&added] = tree.Insert(fileName, 0, index, under, ThreadTree::Place::Last);
        if (parent != nullptr && parent->firstChild == nullptr)
            parent->firstChild = &added;
        return added;
    }

    MailPageResult Run()
    {
        const SitePlan plan(settings, dir.path().string());
        NoProgress progress;
        index = WriteIndexPage(settings, dir.path().string(), plan, tree, progress);
        StopFlag stop{false};
        return WriteMailPages(settings, dir.path().string(), plan, progress, stop, {.threads = 2});
    }

    std::string Web(const std::string& name) const { return dir.File("web/" + name); }

    TempDir dir;
    ProjectSettings settings;
    ThreadTree tree;
    TreeItem project = kNoItem;
    std::map<const MailRecord*, TreeItem> items;
    IndexPageResult index;
};

TEST_F(ModernSiteTest, PagesAreUtf8Html5LinkingTheStylesheet)
{
    settings.PageStyle = 1;
    MailRecord& first = AddMail("a.alm", "開設のお知らせ",
                                Crlf(Sjis("Subject: x\n\nこんにちは。\n> 引用です\n詳細はhttp://example.jp/を。\n")));
    AddMail("b.alm", "Re: 開設のお知らせ", Crlf("Subject: y\n\nreply\n"), &first);
    const MailPageResult result = Run();
    ASSERT_EQ(result.pagesWritten, 2);
    ASSERT_TRUE(index.written);
    EXPECT_FALSE(index.stylesheetNotWritten);

    const std::string page = ReadFile(Web("pages/a.html"));
    EXPECT_TRUE(text::IsValidUtf8(page));
    EXPECT_TRUE(page.starts_with("<!DOCTYPE html>\r\n<html lang=\"ja\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"));
    EXPECT_NE(page.find("<link rel=\"stylesheet\" href=\"../postloom.css\">"), std::string::npos);
    EXPECT_NE(page.find("<h1>開設のお知らせ</h1>"), std::string::npos);
    EXPECT_NE(page.find("<dd><span class=\"sender\">山田 太郎</span></dd>"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"../index.html\">インデックスへ</a>"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"b.html\">最初の返信</a>"), std::string::npos);
    EXPECT_NE(page.find("<div class=\"mail-body\">こんにちは。\r\n<span class=\"quote\">&gt; 引用です</span>\r\n"
                        "詳細は<a href=\"http://example.jp/\" rel=\"nofollow noopener\">http://example.jp/</a>を。"
                        "</div>"),
              std::string::npos);
    EXPECT_EQ(page.find("<BR>"), std::string::npos);
    const std::string reply = ReadFile(Web("pages/b.html"));
    EXPECT_NE(reply.find("<a href=\"a.html\" rel=\"up\">親メール</a>"), std::string::npos);

    const std::string indexPage = ReadFile(Web("index.html"));
    EXPECT_TRUE(text::IsValidUtf8(indexPage));
    EXPECT_NE(indexPage.find("<link rel=\"stylesheet\" href=\"postloom.css\">"), std::string::npos);
    EXPECT_NE(indexPage.find("<ul class=\"threads\">\r\n<li><div class=\"entry\"><a href=\"pages/a.html\">"
                             "開設のお知らせ</a> <span class=\"meta\"><time datetime="),
              std::string::npos);
    EXPECT_NE(indexPage.find("\r\n<ul>\r\n<li><div class=\"entry\"><a href=\"pages/b.html\">"), std::string::npos);

    const std::string css = ReadFile(Web("postloom.css"));
    EXPECT_TRUE(css.starts_with("/* Postloom stylesheet, MIT licence */\n"));
    EXPECT_NE(css.find("prefers-color-scheme: dark"), std::string::npos);
    EXPECT_NE(css.find("\"Noto Sans CJK JP\""), std::string::npos);
}

TEST_F(ModernSiteTest, TheProjectsLookBecomesCustomProperties)
{
    settings.PageStyle = 1;
    settings.IndexBGColor = 1;
    settings.IndexBGColorRGB = 0x00FFFF;  // yellow, stored red first
    settings.MailLeftMarginCheck = 1;
    settings.MailLeftMargin = 24;
    settings.MailBaseFont = 1;
    settings.MailBaseFontSize = 5;
    settings.TitlePosition = 1;
    // Headings the project does not show are still there for screen readers.
    settings.DispSubject = 0;
    settings.DispIndexTitle = 0;
    AddMail("a.alm", "a", Crlf("S: a\n\nbody\n"));
    Run();
    EXPECT_NE(ReadFile(Web("pages/a.html")).find("<h1 class=\"unshown\">a</h1>"), std::string::npos);
    EXPECT_NE(ReadFile(Web("index.html")).find("<h1 class=\"unshown\">"), std::string::npos);
    const std::string css = ReadFile(Web("postloom.css"));
    EXPECT_NE(css.find("--index-title-align: center;"), std::string::npos);
    EXPECT_NE(css.find("--index-background: #FFFF00;"), std::string::npos);
    EXPECT_NE(css.find("--mail-margin-left: 24px;"), std::string::npos);
    EXPECT_NE(css.find("--mail-font-size: 1.5rem;"), std::string::npos);
    EXPECT_EQ(css.find("<"), std::string::npos);
}

TEST_F(ModernSiteTest, IncludesInEitherEncodingAndTemplatesAsTheyAre)
{
    settings.PageStyle = 1;
    settings.MailHeader = 1;
    settings.MailHeaderFile = "header.html";
    settings.MailFooter = 1;
    settings.MailFooterFile = "footer.html";
    WriteFile(dir.File("header.html"), Sjis("<p>ようこそ</p>"));
    WriteFile(dir.File("footer.html"), "<p>フッター</p>\n");
    AddMail("a.alm", "a", Crlf("S: a\n\nbody\n"));
    Run();
    const std::string page = ReadFile(Web("pages/a.html"));
    EXPECT_TRUE(text::IsValidUtf8(page));
    EXPECT_NE(page.find("<body class=\"mail\">\r\n\r\n<!-- Begin of Included Header File -->\r\n\r\n"
                        "<p>ようこそ</p>\r\n"),
              std::string::npos);
    EXPECT_NE(page.find("<p>フッター</p>\r\n"), std::string::npos);

    // The user's template is the user's own HTML, written as ever.
    settings.MailCreateType = 1;
    settings.MailTemplateFile = "mail.tpl";
    WriteFile(dir.File("mail.tpl"), Sjis("<HTML>件名: <Postloom Subject></HTML>\n"));
    Run();
    const std::string fromTemplate = ReadFile(Web("pages/a.html"));
    EXPECT_TRUE(fromTemplate.starts_with(Sjis("<HTML>件名: a 2004/"))) << fromTemplate;
    EXPECT_TRUE(fromTemplate.ends_with(Sjis(" &lt;山田 太郎 &gt;</HTML>\r\n"))) << fromTemplate;
}

TEST_F(ModernSiteTest, DecodedMailsKeepCharactersCp932CannotHold)
{
    settings.PageStyle = 1;
    settings.MimeDecode = 1;
    AddMail("a.eml", "a",
            Crlf("From: x\nSubject: a\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"sep\"\n\n"
                 "--sep\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: 8bit\n\n"
                 "emoji 😀 and 한국어 http://example.jp/\n"
                 "--sep\nContent-Type: image/png; name=\"pic.png\"\nContent-Disposition: attachment; "
                 "filename=\"pic.png\"\nContent-Transfer-Encoding: base64\n\niVBORw0KGgo=\n--sep--\n"));
    ASSERT_EQ(Run().pagesWritten, 1);
    const std::string page = ReadFile(Web("pages/a.html"));
    EXPECT_NE(page.find("emoji 😀 and 한국어 <a href=\"http://example.jp/\""), std::string::npos);
    EXPECT_EQ(page.find("&#x"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"a_files/pic.png\">pic.png</a> <span class=\"meta\">(image/png, 8 バイト)</span>"),
              std::string::npos);
    EXPECT_NE(page.find("<img src=\"a_files/pic.png\" alt=\"pic.png\""), std::string::npos);
    EXPECT_TRUE(fs::exists(Web("pages/a_files/pic.png")));
}

TEST_F(ModernSiteTest, AddressesAreHiddenInSendersSubjectsAndBodies)
{
    settings.PageStyle = 1;
    settings.MimeDecode = 1;
    MailRecord& plain = AddMail("a.alm", "to taro@example.jp",
                                Crlf(Sjis("Subject: x\n\n山田 <taro@example.jp> wrote:\n> mail taro@example.jp\n")));
    plain.from = "taro@example.jp";
    AddMail("b.eml", "b",
            Crlf("From: x\nSubject: b\nMIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n"
                 "Content-Transfer-Encoding: 8bit\n\nask hanako@example.jp 😀\n"));
    const struct {
        std::int32_t hiding;
        std::string sender, subject, quote, decoded;
    } modes[] = {
        {1, "taro@…", "to taro@…", "山田 &lt;taro@…&gt; wrote:", "ask hanako@… 😀"},
        {2, "(アドレス非表示)", "to (アドレス非表示)", "山田 wrote:", "ask (アドレス非表示) 😀"},
    };
    for (const auto& mode : modes) {
        settings.HideAddresses = mode.hiding;
        ASSERT_EQ(Run().pagesWritten, 2);
        const std::string page = ReadFile(Web("pages/a.html"));
        const std::string indexPage = ReadFile(Web("index.html"));
        EXPECT_NE(page.find("<title>" + mode.subject), std::string::npos) << mode.hiding;
        EXPECT_NE(page.find("<h1>" + mode.subject + "</h1>"), std::string::npos) << mode.hiding;
        EXPECT_NE(page.find("<dd><span class=\"sender\">" + mode.sender + "</span></dd>"), std::string::npos);
        EXPECT_NE(page.find(mode.quote), std::string::npos) << mode.hiding;
        EXPECT_NE(indexPage.find("<span class=\"sender\">" + mode.sender + "</span>"), std::string::npos);
        EXPECT_NE(ReadFile(Web("pages/b.html")).find(mode.decoded), std::string::npos) << mode.hiding;
        for (const std::string& text : {page, indexPage, ReadFile(Web("pages/b.html"))})
            EXPECT_EQ(text.find("example.jp"), std::string::npos) << mode.hiding;
    }
}

TEST_F(ModernSiteTest, SwitchingStylesRewritesThePagesInPlace)
{
    MailRecord& first = AddMail("a.alm", "a", Crlf("S: a\n\nbody\n"));
    AddMail("b.alm", "b", Crlf("S: b\n\nreply\n"), &first);
    ASSERT_EQ(Run().pagesWritten, 2);
    const std::string classicIndex = ReadFile(Web("index.html"));
    const std::string classicPage = ReadFile(Web("pages/a.html"));
    const std::vector<std::string> classicNames = test::Names(dir.path() / "web" / "pages");
    EXPECT_FALSE(fs::exists(Web("postloom.css")));

    settings.PageStyle = 1;
    ASSERT_EQ(Run().pagesWritten, 2);
    EXPECT_EQ(test::Names(dir.path() / "web" / "pages"), classicNames);
    EXPECT_TRUE(fs::exists(Web("postloom.css")));
    const std::string modernIndex = ReadFile(Web("index.html"));
    // Every page the classic index linked is linked the same way.
    for (const std::string link : {"pages/a.html", "pages/b.html"}) {
        EXPECT_NE(classicIndex.find(link), std::string::npos) << link;
        EXPECT_NE(modernIndex.find("href=\"" + link + "\""), std::string::npos) << link;
    }
    EXPECT_EQ(Run().pagesUnchanged, 2);

    // Back to classic: the very bytes of before, and the stylesheet goes.
    settings.PageStyle = 0;
    ASSERT_EQ(Run().pagesWritten, 2);
    EXPECT_EQ(ReadFile(Web("index.html")), classicIndex);
    EXPECT_EQ(ReadFile(Web("pages/a.html")), classicPage);
    EXPECT_FALSE(fs::exists(Web("postloom.css")));
    EXPECT_EQ(test::Names(dir.path() / "web" / "pages"), classicNames);
}

TEST_F(ModernSiteTest, AStylesheetChangedByHandOrAMailOfItsNameIsLeftAlone)
{
    settings.PageStyle = 1;
    AddMail("a.alm", "a", Crlf("S: a\n\nbody\n"));
    Run();
    WriteFile(Web("postloom.css"), "body { color: red }");
    settings.PageStyle = 0;
    EXPECT_FALSE(Run().stylesheetNotRemoved);
    EXPECT_EQ(ReadFile(Web("postloom.css")), "body { color: red }");

    // Mails kept beside the index page: one of them is never overwritten.
    settings.PageStyle = 1;
    settings.TargetPath = "web";
    WriteFile(Web("postloom.css"), "S: css\n\nmail\n");
    settings.mailList.front()->fileName = "postloom.css";
    const MailPageResult result = Run();
    ASSERT_TRUE(result.stylesheetNotWritten);
    EXPECT_EQ(ReadFile(Web("postloom.css")), "S: css\n\nmail\n");
}

TEST(ModernSiteRecord, TheStylesheetIsRecordedOnlyForAModernSite)
{
    SiteRecord record{"/web/pages", {}};
    record.pages["a.html"] = RecordedPage{"a.alm", {10, 20}, "digest", {30, 40}, {}, false};
    const std::string classic = FormatSiteRecord(record);
    EXPECT_EQ(classic.find("style"), std::string::npos);
    EXPECT_EQ(ParseSiteRecord(classic), record);

    record.stylesheet = platform::FileStamp{1234, 5678};
    const std::string modern = FormatSiteRecord(record);
    EXPECT_NE(modern.find("\nstyle 1234 5678\npage "), std::string::npos);
    EXPECT_EQ(ParseSiteRecord(modern), record);
}

}  // namespace
}  // namespace postloom
