#include "core/platform/file_system.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

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
