#include "core/html/mail_page_writer.h"

#include "core/html/text_helpers.h"
#include "core/platform/output_file.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <thread>
#include <vector>

namespace postloom {
namespace {

namespace fs = std::filesystem;
using test::Crlf;
using test::ReadFile;
using test::Sjis;
using test::TempDir;
using test::WriteFile;

// Records every report and the thread it came from.
class RecordingProgress final : public JobProgress {
public:
    void SetRange(int, int) override {}
    void Report(int position) override
    {
        positions.push_back(position);
        if (std::this_thread::get_id() != caller)
            fromOtherThread = true;
        if (stopAt != 0 && position == stopAt && stop != nullptr)
            stop->store(true);
    }
    std::vector<int> positions;
    std::thread::id caller = std::this_thread::get_id();
    bool fromOtherThread = false;
    int stopAt = 0;
    StopFlag* stop = nullptr;
};

std::vector<int> OneTo(int n)
{
    std::vector<int> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = i + 1;
    return v;
}

// A project in a temporary folder: mails in "mails", the index in "web",
// every settings path relative to the project folder.
class MailPageTest : public ::testing::Test {
protected:
    MailPageTest()
    {
        settings.Reset();
        settings.TargetPath = "mails";
        settings.IndexPath = "web/index.html";
        fs::create_directories(dir.path() / "mails");
        fs::create_directories(dir.path() / "web");
    }

    // Adds a mail and writes its archive file (CR LF line ends).
    MailRecord& AddMail(const std::string& fileName, const std::string& subject, std::string_view body = "body\n")
    {
        auto mail = std::make_unique<MailRecord>();
        mail->fileName = fileName;
        mail->subject = subject;
        mail->from = "Taro <taro@example.jp>";
        WriteFile(Archive(fileName), Crlf("From: Taro <taro@example.jp>\nSubject: " + subject + "\n\n") + Crlf(body));
        settings.mailList.push_back(std::move(mail));
        return *settings.mailList.back();
    }

    // Makes children the replies of parent, in this order.
    static void Link(MailRecord& parent, std::initializer_list<MailRecord*> children)
    {
        MailRecord* previous = nullptr;
        for (MailRecord* child : children) {
            child->parent = &parent;
            child->prevSibling = previous;
            if (previous != nullptr)
                previous->nextSibling = child;
            else
                parent.firstChild = child;
            previous = child;
        }
    }

    std::string Archive(std::string_view name) const { return dir.File("mails/" + std::string(name)); }
    std::string Page(std::string_view name) const { return dir.File("web/" + std::string(name)); }
    bool PageExists(std::string_view name) const { return fs::exists(Page(name)); }

    MailPageResult Run(unsigned threads = 1)
    {
        progress.positions.clear();
        return WriteMailPages(settings, dir.path().string(), progress, stop, MailPageOptions{threads});
    }

