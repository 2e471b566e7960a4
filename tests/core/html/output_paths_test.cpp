#include "core/html/output_paths.h"

#include "core/platform/file_system.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace postloom;
using postloom::test::Sjis;

namespace {

MailRecord Mail(std::string fileName)
{
    MailRecord mail;
    mail.fileName = std::move(fileName);
    return mail;
}

// Settings of a project whose paths are all set by the test.
class PathsTest : public ::testing::Test {
protected:
    PathsTest()
    {
        settings.TargetPath.clear();
        settings.IndexPath.clear();
        settings.MailPath.clear();
        settings.IndexImagePath.clear();
        settings.MailImagePath.clear();
        settings.ToLower = 0;
    }
    ProjectSettings settings;
};

// The Windows examples, with "C:\cur" as the project (current) folder.
class WindowsPathsTest : public PathsTest {
protected:
    WindowsPathsTest() { settings.IndexPath = "C:\\web\\index.html"; }
    OutputPaths Paths() const { return OutputPaths(settings, "C:\\cur", PathStyle::Windows); }
};

TEST_F(WindowsPathsTest, PageFileNameKeepsTheNameUpToItsLastDot)
{
    EXPECT_EQ(Paths().PageFileName(Mail("00012.alm")), "00012.html");
    EXPECT_EQ(Paths().PageFileName(Mail("a.b.alm")), "a.b.html");
    EXPECT_EQ(Paths().PageFileName(Mail("noext")), ".html");
    EXPECT_EQ(Paths().PageFileName(Mail("Mail.TXT")), "Mail.html");
    settings.ToLower = 1;
    EXPECT_EQ(Paths().PageFileName(Mail("Mail.TXT")), "mail.html");
    // The trail byte of "ア" is "A" and stays as it is.
    EXPECT_EQ(Paths().PageFileName(Mail(Sjis("アB.ALM"))), Sjis("アb.html"));
}

TEST_F(WindowsPathsTest, MailSourcePathJoinsTheResolvedTargetPath)
{
    settings.TargetPath = "C:\\mail\\";
    settings.ToLower = 1;
    EXPECT_EQ(Paths().MailSourcePath(Mail("ABC.ALM")), "C:\\mail\\ABC.ALM");
    settings.TargetPath = "mails";
    EXPECT_EQ(Paths().MailSourcePath(Mail("x.alm")), "C:\\cur\\mails\\x.alm");
    settings.TargetPath.clear();
    EXPECT_EQ(Paths().MailSourcePath(Mail("x.alm")), "C:\\cur\\x.alm");
}

TEST_F(WindowsPathsTest, IndexFolder)
{
    EXPECT_EQ(Paths().IndexFolder(), "C:\\web");
    EXPECT_EQ(Paths().IndexFileFullPath(), "C:\\web\\index.html");
    settings.IndexPath = "C:\\Web\\Index.html";
    settings.ToLower = 1;
    EXPECT_EQ(Paths().IndexFolder(), "c:\\web");
    settings.IndexPath = "index.html";
    EXPECT_EQ(Paths().IndexFolder(), "c:\\cur");
    settings.ToLower = 0;
    settings.IndexPath = "C:\\index.html";
    EXPECT_EQ(Paths().IndexFolder(), "C:\\");
}

TEST_F(WindowsPathsTest, MailFolderAndLinksFromTheIndex)
{
    const MailRecord mail = Mail("00012.alm");
    struct Case {
        const char* mailPath;
        const char* folder;
        const char* link;
    };
    const Case cases[] = {
        {"", "C:\\web", "./00012.html"},
        {"mail", "C:\\web\\mail", "mail/00012.html"},
        {"..\\mail", "C:\\mail", "../mail/00012.html"},
        {"C:\\web", "C:\\web", "00012.html"},
        {"C:\\web\\pages\\", "C:\\web\\pages", "pages/00012.html"},
        {"C:\\pages", "C:\\pages", "../pages/00012.html"},
        {"D:\\pages", "D:\\pages", "file:///D:/pages/00012.html"},
    };
    for (const Case& c : cases) {
        settings.MailPath = c.mailPath;
        EXPECT_EQ(Paths().MailFolderFullPath(), c.folder) << c.mailPath;
        EXPECT_EQ(Paths().PageLinkFromIndex(mail), c.link) << c.mailPath;
    }
    settings.MailPath = "..\\mail";
    EXPECT_EQ(Paths().MailFolderFromIndex(), "../mail");
    EXPECT_EQ(Paths().PageFullPath(mail), "C:\\mail\\00012.html");
}

TEST_F(WindowsPathsTest, IndexLinkFromMailPagesKeepsTheIndexCase)
{
    settings.MailPath = "mail";
    EXPECT_EQ(Paths().IndexLinkFromMail(), "../index.html");
    settings.MailPath.clear();
    EXPECT_EQ(Paths().IndexLinkFromMail(), "index.html");
    settings.IndexPath = "C:\\Web\\Index.html";
    settings.MailPath = "Mail";
    settings.ToLower = 1;
    EXPECT_EQ(Paths().IndexLinkFromMail(), "../Index.html");
    EXPECT_EQ(Paths().PageLinkFromIndex(Mail("ABC.ALM")), "mail/abc.html");
    EXPECT_EQ(Paths().MailFolderFullPath(), "c:\\web\\mail");
    settings.MailPath = "D:\\pages";
    EXPECT_EQ(Paths().IndexLinkFromMail(), "file:///C:/Web/Index.html");
}

TEST_F(WindowsPathsTest, TreeGraphicUrls)
{
    EXPECT_EQ(Paths().TreeGraphicUrl("C:\\gif\\first.gif"), "./first.gif");
    EXPECT_EQ(Paths().TreeGraphicUrl("first.gif"), "./first.gif");
    settings.IndexImagePath = "C:\\web\\img";
    EXPECT_EQ(Paths().TreeGraphicUrl("C:\\gif\\first.gif"), "img/./first.gif");
    settings.IndexImagePath = "C:\\";
    EXPECT_EQ(Paths().TreeGraphicUrl("C:\\gif\\first.gif"), ".././first.gif");
    settings.IndexImagePath = "C:\\web";
    EXPECT_EQ(Paths().TreeGraphicUrl("C:\\gif\\first.gif"), "./first.gif");
    settings.IndexImagePath = "C:\\web\\Img";
    settings.ToLower = 1;
    EXPECT_EQ(Paths().TreeGraphicUrl("C:\\GIF\\First.GIF"), "img/./first.gif");
    // On Windows the copy keeps the name's case; the file system ignores it.
    EXPECT_EQ(Paths().TreeGraphicCopyPath("C:\\GIF\\First.GIF"), "C:\\web\\Img\\First.GIF");
}

TEST_F(WindowsPathsTest, BackgroundFollowsItsCopy)
{
    settings.IndexBackGroundFile = "C:\\img\\Back.GIF";
    settings.MailBackGroundFile = "C:\\img\\mback.gif";
    settings.MailPath = "mail";
    settings.ToLower = 1;
    EXPECT_EQ(Paths().IndexBackgroundUrl(), "./Back.GIF");
    EXPECT_EQ(Paths().MailBackgroundUrl(), "./mback.gif");
    EXPECT_EQ(Paths().MailBackgroundCopyPath(), "c:\\web\\mail\\mback.gif");
    settings.ToLower = 0;
    settings.IndexImagePath = "C:\\web\\img";
    settings.MailImagePath = "C:\\web\\img";
    EXPECT_EQ(Paths().IndexBackgroundUrl(), "img/./Back.GIF");
    EXPECT_EQ(Paths().MailBackgroundUrl(), "../img/./mback.gif");
    EXPECT_EQ(Paths().IndexBackgroundCopyPath(), "C:\\web\\img\\Back.GIF");
    EXPECT_EQ(Paths().MailBackgroundCopyPath(), "C:\\web\\img\\mback.gif");
}

TEST_F(WindowsPathsTest, FolderNamesWithTrailByte5CStayWhole)
{
    const std::string hyo = Sjis("表");
    settings.IndexPath = "C:\\" + hyo + "\\index.html";
    settings.MailPath = hyo + "\\m";
    EXPECT_EQ(Paths().IndexFolder(), "C:\\" + hyo);
    EXPECT_EQ(Paths().MailFolderFullPath(), "C:\\" + hyo + "\\" + hyo + "\\m");
    EXPECT_EQ(Paths().PageLinkFromIndex(Mail("a.alm")), hyo + "/m/a.html");
    EXPECT_EQ(Paths().IndexLinkFromMail(), "../../index.html");
}

// Linux: relative settings paths resolve against the project folder.
class PosixPathsTest : public PathsTest {
protected:
    OutputPaths Paths() const { return OutputPaths(settings, "/proj", PathStyle::Posix); }
};

TEST_F(PosixPathsTest, RelativeSettingsResolveAgainstTheProjectFolder)
{
    settings.TargetPath = "mails";
    settings.IndexPath = "web/index.html";
    settings.MailPath = "mail";
    settings.IndexImagePath = "img";
    settings.MailImagePath = "../proj/img/";
    EXPECT_EQ(Paths().Resolve("a/../b"), "/proj/b");
    EXPECT_EQ(Paths().MailSourcePath(Mail("x.alm")), "/proj/mails/x.alm");
    EXPECT_EQ(Paths().IndexFileFullPath(), "/proj/web/index.html");
    EXPECT_EQ(Paths().IndexFolder(), "/proj/web");
    EXPECT_EQ(Paths().MailFolderFullPath(), "/proj/web/mail");
    EXPECT_EQ(Paths().IndexLinkFromMail(), "../index.html");
    EXPECT_EQ(Paths().IndexGraphicFolder(), "/proj/img");
    EXPECT_EQ(Paths().MailGraphicFolder(), "/proj/img");
    EXPECT_EQ(Paths().TreeGraphicUrl("gif/first.gif"), "../img/./first.gif");
}

TEST_F(PosixPathsTest, FoldersWithoutSeparatorAreTheProjectFolderAndRootStaysSingle)
{
    settings.IndexPath = "index.html";
    EXPECT_EQ(Paths().IndexFolder(), "/proj");
    EXPECT_EQ(Paths().PageFullPath(Mail("a.alm")), "/proj/a.html");
    settings.IndexPath.clear();
    EXPECT_EQ(Paths().IndexFolder(), "/proj");
    settings.IndexPath = "/index.html";
    EXPECT_EQ(Paths().IndexFolder(), "/");
    EXPECT_EQ(Paths().PageFullPath(Mail("a.alm")), "/a.html");
    settings.MailPath = "mail";
    EXPECT_EQ(Paths().MailFolderFullPath(), "/mail");
    EXPECT_EQ(Paths().PageFullPath(Mail("a.alm")), "/mail/a.html");
    EXPECT_EQ(Paths().IndexLinkFromMail(), "../index.html");
}

TEST_F(PosixPathsTest, UnsavedProjectWorksInTheWorkingDirectory)
{
    const OutputPaths paths(settings, "", PathStyle::Posix);
    EXPECT_EQ(paths.projectFolder(), FullPath(".", platform::CurrentDirectory(), PathStyle::Posix));
}

TEST_F(PosixPathsTest, ToLowerChangesOnlyTheNamesTheProgramCreates)
{
    settings.ToLower = 1;
    settings.TargetPath = "/Mails";
    settings.IndexPath = "/Web/Index.html";
    settings.MailPath = "Mail";
    settings.IndexImagePath = "/Web/Img";
    settings.IndexBackGroundFile = "/G/Back.GIF";
    const MailRecord mail = Mail("ABC.ALM");
    EXPECT_EQ(Paths().PageFileName(mail), "abc.html");
    EXPECT_EQ(Paths().MailSourcePath(mail), "/Mails/ABC.ALM");
    EXPECT_EQ(Paths().IndexFolder(), "/Web");
    EXPECT_EQ(Paths().MailFolderFullPath(), "/Web/mail");
    EXPECT_EQ(Paths().PageFullPath(mail), "/Web/mail/abc.html");
    EXPECT_EQ(Paths().PageLinkFromIndex(mail), "mail/abc.html");
    EXPECT_EQ(Paths().IndexLinkFromMail(), "../Index.html");
    EXPECT_EQ(Paths().TreeGraphicUrl("/G/First.GIF"), "Img/./first.gif");
    EXPECT_EQ(Paths().TreeGraphicCopyPath("/G/First.GIF"), "/Web/Img/first.gif");
    EXPECT_EQ(Paths().IndexBackgroundUrl(), "Img/./Back.GIF");
    EXPECT_EQ(Paths().IndexBackgroundCopyPath(), "/Web/Img/Back.GIF");

    settings.MailPath = "/Web/Pages";
    EXPECT_EQ(Paths().MailFolderFullPath(), "/Web/Pages");
    EXPECT_EQ(Paths().PageLinkFromIndex(mail), "Pages/abc.html");
    EXPECT_EQ(Paths().MailGraphicFolder(), "/Web/Pages");

    settings.MailPath = Sjis("アM");
    EXPECT_EQ(Paths().MailFolderFullPath(), "/Web/" + Sjis("アm"));
}

TEST_F(PosixPathsTest, BackgroundInAnotherGraphicFolderIsStillFound)
{
    settings.IndexPath = "/proj/web/index.html";
    settings.MailPath = "mail";
    settings.MailImagePath = "web/img";
    settings.MailBackGroundFile = "pictures/back.gif";
    EXPECT_EQ(Paths().MailBackgroundCopyPath(), "/proj/web/img/back.gif");
    EXPECT_EQ(Paths().MailBackgroundUrl(), "../img/./back.gif");
    settings.MailImagePath.clear();
    EXPECT_EQ(Paths().MailBackgroundCopyPath(), "/proj/web/mail/back.gif");
    EXPECT_EQ(Paths().MailBackgroundUrl(), "./back.gif");
}

TEST_F(PosixPathsTest, HostileNamesAreEncodedInEveryUrl)
{
    settings.IndexPath = "/w/in dex.html";
    settings.MailPath = "my mail";
    settings.IndexImagePath = "/w/i#g";
    settings.IndexBackGroundFile = "/g/x?y.gif";
    const MailRecord mail = Mail("a\"b>c d#e%f.alm");
    EXPECT_EQ(Paths().PageFileName(mail), "a\"b>c d#e%f.html");
    EXPECT_EQ(Paths().PageFullPath(mail), "/w/my mail/a\"b>c d#e%f.html");
    EXPECT_EQ(Paths().PageLinkFromMail(mail), "a%22b%3Ec%20d%23e%25f.html");
    EXPECT_EQ(Paths().PageLinkFromIndex(mail), "my%20mail/a%22b%3Ec%20d%23e%25f.html");
    EXPECT_EQ(Paths().IndexLinkFromMail(), "../in%20dex.html");
    EXPECT_EQ(Paths().TreeGraphicUrl("/g/a'b=c.gif"), "i%23g/./a%27b%3Dc.gif");
    EXPECT_EQ(Paths().IndexBackgroundUrl(), "i%23g/./x%3Fy.gif");
}

// Reads a URL written by the program back into a path: every %XX is a byte.
std::string DecodeUrl(const std::string& url)
{
    std::string path;
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size()) {
            path += static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            path += url[i];
        }
    }
    return path;
}

