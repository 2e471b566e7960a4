#include "core/html/index_page_writer.h"

#include "support/test_support.h"

#include "core/html/output_paths.h"
#include "core/platform/output_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include <filesystem>
#include <vector>

namespace postloom {
namespace {

namespace fs = std::filesystem;
using test::Crlf;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class RecordingProgress final : public JobProgress {
public:
    void SetRange(int, int) override {}
    void Report(int position) override { positions.push_back(position); }
    std::vector<int> positions;
};

const std::string kHead = "<!-- Created Postloom Ver.1.00 by Quillwright-->\n<HTML>\n<HEAD>\n";

// An index page "web/index.html" in a temporary project folder; the tree
// has the project item and whatever the test adds below it.
class IndexPageTest : public ::testing::Test {
protected:
    IndexPageTest()
    {
        settings.Reset();
        settings.IndexPath = "web/index.html";
        settings.Title = "T";
        settings.FirstTree = "gif/F.gif";
        settings.NextTree = "gif/N.gif";
        settings.LastTree = "gif/L.gif";
        settings.ContTree = "gif/C.gif";
        settings.NullTree = "gif/E.gif";
        fs::create_directories(dir.path() / "web");
        project = tree.Insert("project", 2, 0, kNoItem, ThreadTree::Place::Last);
    }

    // A mail named name (its page name.html, its caption name), its mail
    // file and its item.
    TreeItem Add(const std::string& name, TreeItem parent = kNoItem)
    {
        auto mail = std::make_unique<MailRecord>();
        mail->fileName = name + ".alm";
        if (IsUsableFileName(mail->fileName))
            WriteFile(dir.File(mail->fileName), "Subject: " + name + "\n\n");
        mail->subject = name;
        settings.mailList.push_back(std::move(mail));
        return tree.Insert(name, 0, static_cast<std::uint32_t>(settings.mailList.size() - 1),
                           parent == kNoItem ? project : parent, ThreadTree::Place::Last);
    }
    MailRecord& MailOf(TreeItem item) { return *settings.mailList[tree.ItemData(item)]; }

    IndexPageResult Run() { return WriteIndexPage(settings, dir.path().string(), tree, progress); }
    std::string Index() const { return ReadFile(dir.File("web/index.html")); }
    // The page between the BODY tag and the closing tags.
    std::string Listing() const
    {
        const std::string page = Index();
        const std::size_t begin = page.find("<BODY>\r\n") + 8;
        return page.substr(begin, page.rfind("</BODY>") - begin);
    }

    // Thread start A with replies B and C, B with the reply D.
    void AddExampleThread()
    {
        const TreeItem a = Add("A");
        const TreeItem b = Add("B", a);
        Add("C", a);
        Add("D", b);
    }

    static std::string L(const std::string& name) { return "<A HREF=\"./" + name + ".html\">" + name + "</A><BR>\n"; }

