// A run killed while writing, where files are not anonymous, leaves its
// temporary files; a later run removes those and nothing else.

#include "core/platform/stale_temporaries.h"

#include "core/platform/fresh_file.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace postloom::platform {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::TempDir;
using test::WriteFile;

void MakeOld(const fs::path& path)
{
    const timespec hourAgo{.tv_sec = std::time(nullptr) - 3600, .tv_nsec = 0};
    const timespec times[2] = {hourAgo, hourAgo};
    ASSERT_EQ(0, ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW)) << path;
}

const std::string kStale = ".postloom-out-0123456789ab";
const std::string kStale2 = ".postloom-out-ffffffffffff";

TEST(StaleTemporariesTest, TheNamesTheProgramMakesAreTheNamesItRemoves)
{
    const TempDir dir;
    for (int i = 0; i < 50; ++i) {
        const std::string path = TemporaryName(dir.path().string());
        EXPECT_TRUE(IsTemporaryName(fs::path(path).filename().string())) << path;
    }
    EXPECT_TRUE(IsTemporaryName(kStale));
    for (const char* other : {".postloom-out-0123456789a", ".postloom-out-0123456789abc", ".postloom-out-0123456789AB",
                              ".postloom-out-0123456789ag", "postloom-out-0123456789ab", ".postloom-save-0123456789",
                              ".postloom-out-", "x.postloom-out-0123456789ab"})
        EXPECT_FALSE(IsTemporaryName(other)) << other;
}

TEST(StaleTemporariesTest, OnlyOldRegularFilesOfTheProgramsShapeGo)
{
    const TempDir dir;
    const fs::path folder = dir.path();
    const std::vector<std::string> kept = {
        ".postloom-out-00000000000f",   // fresh: written after the run began
        ".postloom-out-0123456789abc",  // one digit too many: the user's
        ".postloom-out-0123456789AB",   // upper case: never made by the program
        "postloom-out-0123456789ab",    // not hidden
        ".postloom-out-aaaaaaaaaaaa",   // a symbolic link to an old file
        ".postloom-out-bbbbbbbbbbbb",   // a folder
        "00001.html",                   // a page
        "target.txt",                   // the link's target
    };
    WriteFile(dir.File(kStale), "cut page");
    WriteFile(dir.File(kStale2), "cut page");
    for (const std::string& name : {kept[0], kept[1], kept[2], kept[3], kept[6], kept[7]})
        WriteFile(dir.File(name), "x");
    fs::create_symlink("target.txt", folder / kept[4]);
    fs::create_directory(folder / kept[5]);
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename() != kept[0])
            MakeOld(entry.path());
    }

    EXPECT_EQ(RemoveStaleTemporaries(folder.string(), std::chrono::system_clock::now()), 2u);
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(folder), expected);
    EXPECT_EQ(RemoveStaleTemporaries(folder.string(), std::chrono::system_clock::now()), 0u);
}

TEST(StaleTemporariesTest, AFileWrittenJustBeforeTheRunBeganStays)
{
    const TempDir dir;
    WriteFile(dir.File(kStale), "still being written by another run");
    EXPECT_EQ(RemoveStaleTemporaries(dir.path().string(), std::chrono::system_clock::now()), 0u);
    EXPECT_EQ(RemoveStaleTemporaries(dir.path().string(), std::chrono::system_clock::now() - std::chrono::hours(1)), 0u);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{kStale});
}

TEST(StaleTemporariesTest, TheFolderAndItsSubfoldersOfTheSuffixAreCleanedButLinksAreNotEntered)
{
    const TempDir dir;
    const TempDir elsewhere;
    const fs::path folder = dir.path();
    fs::create_directory(folder / "00001_files");
    fs::create_directory(folder / "00002_files");
    fs::create_directory(folder / "notes");
    fs::create_directories(folder / "_files" / "deeper" / "x_files");
    fs::create_directory_symlink(elsewhere.path(), folder / "00003_files");
    const std::vector<fs::path> stale = {folder / "00001_files" / kStale, folder / "00001_files" / kStale2,
                                         folder / "00002_files" / kStale, folder / "_files" / kStale,
                                         folder / kStale};
    const std::vector<fs::path> kept = {elsewhere.path() / kStale, folder / "notes" / kStale,
                                        folder / "00001_files" / "report.pdf",
                                        folder / "_files" / "deeper" / "x_files" / kStale};
    for (const auto& list : {stale, kept}) {
        for (const fs::path& path : list) {
            WriteFile(path.string(), "x");
            MakeOld(path);
        }
    }

    EXPECT_EQ(RemoveStaleTemporariesWithSubfolders(folder.string(), "_files", std::chrono::system_clock::now()), 5u);
    for (const fs::path& path : stale)
        EXPECT_FALSE(fs::exists(path)) << path;
    for (const fs::path& path : kept)
        EXPECT_TRUE(fs::exists(path)) << path;
}

TEST(StaleTemporariesTest, AFolderThatCannotBeReadRemovesNothing)
{
    const TempDir dir;
    const auto now = std::chrono::system_clock::now();
    EXPECT_EQ(RemoveStaleTemporaries(dir.File("missing"), now), 0u);
    EXPECT_EQ(RemoveStaleTemporaries(std::string("a\0b", 3), now), 0u);
    EXPECT_EQ(RemoveStaleTemporaries("", now), 0u);
    WriteFile(dir.File("file"), "x");
    EXPECT_EQ(RemoveStaleTemporariesWithSubfolders(dir.File("file"), "_files", now), 0u);
}

}  // namespace
}  // namespace postloom::platform