    TempDir dir;
    ProjectSettings settings;
    RecordingProgress progress;
    StopFlag stop{false};
};

const std::string kHead = "<!-- Created Postloom Ver.1.00 by Quillwright-->\n<HTML>\n<HEAD>\n<TITLE>";

TEST_F(MailPageTest, PlainStandardPageIsHeadBodyTagBodyLinesAndClosingTags)
{
    AddMail("00012.alm", "A&B",
            Sjis("> quoted <addr>\n日本語の本文\n   \nlast line"));
    const MailPageResult result = Run();
    EXPECT_EQ(result.pagesWritten, 1);
    EXPECT_EQ(ReadFile(Page("00012.html")),
              Crlf(kHead + "A&amp;B</TITLE>\n</HEAD>\n<BODY>\n&gt; quoted &lt;addr&gt;<BR>\n" +
                   Sjis("日本語の本文") + "<BR>\n   <BR>\nlast line<BR>\n</BODY>\n</HTML>\n"));
}

TEST_F(MailPageTest, HiddenAddressesReachTitleSubjectLineAndBodyAndRewriteThePage)
{
    settings.OutFrom = 1;
    settings.FromFont = 3;
    settings.DispSubject = 1;
    MailRecord& mail = AddMail("00001.alm", "Re: taro@example.jp",
                               Sjis("山田 <taro@example.jp> さんは書きました:\n> hanako@example.jp\n"));
    mail.from = "taro@example.jp";
    ASSERT_EQ(Run().pagesWritten, 1);
    settings.HideAddresses = 1;
    ASSERT_EQ(Run().pagesWritten, 1);
    const std::string masked = Sjis("Re: taro@… &lt;taro@…&gt;");
    EXPECT_EQ(ReadFile(Page("00001.html")),
              Crlf(kHead + masked + "</TITLE>\n</HEAD>\n<BODY>\nSubject: " + masked + "<BR>\n<HR>\n" +
                   Sjis("山田 &lt;taro@…&gt; さんは書きました:<BR>\n&gt; hanako@…<BR>\n") + "</BODY>\n</HTML>\n"));
    settings.HideAddresses = 2;
    ASSERT_EQ(Run().pagesWritten, 1);
    EXPECT_NE(ReadFile(Page("00001.html"))
                  .find(Crlf(Sjis("<BR>\n<HR>\n山田 さんは書きました:<BR>\n&gt; (アドレス非表示)<BR>\n"))),
              std::string::npos);
}

TEST_F(MailPageTest, StandardPagePiecesComeInTheirOrder)
{
    MailRecord& parent = AddMail("p.alm", "P");
    MailRecord& mail = AddMail("m.alm", "S");
    Link(parent, {&mail});
    WriteFile(dir.File("head.txt"), "<B>head</B>\r\nno line end");
    WriteFile(dir.File("foot.txt"), "foot\r\n");
    settings.MailHeader = 1;
    settings.MailHeaderFile = "head.txt";
    settings.MailFooter = 1;
    settings.MailFooterFile = "foot.txt";
    settings.MailBaseFont = 1;
    settings.MailBaseFontSize = 4;
    settings.DispLink = 1;
    settings.DispSubject = 1;
    const MailPageResult result = Run();
    EXPECT_FALSE(result.headerMissing);
    EXPECT_FALSE(result.footerMissing);
    EXPECT_EQ(ReadFile(Page("m.html")),
              Crlf(kHead + "S</TITLE>\n</HEAD>\n<BODY>\n"
                           "\n<!-- Begin of Included Header File -->\n\n<B>head</B>\nno line end\n"
                           "\n<!-- End of Included Header File -->\n\n"
                           "<BASEFONT SIZE=4>\n"
                           "<CENTER>\n<A HREF=index.html>[TOP]</A><BR><A HREF=p.html>" +
                   Sjis("[親ﾒｰﾙ]</A>[子ﾒｰﾙ][次ﾒｰﾙ][前ﾒｰﾙ]") +
                   "<HR>\n</CENTER>\n"
                   "Subject: S<BR>\n<HR>\n"
                   "body<BR>\n"
                   "\n<!-- Begin of Included Footer File -->\n\nfoot\n\n<!-- End of Included Footer File -->\n\n"
                   "</BODY>\n</HTML>\n"));
}

TEST_F(MailPageTest, IncludeThatCannotBeReadIsLeftOutAndReported)
{
    AddMail("m.alm", "S");
    settings.MailHeader = 1;
    settings.MailHeaderFile = "missing.txt";
    settings.MailFooter = 1;
    settings.MailFooterFile = "mails";  // a folder
    const MailPageResult result = Run();
    EXPECT_TRUE(result.headerMissing);
    EXPECT_TRUE(result.footerMissing);
    EXPECT_EQ(ReadFile(Page("m.html")), Crlf(kHead + "S</TITLE>\n</HEAD>\n<BODY>\nbody<BR>\n</BODY>\n</HTML>\n"));
}

TEST_F(MailPageTest, LinkBarLinksOnlyToPagesOnTheSite)
{
    MailRecord& parent = AddMail("p.alm", "P");
    MailRecord& a = AddMail("a.alm", "A");
    MailRecord& b = AddMail("b.alm", "B");
    MailRecord& c = AddMail("c.alm", "C");
    MailRecord& d = AddMail("d.alm", "D");
    Link(parent, {&a, &b, &c});
    Link(b, {&d});
    parent.outputHtml = 0;  // the parent: plain text in its children's bars
    a.outputHtml = 0;       // the first child: plain text in the parent's bar
    settings.DispLink = 1;
    settings.MailPath = "mail";
    fs::create_directories(dir.path() / "web/mail");
    Run();
    const auto bar = [&](std::string_view name) {
        const std::string page = ReadFile(dir.File("web/mail/" + std::string(name)));
        const std::size_t begin = page.find("<CENTER>");
        return page.substr(begin, page.find("</CENTER>") - begin);
    };
    EXPECT_FALSE(fs::exists(dir.File("web/mail/p.html")));
    EXPECT_EQ(bar("b.html"), Crlf("<CENTER>\n<A HREF=../index.html>[TOP]</A><BR>" +
                                  Sjis("[親ﾒｰﾙ]<A HREF=d.html>[子ﾒｰﾙ]</A><A HREF=c.html>[次ﾒｰﾙ]</A>[前ﾒｰﾙ]") +
                                  "<HR>\n"));
    EXPECT_EQ(bar("c.html"), Crlf("<CENTER>\n<A HREF=../index.html>[TOP]</A><BR>" +
                                  Sjis("[親ﾒｰﾙ][子ﾒｰﾙ][次ﾒｰﾙ]<A HREF=b.html>[前ﾒｰﾙ]</A>") + "<HR>\n"));
    EXPECT_EQ(bar("d.html"), Crlf("<CENTER>\n<A HREF=../index.html>[TOP]</A><BR><A HREF=b.html>" +
                                  Sjis("[親ﾒｰﾙ]</A>[子ﾒｰﾙ][次ﾒｰﾙ][前ﾒｰﾙ]") + "<HR>\n"));
}

TEST_F(MailPageTest, LinksAreEncodedSoANameCannotBreakTheMarkup)
{
    MailRecord& parent = AddMail("a\"b<c>&d.alm", "P");
    MailRecord& mail = AddMail("m.alm", "S");
    Link(parent, {&mail});
    settings.DispLink = 1;
    Run();
    EXPECT_TRUE(PageExists("a\"b<c>&d.html"));
    EXPECT_NE(ReadFile(Page("m.html")).find("<A HREF=a%22b%3Cc%3E%26d.html>"), std::string::npos);
}

TEST_F(MailPageTest, ArchiveBodyStartsAfterTheFirstEmptyLine)
{
    MailRecord& none = AddMail("none.alm", "N");
    WriteFile(Archive(none.fileName), "Subject: N\r\nX-Long: a\r\n  b\r\n");
    MailRecord& first = AddMail("first.alm", "F");
    WriteFile(Archive(first.fileName), "\r\nline\r\n\r\nafter\x1a ignored");
    Run();
    EXPECT_EQ(ReadFile(Page("none.html")), Crlf(kHead + "N</TITLE>\n</HEAD>\n<BODY>\n</BODY>\n</HTML>\n"));
    EXPECT_EQ(ReadFile(Page("first.html")),
              Crlf(kHead + "F</TITLE>\n</HEAD>\n<BODY>\nline<BR>\n<BR>\nafter<BR>\n</BODY>\n</HTML>\n"));
}

TEST_F(MailPageTest, EveryMailAdvancesTheProgressAndSwitchedOffMailsGetNoPage)
{
    AddMail("a.alm", "A");
    AddMail("b.alm", "B").outputHtml = 0;
    AddMail("c.alm", "C");
    const MailPageResult result = Run();
    EXPECT_EQ(progress.positions, OneTo(3));
    EXPECT_EQ(result.pagesWritten, 2);
    EXPECT_EQ(result.pagesSwitchedOff, 1);
    EXPECT_FALSE(PageExists("b.html"));
}

TEST_F(MailPageTest, UnknownCreateTypeWritesNothingAndReportsNothing)
{
    AddMail("a.alm", "A");
    settings.MailCreateType = 2;
    const MailPageResult result = Run();
    EXPECT_TRUE(progress.positions.empty());
    EXPECT_EQ(result.pagesWritten, 0);
    EXPECT_FALSE(PageExists("a.html"));
}

TEST_F(MailPageTest, TemplatePageReplacesInsertTagsOnly)
{
    MailRecord& parent = AddMail("p.alm", "P");
    MailRecord& mail = AddMail("m.alm", "S<1>", "x & y\n");
    MailRecord& child = AddMail("c.alm", "C");
    Link(parent, {&mail});
    Link(mail, {&child});
    child.outputHtml = 0;  // no page: its tag writes nothing
    WriteFile(dir.File("t.html"), "<HTML><TITLE><Postloom Subject></TITLE>\r\n"
                                  "x<A HREF=Postloom Parent>up</A>y <A HREF=Postloom Child>down</A> "
                                  "<A HREF=Postloom Next>n</A> <A HREF=Postloom Index>top</A>\r\n"
                                  "<postloom body><Postloom Body></HTML>");
    settings.MailCreateType = 1;
    settings.MailTemplateFile = "t.html";
    settings.DispLink = 1;  // no effect on template pages
    const MailPageResult result = Run();
    EXPECT_EQ(result.pagesWritten, 2);
    EXPECT_EQ(ReadFile(Page("m.html")),
              Crlf("<HTML><TITLE>S&lt;1&gt;</TITLE>\n"
                   "x<A HREF=p.html>up</A>y down</A> n</A> <A HREF=index.html>top</A>\n"
                   "<postloom body>x &amp; y<BR>\n</HTML>"));
    EXPECT_EQ(ReadFile(Page("p.html")).substr(0, 27), Crlf("<HTML><TITLE>P</TITLE>\nxup"));
}

TEST_F(MailPageTest, TemplateThatCannotBeReadLeavesEveryPageAsItWas)
{
    AddMail("a.alm", "A");
    AddMail("b.alm", "B");
    WriteFile(Page("a.html"), "old page");
    settings.MailCreateType = 1;
    settings.MailTemplateFile = "missing.html";
    const MailPageResult result = Run(2);
    EXPECT_TRUE(result.templateMissing);
    EXPECT_EQ(result.pagesWritten, 0);
    EXPECT_EQ(ReadFile(Page("a.html")), "old page");
    EXPECT_FALSE(PageExists("b.html"));
}

TEST_F(MailPageTest, ArchiveThatCannotBeReadLeavesAnExistingPageAsItWas)
{
    AddMail("gone.alm", "G");
    AddMail("dir.alm", "D");
    AddMail("ok.alm", "O");
    fs::remove(Archive("gone.alm"));
    fs::remove(Archive("dir.alm"));
    fs::create_directory(Archive("dir.alm"));
    WriteFile(Page("dir.html"), "old page");
    const MailPageResult result = Run();
    EXPECT_EQ(result.archivesGone, std::vector<std::string>{"gone.alm"});
    EXPECT_TRUE(result.missingArchives.empty());
    const std::vector<platform::FileProblem> unreadable{{"dir.alm", "is a folder or a special file"}};
    EXPECT_EQ(result.unreadableArchives, unreadable);
    EXPECT_EQ(result.pagesWritten, 1);
    EXPECT_FALSE(PageExists("gone.html"));
    EXPECT_EQ(ReadFile(Page("dir.html")), "old page");
}

TEST_F(MailPageTest, UnusableStoredNamesAreNeverReadNorWritten)
{
    fs::create_directories(dir.path() / "evil");
    WriteFile(dir.File("evil.alm"), "Subject: x\r\n\r\nsecret\r\n");
    for (const char* name : {"../evil.alm", "", ".", ".."}) {
        auto mail = std::make_unique<MailRecord>();
        mail->fileName = name;
        settings.mailList.push_back(std::move(mail));
    }
    const MailPageResult result = Run();
    EXPECT_EQ(result.unusableFileNames, (std::vector<std::string>{"../evil.alm", "", ".", ".."}));
    EXPECT_EQ(result.pagesWritten, 0);
    EXPECT_EQ(progress.positions, OneTo(4));
    EXPECT_FALSE(fs::exists(dir.File("evil.html")));
    EXPECT_FALSE(PageExists(".html"));
}

TEST_F(MailPageTest, PageNeverOverwritesAnArchiveInTheSameFolder)
{
    settings.IndexPath = "mails/index.html";
    AddMail("x.html", "archive named like a page");
    AddMail("x.alm", "X");
    AddMail("y.alm", "Y");
    const std::string archive = ReadFile(Archive("x.html"));
    const MailPageResult result = Run();
    // Both mails would write x.html: the first over itself, the second over the first's archive.
    EXPECT_EQ(result.pagesClashingWithArchives, (std::vector<std::string>{Archive("x.html"), Archive("x.html")}));
    EXPECT_EQ(ReadFile(Archive("x.html")), archive);
    EXPECT_TRUE(fs::exists(Archive("y.html")));
}

TEST_F(MailPageTest, PageThatCannotBeCreatedIsReported)
{
    AddMail("a.alm", "A");
    settings.MailPath = "missing";
    const MailPageResult result = Run();
    const std::vector<platform::FileProblem> notWritten{{dir.File("web/missing/a.html"), "No such file or directory"}};
    EXPECT_EQ(result.pagesNotWritten, notWritten);
    EXPECT_EQ(result.pagesWritten, 0);
}

TEST_F(MailPageTest, LaterMailWinsASharedPageNameUnlessItsArchiveIsMissing)
{
    AddMail("a.x", "first");
    AddMail("a.y", "second");
    AddMail("b.x", "kept");
    AddMail("b.y", "lost");
    fs::remove(Archive("b.y"));
    for (const unsigned threads : {1u, 2u}) {
        Run(threads);
        EXPECT_NE(ReadFile(Page("a.html")).find("<TITLE>second<"), std::string::npos);
        EXPECT_NE(ReadFile(Page("b.html")).find("<TITLE>kept<"), std::string::npos);
        fs::remove(Page("a.html"));
        fs::remove(Page("b.html"));
    }
}

// A page that already holds the later mail's bytes is still written over
// by the earlier mail and then again by the later one: a page built ahead
// must not be taken as unchanged while an earlier mail is yet to write it.
TEST_F(MailPageTest, ASharedPageThatAlreadyHoldsTheLaterMailsBytesEndsWithThem)
{
    for (int i = 0; i < 40; ++i) {
        AddMail("p" + std::to_string(i) + ".x", "first" + std::to_string(i));
        AddMail("p" + std::to_string(i) + ".y", "second" + std::to_string(i));
    }
    Run(1);
    for (const unsigned threads : {2u, 3u}) {
        Run(threads);
        for (int i = 0; i < 40; ++i) {
            const std::string page = ReadFile(Page("p" + std::to_string(i) + ".html"));
            EXPECT_NE(page.find("<TITLE>second" + std::to_string(i) + "<"), std::string::npos) << i;
        }
    }
}

TEST_F(MailPageTest, ParallelRunReportsInOrderFromTheCallingThread)
{
    for (int i = 0; i < 300; ++i)
        AddMail(std::to_string(i) + ".alm", "S");
    const MailPageResult result = Run(3);
    EXPECT_EQ(progress.positions, OneTo(300));
    EXPECT_FALSE(progress.fromOtherThread);
    EXPECT_EQ(result.pagesWritten, 300);
}

TEST_F(MailPageTest, StopEndsTheRunBeforeTheNextMail)
{
    for (int i = 0; i < 200; ++i)
        AddMail(std::to_string(i) + ".alm", "S");
    for (const unsigned threads : {1u, 2u}) {
        progress.stop = &stop;
        progress.stopAt = 50;
        stop = false;
        const MailPageResult result = Run(threads);
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(progress.positions, OneTo(50));
        // Every mail reported before the stop is handled, none after it.
        EXPECT_EQ(result.pagesWritten, 50);
        EXPECT_TRUE(PageExists("49.html"));
        EXPECT_FALSE(PageExists("50.html"));
        for (int i = 0; i < 50; ++i)
            fs::remove(Page(std::to_string(i) + ".html"));
    }
}

// A page is built in memory ahead of its writing only for an archive of
// up to 256 KB; a larger one is built while it is written. Both give
// the whole page, the same in every run shape, and a second run finds it
// unchanged.
TEST_F(MailPageTest, PagesOfLargeArchivesAreWholeAndTheSameInEveryRunShape)
{
    const std::string line = "a<b & \"c\"\n";
    constexpr int kLines = 150000;  // about 1.6 MB of archive
    std::string body;
    for (int i = 0; i < kLines; ++i)
        body += line;
    AddMail("big.alm", "big", body);
    AddMail("small.alm", "small");
    std::string first;
    for (const unsigned threads : {1u, 2u}) {
        fs::remove_all(dir.path() / "web");
        fs::create_directories(dir.path() / "web");
        const MailPageResult result = Run(threads);
        EXPECT_EQ(result.pagesWritten, 2);
        const std::string page = ReadFile(Page("big.html"));
        std::size_t lines = 0;
        for (std::size_t at = page.find("a&lt;b &amp; &quot;c&quot;<BR>\r\n"); at != std::string::npos;
             at = page.find("a&lt;b &amp; &quot;c&quot;<BR>\r\n", at + 1))
            ++lines;
        EXPECT_EQ(lines, static_cast<std::size_t>(kLines));
        EXPECT_TRUE(page.ends_with("</BODY>\r\n</HTML>\r\n"));
        if (threads == 1)
            first = page;
        else
            EXPECT_EQ(page, first);
    }
    const MailPageResult again = Run(2);
    EXPECT_EQ(again.pagesUnchanged, 2);
    EXPECT_EQ(again.pagesWritten, 0);
}

// Every file of a folder with its bytes; the site record, which holds the
// times of the files, only by its page lines without the times.
std::map<std::string, std::string> Snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string bytes = ReadFile(entry.path().string());
        if (entry.path().filename() == ".postloom-site") {
            std::string pages;
            for (std::size_t at = 0; at < bytes.size();) {
                const std::size_t end = bytes.find('\n', at);
                const std::string line = bytes.substr(at, end - at);
                if (line.starts_with("page "))
                    pages += line.substr(0, line.find(' ', line.find(' ', 5) + 1)) + "\n";
                at = end + 1;
            }
            bytes = pages;
        }
        files[entry.path().filename().string()] = bytes;
    }
    return files;
}

