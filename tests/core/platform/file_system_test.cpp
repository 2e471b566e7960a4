#include "core/platform/file_system.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

using namespace postloom::platform;
using postloom::test::Sjis;
using postloom::test::TempDir;
using postloom::test::WriteFile;

namespace {

TEST(ListDirectoryTest, EntriesComeInByteOrderWithTheirTypes)
{
    TempDir dir;
    WriteFile(dir.File("b.alm"), "");
    WriteFile(dir.File("B.alm"), "");
    WriteFile(dir.File("a.alm"), "");
    std::filesystem::create_directory(dir.path() / "sub.alm");
    std::filesystem::create_directory_symlink(dir.path() / "sub.alm", dir.path() / "link.alm");
    const auto entries = ListDirectory(dir.path().string());
    ASSERT_TRUE(entries);
    std::vector<std::string> names;
    for (const auto& e : *entries)
        names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"B.alm", "a.alm", "b.alm", "link.alm", "sub.alm"}));
    EXPECT_EQ((*entries)[0].type, EntryType::RegularFile);
    EXPECT_EQ((*entries)[3].type, EntryType::Directory);
    EXPECT_EQ((*entries)[4].type, EntryType::Directory);
}

TEST(ListDirectoryTest, NamesComeBackAsCp932AndPathsGoOutAsUtf8)
{
    TempDir dir;
    WriteFile((dir.path() / "表示.alm").string(), "x");
    const auto entries = ListDirectory(dir.path().string());
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ((*entries)[0].name, Sjis("表示.alm"));
    EXPECT_TRUE(IsRegularFile(dir.path().string() + "/" + Sjis("表示.alm")));
}

TEST(ListDirectoryTest, AMissingFolderCannotBeListed)
{
    TempDir dir;
    EXPECT_FALSE(ListDirectory(dir.File("missing")).has_value());
    WriteFile(dir.File("file"), "");
    EXPECT_FALSE(ListDirectory(dir.File("file")).has_value());
}

TEST(FileIdentityTest, TellsWhetherTwoPathsNameOneFile)
{
    TempDir dir;
    WriteFile(dir.File("a"), "x");
    WriteFile(dir.File("b"), "x");
    EXPECT_EQ(IdentityOf(dir.File("a")), IdentityOf(dir.path().string() + "/./a"));
    EXPECT_NE(IdentityOf(dir.File("a")), IdentityOf(dir.File("b")));
    EXPECT_FALSE(IdentityOf(dir.File("c")).has_value());
}

TEST(MakeDirectoryTest, CreatesOnceAndAcceptsAnExistingFolder)
{
    TempDir dir;
    EXPECT_TRUE(MakeDirectory(dir.File("x")));
    EXPECT_TRUE(MakeDirectory(dir.File("x")));
    WriteFile(dir.File("f"), "");
    EXPECT_FALSE(MakeDirectory(dir.File("f")));
    EXPECT_FALSE(MakeDirectory(dir.File("missing/y")));
}

}  // namespace

namespace {

// "テスト" as an archive from Windows leaves it on disk: CP932 bytes, no
// UTF-8.
const std::string kCp932Name = "\x83\x65\x83\x58\x83\x67";

TEST(StoredCp932NameTest, ANameListedAsItsBytesIsFoundAgainByThatName)
{
    TempDir dir;
    WriteFile(dir.File(kCp932Name + ".alm"), "x");
    std::filesystem::create_directory(dir.File(kCp932Name));
    WriteFile(dir.File(kCp932Name) + "/inner", "y");

    const auto entries = ListDirectory(dir.path().string());
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[0].name, Sjis("テスト"));
    EXPECT_EQ((*entries)[1].name, Sjis("テスト.alm"));

    const std::string file = dir.path().string() + "/" + (*entries)[1].name;
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ(TypeOf(file), EntryType::RegularFile);
    ASSERT_TRUE(IdentityOf(file).has_value());
    EXPECT_NE(IdentityOf(file), IdentityOf(dir.path().string()));

    const std::string folder = dir.path().string() + "/" + (*entries)[0].name;
    EXPECT_TRUE(IsDirectory(folder));
    const auto inner = ListDirectory(folder);
    ASSERT_TRUE(inner);
    ASSERT_EQ(inner->size(), 1u);
    EXPECT_EQ((*inner)[0].name, "inner");
    EXPECT_FALSE(Exists(dir.File(kCp932Name + ".txt")));
}

// A system call would stop at the NUL and act on the path before it.
TEST(NulInPathTest, NoFunctionActsOnThePathBeforeTheNul)
{
    TempDir dir;
    WriteFile(dir.File("f"), "x");
    std::filesystem::create_directory(dir.path() / "d");
    const std::string nul(1, '\0');
    const auto refused = [](bool failed) { return failed && errno == EINVAL; };

    errno = 0;
    EXPECT_TRUE(refused(TypeOf(dir.File("f") + nul + "/x") == EntryType::Missing));
    EXPECT_FALSE(Exists(dir.File("d") + nul));
    EXPECT_TRUE(refused(!IdentityOf(dir.File("f") + nul).has_value()));
    EXPECT_TRUE(refused(!ListDirectory(dir.File("d") + nul + "/x").has_value()));
    EXPECT_TRUE(refused(!MakeDirectory(dir.File("new") + nul + "/x")));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "new"));
    EXPECT_TRUE(refused(!RemoveFile(dir.File("f") + nul + "/x")));
    EXPECT_TRUE(refused(!RenameFile(dir.File("f"), dir.File("g") + nul)));
    EXPECT_TRUE(refused(!RenameFile(dir.File("f") + nul, dir.File("g"))));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "f"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "g"));
}

}  // namespace