    TempDir dir;
    ProjectSettings settings;
    ThreadTree tree;
    TreeItem project = kNoItem;
    RecordingProgress progress;
};

TEST_F(IndexPageTest, StandardPageNestsThreadsAsDefinitionLists)
{
    AddExampleThread();
    const IndexPageResult result = Run();
    EXPECT_TRUE(result.written);
    EXPECT_EQ(result.entriesWritten, 4);
    EXPECT_EQ(progress.positions, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(Index(), Crlf(kHead + "<TITLE>T</TITLE>\n</HEAD>\n<BODY>\n"
                                    "<DL>\n"
                                    "<DT>" + L("A") +
                            "  <DL>\n"
                            "  <DT>" + L("B") +
                            "    <DL>\n"
                            "    <DT>" + L("D") +
                            "    </DL>\n"
                            "  <DT>" + L("C") +
                            "  </DL>\n"
                            "</DL>\n"
                            "</BODY>\n</HTML>\n"));
}

TEST_F(IndexPageTest, DeclaredCharsetFollowsTheHeadOfAStandardPageOnly)
{
    AddExampleThread();
    settings.MetaCharset = 1;
    Run();
    EXPECT_EQ(Index().find(Crlf(kHead + "<META http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">\n"
                                        "<TITLE>T</TITLE>\n")),
              0u);

    WriteFile(dir.File("t.html"), "<HTML><HEAD></HEAD><Postloom Tree></HTML>");
    settings.IndexCreateType = 1;
    settings.IndexTemplateFile = "t.html";
    Run();
    EXPECT_EQ(Index().find("<META"), std::string::npos);
}

TEST_F(IndexPageTest, SingleThreadWithGraphicsKeepsTheContinuationColumn)
{
    AddExampleThread();
    settings.DrawGraphic = 1;
    Run();
    EXPECT_EQ(Listing(), Crlf("<IMG SRC=./F.gif>" + L("A") +
                              "<IMG SRC=./C.gif><IMG SRC=./N.gif>\n" + L("B") +
                              "<IMG SRC=./C.gif><IMG SRC=./C.gif><IMG SRC=./L.gif>\n" + L("D") +
                              "<IMG SRC=./C.gif><IMG SRC=./L.gif>\n" + L("C")));
}

TEST_F(IndexPageTest, LastThreadStartAndLastRepliesLeaveBlankColumns)
{
    Add("A");
    const TreeItem b = Add("B");
    const TreeItem c = Add("C", b);
    Add("D", c);
    Add("E", b);
    settings.DrawGraphic = 1;
    Run();
    EXPECT_EQ(Listing(), Crlf("<IMG SRC=./F.gif>" + L("A") +
                              "<IMG SRC=./L.gif>" + L("B") +
                              "<IMG SRC=./E.gif><IMG SRC=./N.gif>\n" + L("C") +
                              "<IMG SRC=./E.gif><IMG SRC=./C.gif><IMG SRC=./L.gif>\n" + L("D") +
                              "<IMG SRC=./E.gif><IMG SRC=./L.gif>\n" + L("E")));
}

TEST_F(IndexPageTest, ThreadStartWithoutPageIsLeftOutWithItsReplies)
{
    const TreeItem a = Add("A");
    Add("B", a);
    const TreeItem c = Add("C");
    const TreeItem d = Add("D", c);
    Add("E");
    Add("F");
    MailOf(a).outputHtml = 0;
    MailOf(d).outputHtml = 0;  // a reply is listed whatever its switch, without a link
    settings.DrawGraphic = 1;
    const IndexPageResult result = Run();
    EXPECT_EQ(result.entriesWritten, 4);
    EXPECT_EQ(progress.positions, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(Listing(), Crlf("<IMG SRC=./N.gif>" + L("C") +
                              "<IMG SRC=./C.gif><IMG SRC=./L.gif>\nD<BR>\n" +
                              "<IMG SRC=./N.gif>" + L("E") +
                              "<IMG SRC=./L.gif>" + L("F")));
}

TEST_F(IndexPageTest, EmptyTreeGivesAnEmptyListOrNothing)
{
    Run();
    EXPECT_EQ(Listing(), Crlf("<DL>\n</DL>\n"));
    settings.DrawGraphic = 1;
    Run();
    EXPECT_EQ(Listing(), "");
    tree.DeleteAll();  // not even the project item
    const IndexPageResult result = Run();
    EXPECT_TRUE(result.written);
    EXPECT_EQ(result.entriesWritten, 0);
}

TEST_F(IndexPageTest, NewWindowTargetAndLinksIntoTheMailFolder)
{
    const TreeItem a = Add("A");
    MailOf(a).fileName = "Q&A.alm";
    WriteFile(dir.File("Q&A.alm"), "");
    MailOf(a).subject = "<x>";
    settings.MailWindowType = 1;
    settings.MailPath = "mail";
    Run();
    EXPECT_EQ(Listing(), Crlf("<DL>\n<DT><A HREF=\"mail/Q%26A.html\" TARGET=\"new\">&lt;x&gt;</A><BR>\n</DL>\n"));
}

TEST_F(IndexPageTest, StandardPagePiecesComeInTheirOrder)
{
    Add("A");
    WriteFile(dir.File("head.txt"), "head");
    WriteFile(dir.File("foot.txt"), "foot\r\n");
    settings.Title = "A&B";
    settings.IndexHeader = 1;
    settings.IndexHeaderFile = "head.txt";
    settings.IndexFooter = 1;
    settings.IndexFooterFile = "foot.txt";
    settings.IndexBaseFont = 1;
    settings.IndexBaseFontSize = 5;
    settings.DispIndexTitle = 1;
    settings.TitleFontSize = 0;
    settings.TitlePosition = 1;
    Run();
    EXPECT_EQ(Index(), Crlf(kHead + "<TITLE>A&amp;B</TITLE>\n</HEAD>\n<BODY>\n"
                                    "\n<!-- Begin of Included Header File -->\n\nhead\n"
                                    "\n<!-- End of Included Header File -->\n\n"
                                    "<BASEFONT SIZE=5>\n"
                                    "<H1><CENTER>A&amp;B</CENTER></H1>\n"
                                    "<DL>\n<DT>" + L("A") + "</DL>\n"
                            "\n<!-- Begin of Included Footer File -->\n\nfoot\n"
                            "\n<!-- End of Included Footer File -->\n\n"
                            "</BODY>\n</HTML>\n"));
}

TEST_F(IndexPageTest, IncludeThatCannotBeReadIsLeftOutAndReported)
{
    settings.IndexHeader = 1;
    settings.IndexHeaderFile = "missing.txt";
    const IndexPageResult result = Run();
    EXPECT_TRUE(result.headerMissing);
    EXPECT_FALSE(result.footerMissing);
    EXPECT_EQ(Index(), Crlf(kHead + "<TITLE>T</TITLE>\n</HEAD>\n<BODY>\n<DL>\n</DL>\n</BODY>\n</HTML>\n"));
}

TEST_F(IndexPageTest, TemplateGetsTheListingAtItsFirstTagOrAtTheEnd)
{
    Add("A");
    settings.IndexCreateType = 1;
    settings.IndexTemplateFile = "t.html";
    WriteFile(dir.File("t.html"), "<HTML><B>x</B>\r\n<Postloom Tree>\r\n<Postloom Tree><I\r\n");
    Run();
    EXPECT_EQ(Index(), Crlf("<HTML><B>x</B>\n<DL>\n<DT>" + L("A") + "</DL>\n\n<Postloom Tree><I\n"));
    WriteFile(dir.File("t.html"), "<HTML>no tag<I");
    Run();
    EXPECT_EQ(Index(), Crlf("<HTML>no tag<I><DL>\n<DT>" + L("A") + "</DL>\n"));
}

TEST_F(IndexPageTest, TemplateThatCannotBeReadLeavesTheIndexAsItWas)
{
    Add("A");
    WriteFile(dir.File("web/index.html"), "old index");
    settings.IndexCreateType = 1;
    settings.IndexTemplateFile = "missing.html";
    const IndexPageResult result = Run();
    EXPECT_TRUE(result.templateMissing);
    EXPECT_FALSE(result.written);
    EXPECT_TRUE(progress.positions.empty());
    EXPECT_EQ(Index(), "old index");
}

TEST_F(IndexPageTest, TemplateMayBeTheIndexPageItself)
{
    Add("A");
    WriteFile(dir.File("web/index.html"), "<P>kept<Postloom Tree>");
    settings.IndexCreateType = 1;
    settings.IndexTemplateFile = "web/index.html";
    Run();
    EXPECT_EQ(Index(), Crlf("<P>kept<DL>\n<DT>" + L("A") + "</DL>\n"));
}

TEST_F(IndexPageTest, IndexThatCannotBeCreatedIsReported)
{
    Add("A");
    settings.IndexPath = "missing/index.html";
    const IndexPageResult result = Run();
    EXPECT_TRUE(result.indexNotWritable);
    EXPECT_FALSE(result.written);
    EXPECT_TRUE(progress.positions.empty());
}

TEST_F(IndexPageTest, UnknownCreateTypeWritesNothing)
{
    Add("A");
    settings.IndexCreateType = 3;
    const IndexPageResult result = Run();
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(fs::exists(dir.File("web/index.html")));
}

TEST_F(IndexPageTest, ItemNamingNoMailIsLeftOutWithItsReplies)
{
    const TreeItem a = Add("A");
    const TreeItem stray = tree.Insert("stray", 0, 999, a, ThreadTree::Place::Last);
    Add("S", stray);
    tree.Insert("stray start", 0, 1000, project, ThreadTree::Place::Last);
    Add("B");
    const IndexPageResult result = Run();
    EXPECT_EQ(result.entriesWritten, 2);
    EXPECT_EQ(Listing(), Crlf("<DL>\n<DT>" + L("A") + "  <DL>\n  </DL>\n<DT>" + L("B") + "</DL>\n"));
}

TEST_F(IndexPageTest, DeepThreadNestsToItsFullDepth)
{
    constexpr int kDepth = 1500;
    TreeItem parent = Add("m0");
    for (int i = 1; i < kDepth; ++i)
        parent = Add("m" + std::to_string(i), parent);
    Add("last");  // a second thread start after the deep one
    settings.DrawGraphic = 1;
    const IndexPageResult result = Run();
    EXPECT_EQ(result.entriesWritten, kDepth + 1);
    const std::string listing = Listing();
    // The deepest reply: column 0 continues, every deeper column is blank.
    std::string deepest = "<IMG SRC=./C.gif>";
    for (int i = 1; i < kDepth - 1; ++i)
        deepest += "<IMG SRC=./E.gif>";
    deepest += "<IMG SRC=./L.gif>\r\n" + Crlf(L("m" + std::to_string(kDepth - 1)));
    EXPECT_NE(listing.find(deepest), std::string::npos);
    EXPECT_TRUE(listing.ends_with(Crlf("<IMG SRC=./L.gif>" + L("last"))));
}

TEST_F(IndexPageTest, NameThatNamesNoFileGetsItsCaptionWithoutALink)
{
    const TreeItem a = Add("A");
    const TreeItem up = Add("up", a);
    const TreeItem dot = Add("dot", a);
    const TreeItem slash = Add("slash", a);
    const TreeItem backslash = Add("back", a);
    MailOf(up).fileName = "../../../x.alm";
    MailOf(dot).fileName = ".";
    MailOf(slash).fileName = "";
    MailOf(backslash).fileName = "a\\b.alm";  // an ordinary name on Linux
    WriteFile(dir.File("a\\b.alm"), "");
    EXPECT_TRUE(Run().written);
    const std::string listing = Listing();
    EXPECT_EQ(listing.find("../"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("pages/.html"), std::string::npos) << listing;
    EXPECT_NE(listing.find("<DT>up<BR>\r\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("<DT>dot<BR>\r\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("<DT>slash<BR>\r\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("<A HREF=\"./a%5Cb.html\">back</A>"), std::string::npos) << listing;
}

TEST_F(IndexPageTest, MailsWithoutAPageOnTheSiteGetTheirCaptionWithoutALink)
{
    const TreeItem a = Add("A");
    Add("gone", a);
    Add("a", a);
    Add("b", a);
    fs::remove(dir.File("gone.alm"));
    // "a.txt" is later in the list and takes the page name a.html.
    auto later = std::make_unique<MailRecord>();
    later->fileName = "a.txt";
    later->subject = "later";
    WriteFile(dir.File("a.txt"), "");
    settings.mailList.push_back(std::move(later));
    tree.Insert("later", 0, static_cast<std::uint32_t>(settings.mailList.size() - 1), a, ThreadTree::Place::Last);
    settings.MailExt = "*.*";
    EXPECT_TRUE(Run().written);
    EXPECT_EQ(Listing(), Crlf("<DL>\n<DT>" + L("A") + "  <DL>\n  <DT>gone<BR>\n  <DT>a<BR>\n  <DT>" + L("b") +
                              "  <DT><A HREF=\"./a.html\">later</A><BR>\n  </DL>\n</DL>\n"));
}

TEST_F(IndexPageTest, HiddenAddressesLeaveTheSenderNameOrItsHiddenForm)
{
    settings.OutFrom = 1;
    settings.FromFont = 3;
    MailOf(Add("A")).from = "taro@example.jp";
    MailOf(Add("B")).from = "Hanako <hanako@example.jp>";
    settings.HideAddresses = 1;
    ASSERT_TRUE(Run().written);
    EXPECT_EQ(Listing(), Crlf("<DL>\n<DT><A HREF=\"./A.html\">A &lt;taro@\x81\x63&gt;</A><BR>\n"
                              "<DT><A HREF=\"./B.html\">B &lt;Hanako &gt;</A><BR>\n</DL>\n"));
    settings.HideAddresses = 2;
    ASSERT_TRUE(Run().written);
    EXPECT_NE(Listing().find("A &lt;" + test::Sjis("(アドレス非表示)") + "&gt;</A>"), std::string::npos);
}

TEST_F(IndexPageTest, UnchangedIndexIsLeftAloneAndAFailedOneKeepsTheOld)
{
    AddExampleThread();
    ASSERT_TRUE(Run().written);
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.File("web/index.html").c_str(), old, 0), 0);
    const IndexPageResult again = Run();
    EXPECT_TRUE(again.written);
    EXPECT_TRUE(again.unchanged);
    EXPECT_EQ(fs::last_write_time(dir.File("web/index.html")).time_since_epoch(),
              fs::last_write_time(dir.File("web/index.html")).time_since_epoch());
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("web/index.html").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);

    const std::string before = Index();
    Add("E");
    platform::SetWriteFaultForTesting(10, ENOSPC);
    const IndexPageResult failed = Run();
    platform::ClearWriteFaultForTesting();
    EXPECT_TRUE(failed.indexNotWritable);
    EXPECT_EQ(failed.reason, "No space left on device");
    EXPECT_EQ(Index(), before);
}

}  // namespace
}  // namespace postloom
