#include "core/platform/new_file.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace postloom::platform {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(NewFileTest, AppearsWholeUnderItsNameAndLeavesNothingElse)
{
    const TempDir dir;
    NewFile file(dir.path().string());
    file.Write("first part, ");
    file.Write("second part");
    EXPECT_TRUE(Names(dir.path()).empty()) << "nothing is visible before the commit";
    EXPECT_EQ(file.Commit("00001.alm"), NewFile::Outcome::Written);
    EXPECT_EQ(ReadFile(dir.File("00001.alm")), "first part, second part");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"00001.alm"});
}

TEST(NewFileTest, ATakenNameIsLeftAloneAndAnotherNameCanBeTried)
{
    const TempDir dir;
    WriteFile(dir.File("00001.alm"), "already here");
    fs::create_directory(dir.File("00002.alm"));
    fs::create_symlink(dir.File("elsewhere"), dir.File("00003.alm"));
    NewFile file(dir.path().string());
    file.Write("new mail");
    EXPECT_EQ(file.Commit("00001.alm"), NewFile::Outcome::NameTaken);
    EXPECT_EQ(file.Commit("00002.alm"), NewFile::Outcome::NameTaken);
    EXPECT_EQ(file.Commit("00003.alm"), NewFile::Outcome::NameTaken);
    EXPECT_EQ(file.Commit("00004.alm"), NewFile::Outcome::Written);
    EXPECT_EQ(ReadFile(dir.File("00001.alm")), "already here");
    EXPECT_FALSE(fs::exists(dir.File("elsewhere"))) << "a dangling link is not written through";
    EXPECT_EQ(ReadFile(dir.File("00004.alm")), "new mail");
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"00001.alm", "00002.alm", "00003.alm", "00004.alm"}));
}

TEST(NewFileTest, DiscardedContentLeavesNoTrace)
{
    const TempDir dir;
    {
        NewFile file(dir.path().string());
        file.Write("never committed");
    }
    EXPECT_TRUE(Names(dir.path()).empty());
}

TEST(NewFileTest, MissingFolderOrBadNameFails)
{
    const TempDir dir;
    NewFile missing(dir.File("no/such/folder"));
    EXPECT_FALSE(missing.Ok());
    EXPECT_EQ(missing.Error(), "No such file or directory");
    EXPECT_EQ(missing.Commit("00001.alm"), NewFile::Outcome::Failed);

    NewFile file(dir.path().string());
    file.Write("x");
    EXPECT_EQ(file.Commit("sub/00001.alm"), NewFile::Outcome::Failed);
    EXPECT_TRUE(Names(dir.path()).empty());
}

}  // namespace
}  // namespace postloom::platform