// Wherever the settings put the files, every link resolves, from the folder
// of the page that holds it, to the very file written or copied there.
TEST(OutputPathsLinkTest, EveryLinkLeadsToTheFileWrittenForIt)
{
    const std::vector<std::string> names = {"a", "B", "..", ".", Sjis("表"), "s p", "h#"};
    std::mt19937 random(20261208);
    const auto pick = [&](std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count)(random); };
    const auto randomPath = [&](bool absolute) {
        std::string path = absolute ? "/" : "";
        const std::size_t depth = pick(3);
        for (std::size_t i = 0; i < depth; ++i)
            path += names[pick(names.size() - 1)] + "/";
        return path;
    };
    for (int round = 0; round < 500; ++round) {
        ProjectSettings settings;
        settings.ToLower = static_cast<std::int32_t>(pick(1));
        settings.IndexPath = randomPath(pick(1) == 1) + "Index.html";
        settings.MailPath = pick(3) == 0 ? std::string() : randomPath(pick(1) == 1) + "Mail";
        settings.IndexImagePath = pick(1) == 0 ? std::string() : randomPath(pick(1) == 1);
        settings.MailImagePath = pick(1) == 0 ? std::string() : randomPath(pick(1) == 1);
        settings.IndexBackGroundFile = "/g/Back I.gif";
        settings.MailBackGroundFile = "Back M.gif";
        const OutputPaths paths(settings, "/p/q", PathStyle::Posix);
        const MailRecord mail = Mail("Mail 1.ALM");
        const std::string context = "IndexPath " + settings.IndexPath + " MailPath " + settings.MailPath +
                                    " IndexImagePath " + settings.IndexImagePath + " MailImagePath " +
                                    settings.MailImagePath + " ToLower " + std::to_string(settings.ToLower);
        const auto resolved = [](const std::string& url, const std::string& folder) {
            return FullPath(DecodeUrl(url), folder, PathStyle::Posix);
        };
        const std::string indexFolder = paths.IndexFolder();
        const std::string mailFolder = paths.MailFolderFullPath();
        EXPECT_EQ(resolved(paths.PageLinkFromIndex(mail), indexFolder), paths.PageFullPath(mail)) << context;
        EXPECT_EQ(PageLinksFromIndex(paths).LinkTo(mail), paths.PageLinkFromIndex(mail)) << context;
        EXPECT_EQ(resolved(paths.PageLinkFromMail(mail), mailFolder), paths.PageFullPath(mail)) << context;
        EXPECT_EQ(resolved(*paths.IndexLinkFromMail(), mailFolder), paths.IndexFileFullPath()) << context;
        EXPECT_EQ(resolved(*paths.TreeGraphicUrl("/g/First.GIF"), indexFolder),
                  paths.TreeGraphicCopyPath("/g/First.GIF"))
            << context;
        EXPECT_EQ(resolved(paths.IndexBackgroundUrl(), indexFolder), paths.IndexBackgroundCopyPath()) << context;
        EXPECT_EQ(resolved(paths.MailBackgroundUrl(), mailFolder), paths.MailBackgroundCopyPath()) << context;
        EXPECT_EQ(FullPath("..", paths.IndexFileFullPath(), PathStyle::Posix), indexFolder) << context;
    }
}

}  // namespace