TEST_F(MailPageTest, ParallelWritingGivesTheSameFilesAsSequentialWriting)
{
    std::mt19937 random(20261208);
    settings.DispLink = 1;
    settings.DispSubject = 1;
    for (int round = 0; round < 3; ++round) {
        settings.mailList.clear();
        fs::remove_all(dir.path() / "mails");
        fs::create_directories(dir.path() / "mails");
        const int count = 60 + round * 40;
        for (int i = 0; i < count; ++i) {
            // Few stems and several extensions: many mails share a page name.
            const std::string name = "m" + std::to_string(random() % 25) + "." + std::to_string(i);
            MailRecord& mail = AddMail(name, "s" + std::to_string(i), "line " + std::to_string(i) + "\n");
            mail.outputHtml = random() % 5 != 0;
            if (random() % 7 == 0)
                fs::remove(Archive(name));
            if (i > 0 && random() % 2 == 0) {
                MailRecord& parent = *settings.mailList[random() % static_cast<unsigned>(i)];
                if (parent.firstChild == nullptr)
                    Link(parent, {&mail});
            }
        }
        std::map<std::string, std::string> expected;
        MailPageResult sequential;
        for (const unsigned threads : {1u, 2u, 5u}) {
            fs::remove_all(dir.path() / "web");
            fs::create_directories(dir.path() / "web");
            const MailPageResult result = Run(threads);
            const auto files = Snapshot(dir.path() / "web");
            if (threads == 1) {
                expected = files;
                sequential = result;
                continue;
            }
            EXPECT_EQ(files, expected) << "round " << round << ", " << threads << " threads";
            EXPECT_EQ(result.pagesWritten, sequential.pagesWritten);
            EXPECT_EQ(result.missingArchives, sequential.missingArchives);
            EXPECT_EQ(result.pagesSwitchedOff, sequential.pagesSwitchedOff);
        }
    }
}

}  // namespace
}  // namespace postloom

