#include "core/html/output_paths.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

using namespace postloom;
using postloom::test::Sjis;
using postloom::test::TempDir;

namespace {

constexpr PathStyle kWin = PathStyle::Windows;
constexpr PathStyle kPosix = PathStyle::Posix;

// "表" is 0x95 0x5C: its trail byte is the Windows separator.
const std::string kHyo = "\x95\x5C";

std::optional<std::string> WinRelative(std::string_view base, std::string_view target)
{
    return RelativePath(base, target, "C:\\cur", kWin);
}

TEST(FullPathTest, WindowsStyleResolvesLexicallyAgainstTheBase)
{
    EXPECT_EQ(FullPath("mail", "C:\\web", kWin), "C:\\web\\mail");
    EXPECT_EQ(FullPath("..\\mail", "C:\\web", kWin), "C:\\mail");
    EXPECT_EQ(FullPath("D:\\a\\.\\b\\..\\c\\\\\\d\\", "C:\\web", kWin), "D:\\a\\c\\d");
    EXPECT_EQ(FullPath("..\\..\\..", "C:\\a", kWin), "C:\\");
    EXPECT_EQ(FullPath("C:", "D:\\x", kWin), "C:\\");
    EXPECT_EQ(FullPath("\\top", "C:\\cur\\sub", kWin), "C:\\top");
    EXPECT_EQ(FullPath("", "C:\\cur\\", kWin), "C:\\cur");
}

TEST(FullPathTest, WindowsStyleKeepsDoubleByteCharactersWhole)
{
    EXPECT_EQ(FullPath(kHyo + "\\x", "C:\\a", kWin), "C:\\a\\" + kHyo + "\\x");
    EXPECT_EQ(FullPath(kHyo + "\\..", "C:\\a", kWin), "C:\\a");
    EXPECT_EQ(FullPath("b" + kHyo, "C:\\a", kWin), "C:\\a\\b" + kHyo);
}

TEST(FullPathTest, PosixStyleResolvesLexicallyAgainstTheBase)
{
    EXPECT_EQ(FullPath("a/../b", "/p", kPosix), "/p/b");
    EXPECT_EQ(FullPath("/x//y/./", "/p", kPosix), "/x/y");
    EXPECT_EQ(FullPath("../../..", "/p", kPosix), "/");
    EXPECT_EQ(FullPath("", "/p/", kPosix), "/p");
    EXPECT_EQ(FullPath("/", "/p", kPosix), "/");
    // A backslash is an ordinary byte of a Linux name.
    EXPECT_EQ(FullPath("a\\..", "/p", kPosix), "/p/a\\..");
    EXPECT_EQ(FullPath(kHyo, "/p", kPosix), "/p/" + kHyo);
}

TEST(RelativePathTest, WindowsExamples)
{
    EXPECT_EQ(WinRelative("C:\\web", "C:\\web"), "");
    EXPECT_EQ(WinRelative("C:\\web", "C:\\web\\mail\\x.html"), "mail\\x.html");
    EXPECT_EQ(WinRelative("C:\\web\\mail", "C:\\web"), "..\\");
    EXPECT_EQ(WinRelative("C:\\web\\mail", "C:\\web\\img\\a.gif"), "..\\img\\a.gif");
    EXPECT_EQ(WinRelative("C:\\web", "C:\\website\\x"), "..\\website\\x");
    EXPECT_EQ(WinRelative("C:\\Web\\Mail", "c:\\web\\index.html"), "..\\index.html");
    EXPECT_EQ(WinRelative("C:\\a\\b", "C:\\ab"), "..\\..\\ab");
}

TEST(RelativePathTest, WindowsRelativeInputsAndDrives)
{
    // A relative target is taken from the base, a relative base from the
    // current folder.
    EXPECT_EQ(WinRelative("C:\\web", "mail\\x"), "mail\\x");
    EXPECT_EQ(WinRelative("web", "C:\\cur\\web\\a"), "a");
    EXPECT_EQ(WinRelative("C:\\web", "D:\\web"), std::nullopt);
    EXPECT_EQ(WinRelative("c:\\web", "C:\\web\\x"), "x");
}

TEST(RelativePathTest, WindowsComparesDoubleByteCharactersExactly)
{
    // "ア" (0x83 0x41) and 0x83 0x61 differ although their trail bytes are
    // "A" and "a".
    EXPECT_EQ(WinRelative("C:\\\x83\x41", "C:\\\x83\x61\\x"), "..\\\x83\x61\\x");
    EXPECT_EQ(WinRelative("C:\\" + kHyo + "x", "C:\\" + kHyo + "y"), "..\\" + kHyo + "y");
    EXPECT_EQ(WinRelative("C:\\" + kHyo, "C:\\" + kHyo + "\\x"), "x");
}

TEST(RelativePathTest, PosixComparesExactlyAndHasOneRoot)
{
    EXPECT_EQ(RelativePath("/web/mail", "/web/index.html", "/", kPosix), "../index.html");
    EXPECT_EQ(RelativePath("/web", "/website/x", "/", kPosix), "../website/x");
    EXPECT_EQ(RelativePath("/Web/Mail", "/web/index.html", "/", kPosix), "../../web/index.html");
    EXPECT_EQ(RelativePath("/", "/x", "/", kPosix), "x");
    EXPECT_EQ(RelativePath("/x", "/", "/", kPosix), "../");
    EXPECT_EQ(RelativePath("mail", "/p/index.html", "/p", kPosix), "../index.html");
    EXPECT_EQ(RelativePath("mail", "index.html", "/p", kPosix), "index.html");
}

TEST(ToUrlSeparatorsTest, TurnsOnlyRealSeparatorsIntoSlashes)
{
    EXPECT_EQ(ToUrlSeparators("..\\img\\a.gif", kWin), "../img/a.gif");
    EXPECT_EQ(ToUrlSeparators(kHyo + "\\x" + kHyo, kWin), kHyo + "/x" + kHyo);
    EXPECT_EQ(ToUrlSeparators("a\\b/c", kPosix), "a\\b/c");
}

TEST(EncodeUrlTest, OrdinaryNamesPassUnchanged)
{
    for (const std::string url : {"./00012.html", "../mail/a-b_c.d~e+f,g;h!(i)*@$.html", "img/./first.gif",
                                  "file:///C:/web/index.html", ""})
        EXPECT_EQ(EncodeUrl(url), url);
    const std::string japanese = Sjis("表示/ソース.html");
    EXPECT_EQ(EncodeUrl(japanese), japanese);
}

TEST(EncodeUrlTest, HostileBytesAreEncoded)
{
    EXPECT_EQ(EncodeUrl("a\"b>c d#e%f.html"), "a%22b%3Ec%20d%23e%25f.html");
    EXPECT_EQ(EncodeUrl("\"'<>&`=%#?"), "%22%27%3C%3E%26%60%3D%25%23%3F");
    // A backslash in a Linux name is no separator; ソ keeps its trail byte 0x5C.
    EXPECT_EQ(EncodeUrl("./a\\b.html"), "./a%5Cb.html");
    EXPECT_EQ(EncodeUrl(Sjis("ソ\\")), Sjis("ソ") + "%5C");
    EXPECT_EQ(EncodeUrl(std::string("\t\n\r\x01\x7F", 5) + std::string(1, '\0')), "%09%0A%0D%01%7F%00");
}

TEST(EncodeUrlTest, TrailBytesAreNeverEncodedButStrayLeadBytesShieldNothing)
{
    // 0x83 0x60 is a double-byte character whose trail byte is "`".
    EXPECT_EQ(EncodeUrl("\x83\x60.html"), "\x83\x60.html");
    EXPECT_EQ(EncodeUrl(kHyo), kHyo);
    // A lead byte before a byte that cannot be a trail byte stands alone.
    EXPECT_EQ(EncodeUrl("\x81\"><"), "\x81%22%3E%3C");
    EXPECT_EQ(EncodeUrl("\x81 x"), "\x81%20x");
    EXPECT_EQ(EncodeUrl("a\x81"), "a\x81");
}

TEST(IsUsableFileNameTest, PosixStyle)
{
    for (const std::string name : {"", ".", "..", "a/b", "/", "../x.alm", "\x81/x"})
        EXPECT_FALSE(IsUsableFileName(name, kPosix)) << name;
    EXPECT_FALSE(IsUsableFileName(std::string("a\0b", 3), kPosix));
    for (const std::string& name :
         {std::string("a.alm"), std::string("..."), std::string(".hidden"), std::string("a\\b"), kHyo + ".alm"})
        EXPECT_TRUE(IsUsableFileName(name, kPosix)) << name;
}

TEST(IsUsableFileNameTest, WindowsStyle)
{
    for (const std::string name : {"a\\b", "a/b", "..", ""})
        EXPECT_FALSE(IsUsableFileName(name, kWin)) << name;
    EXPECT_TRUE(IsUsableFileName(kHyo + ".alm", kWin));
    EXPECT_TRUE(IsUsableFileName("00012.alm", kWin));
}

TEST(PathPiecesTest, FileNamePartAndJoinPathRespectDoubleByteCharacters)
{
    EXPECT_EQ(FileNamePart("C:\\gif\\first.gif", kWin), "first.gif");
    EXPECT_EQ(FileNamePart(kHyo, kWin), kHyo);
    EXPECT_EQ(FileNamePart("C:\\gif\\" + kHyo, kWin), kHyo);
    EXPECT_EQ(FileNamePart("C:\\gif\\first.gif", kPosix), "C:\\gif\\first.gif");
    EXPECT_EQ(FileNamePart("/g/first.gif", kPosix), "first.gif");
    EXPECT_EQ(FileNamePart("/g/", kPosix), "");

    EXPECT_EQ(JoinPath("C:\\" + kHyo, "x", kWin), "C:\\" + kHyo + "\\x");
    EXPECT_EQ(JoinPath("C:\\", "x", kWin), "C:\\x");
    EXPECT_EQ(JoinPath("/", "x", kPosix), "/x");
    EXPECT_EQ(JoinPath("/a", "x", kPosix), "/a/x");
    EXPECT_EQ(JoinPath("", "x", kPosix), "x");
}

TEST(CreateFolderPathTest, CreatesEveryMissingFolder)
{
    const TempDir dir;
    const std::string base = dir.path().string();
    EXPECT_TRUE(CreateFolderPath(base + "/a//b/c/", "/nowhere"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "a" / "b" / "c"));
    // Nothing missing is a success too.
    EXPECT_TRUE(CreateFolderPath(base + "/a/b", "/nowhere"));
}

TEST(CreateFolderPathTest, RelativePathResolvesAgainstTheProjectFolder)
{
    const TempDir dir;
    EXPECT_TRUE(CreateFolderPath("x/./y/../z", dir.path().string()));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "x" / "z"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "x" / "y"));
}

TEST(CreateFolderPathTest, DoubleByteNamesReachTheFileSystemAsUtf8)
{
    const TempDir dir;
    EXPECT_TRUE(CreateFolderPath(Sjis("表示/ソース"), dir.path().string()));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "表示" / "ソース"));
}

TEST(CreateFolderPathTest, FailsAtAFileInTheWay)
{
    const TempDir dir;
    test::WriteFile(dir.File("file"), "x");
    EXPECT_FALSE(CreateFolderPath("file", dir.path().string()));
    EXPECT_FALSE(CreateFolderPath("file/sub", dir.path().string()));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / "file"));
}

}  // namespace