namespace postloom {
namespace {

TEST_F(MailPageTest, PageNeverReplacesTheIndexPageOrAGraphicCopy)
{
    // Page folder and index folder are one: "index.alm" would get index.html.
    WriteFile(Page("index.html"), "the index");
    WriteFile(dir.File("tree.html"), "a tree graphic");
    settings.DrawGraphic = 1;
    settings.FirstTree = "tree.html";
    AddMail("index.alm", "I");
    AddMail("tree.alm", "T");
    AddMail("fine.alm", "F");
    const MailPageResult result = Run();
    ASSERT_EQ(result.pageNameClashes.size(), 2u);
    EXPECT_EQ(result.pageNameClashes[0].mailFile, "index.alm");
    EXPECT_EQ(result.pageNameClashes[0].pagePath, Page("index.html"));
    EXPECT_EQ(result.pageNameClashes[0].laterMailFile, "");
    EXPECT_EQ(result.pageNameClashes[1].mailFile, "tree.alm");
    EXPECT_EQ(ReadFile(Page("index.html")), "the index");
    EXPECT_FALSE(PageExists("tree.html"));
    EXPECT_EQ(result.pagesWritten, 1);
}

TEST_F(MailPageTest, MailsSharingAPageNameAreReportedByName)
{
    settings.ToLower = 1;
    AddMail("X.alm", "upper");
    AddMail("x.alm", "lower");
    AddMail("a.alm", "alm");
    AddMail("a.txt", "txt");
    const MailPageResult result = Run();
    ASSERT_EQ(result.pageNameClashes.size(), 2u);
    EXPECT_EQ(result.pageNameClashes[0].mailFile, "X.alm");
    EXPECT_EQ(result.pageNameClashes[0].laterMailFile, "x.alm");
    EXPECT_EQ(result.pageNameClashes[0].pagePath, Page("x.html"));
    EXPECT_EQ(result.pageNameClashes[1].mailFile, "a.alm");
    EXPECT_EQ(result.pageNameClashes[1].laterMailFile, "a.txt");
    // The later mail still has the page.
    EXPECT_NE(ReadFile(Page("x.html")).find("<TITLE>lower<"), std::string::npos);
    EXPECT_NE(ReadFile(Page("a.html")).find("<TITLE>txt<"), std::string::npos);
}

TEST_F(MailPageTest, RerunRewritesOnlyThePagesWhoseBytesChange)
{
    settings.DispLink = 1;
    MailRecord& start = AddMail("a.alm", "A");
    AddMail("b.alm", "B");
    AddMail("c.alm", "C");
    EXPECT_EQ(Run().pagesWritten, 3);
    for (const char* page : {"a.html", "b.html", "c.html"}) {
        const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, Page(page).c_str(), old, 0), 0);
    }

    MailPageResult again = Run();
    EXPECT_EQ(again.pagesWritten, 0);
    EXPECT_EQ(again.pagesUnchanged, 3);

    // A new reply changes the link bar of its parent and nothing else.
    MailRecord& reply = AddMail("d.alm", "D");
    Link(start, {&reply});
    again = Run();
    EXPECT_EQ(again.pagesWritten, 2);
    EXPECT_EQ(again.pagesUnchanged, 2);
    EXPECT_NE(fs::last_write_time(Page("a.html")), fs::last_write_time(Page("b.html")));
    EXPECT_EQ(fs::last_write_time(Page("b.html")), fs::last_write_time(Page("c.html")));
}

TEST_F(MailPageTest, SymbolicLinkWherePageGoesIsReplacedNotFollowed)
{
    const TempDir elsewhere;
    WriteFile(elsewhere.File("target"), "outside the site");
    fs::create_symlink(elsewhere.File("target"), Page("a.html"));
    AddMail("a.alm", "A");
    EXPECT_EQ(Run().pagesWritten, 1);
    EXPECT_EQ(ReadFile(elsewhere.File("target")), "outside the site");
    EXPECT_FALSE(fs::is_symlink(Page("a.html")));
}

TEST_F(MailPageTest, PageThatCannotBeWrittenKeepsTheOldPageAndGivesTheReason)
{
    AddMail("a.alm", "A", std::string(400 * 1024, 'x') + "\n");
    WriteFile(Page("a.html"), "the old page");
    platform::SetWriteFaultForTesting(1000, ENOSPC);
    const MailPageResult result = Run();
    platform::ClearWriteFaultForTesting();
    const std::vector<platform::FileProblem> expected{{Page("a.html"), "No space left on device"}};
    EXPECT_EQ(result.pagesNotWritten, expected);
    EXPECT_EQ(ReadFile(Page("a.html")), "the old page");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path() / "web"), fs::directory_iterator{}), 1)
        << "no temporary file is left beside the old page";
}

TEST_F(MailPageTest, LargeMailPageIsTheSameWrittenInPieces)
{
    // Over a megabyte of escaped text with line ends across every piece
    // boundary the writer uses.
    std::string body;
    for (int i = 0; body.size() < 1500 * 1024; ++i)
        body += std::string(static_cast<std::size_t>(i % 977), i % 2 != 0 ? '<' : 'a') + "\n";
    AddMail("big.alm", "Big", body);
    ASSERT_EQ(Run().pagesWritten, 1);
    std::string expectedBody;
    for (std::size_t start = 0; start < body.size();) {
        const std::size_t lf = body.find('\n', start);
        expectedBody += EscapeHtml(body.substr(start, lf - start)) + "<BR>\n";
        start = lf + 1;
    }
    EXPECT_EQ(ReadFile(Page("big.html")),
              Crlf(kHead + "Big</TITLE>\n</HEAD>\n<BODY>\n" + expectedBody + "</BODY>\n</HTML>\n"));
}

}  // namespace
}  // namespace postloom
