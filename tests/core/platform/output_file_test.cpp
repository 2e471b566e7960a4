#include "core/platform/output_file.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace postloom::platform {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

OutputFile::Outcome WriteWhole(const std::string& path, std::string_view bytes,
                               OutputFile::Mode mode = OutputFile::Mode::Binary)
{
    OutputFile file(path, mode);
    file.Write(bytes);
    return file.Commit();
}

struct stat StatOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

TEST(OutputFileTest, NewFileAppearsWholeAndLeavesNothingElse)
{
    const TempDir dir;
    const std::string page = dir.File("page.html");
    OutputFile file(page, OutputFile::Mode::Text);
    file.Write("<HTML>\nline");
    file.Write("\n</HTML>\n");
    EXPECT_FALSE(fs::exists(page)) << "nothing is visible before the commit";
    EXPECT_EQ(file.Commit(), OutputFile::Outcome::Written);
    EXPECT_EQ(ReadFile(page), "<HTML>\r\nline\r\n</HTML>\r\n");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"page.html"});
}

TEST(OutputFileTest, DiscardedOrDestroyedFileKeepsTheOldBytes)
{
    const TempDir dir;
    const std::string page = dir.File("page.html");
    WriteFile(page, "old");
    {
        OutputFile file(page, OutputFile::Mode::Binary);
        file.Write(std::string(600 * 1024, 'x'));  // past the first piece
    }
    {
        OutputFile fresh(dir.File("new.html"), OutputFile::Mode::Binary);
        fresh.Write(std::string(600 * 1024, 'y'));
        fresh.Discard();
    }
    EXPECT_EQ(ReadFile(page), "old");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"page.html"});
}

TEST(OutputFileTest, SameBytesLeaveTheFileUntouched)
{
    const TempDir dir;
    const std::string page = dir.File("page.html");
    const std::string big(700 * 1024 + 3, 'q');
    for (const std::string& content : {std::string("small page"), big}) {
        WriteFile(page, content);
        const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, page.c_str(), old, 0), 0);
        const struct stat before = StatOf(page);
        EXPECT_EQ(WriteWhole(page, content), OutputFile::Outcome::Unchanged);
        const struct stat after = StatOf(page);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mtim.tv_sec, 1000000000);
    }
}

TEST(OutputFileTest, AnyDifferenceReplacesTheFileWithExactlyTheNewBytes)
{
    // Randomized: old and new contents of many sizes around the piece size,
    // differing anywhere, checked against the plain expectation.
    const TempDir dir;
    const std::string page = dir.File("page.html");
    std::mt19937 random(20261208);
    const std::vector<std::size_t> sizes{0, 1, 100, 256 * 1024 - 1, 256 * 1024, 256 * 1024 + 1, 600 * 1024};
    for (int round = 0; round < 40; ++round) {
        std::string oldBytes(sizes[random() % sizes.size()], 'a');
        for (char& c : oldBytes)
            c = static_cast<char>('a' + random() % 3);
        std::string newBytes = oldBytes;
        switch (random() % 4) {
        case 0:
            if (!newBytes.empty())
                newBytes[random() % newBytes.size()] = 'Z';
            break;
        case 1:
            newBytes.resize(newBytes.size() / 2);
            break;
        case 2:
            newBytes.append(random() % 300000 + 1, 'n');
            break;
        default:
            break;  // the same bytes
        }
        WriteFile(page, oldBytes);
        // Written in uneven pieces, as the page writers do, some handed over.
        OutputFile file(page, OutputFile::Mode::Binary);
        for (std::size_t at = 0; at < newBytes.size();) {
            const std::size_t n = std::min<std::size_t>(random() % 100000 + 1, newBytes.size() - at);
            if (random() % 2 == 0)
                file.Write(std::string_view(newBytes).substr(at, n));
            else
                file.WriteMoved(newBytes.substr(at, n));
            at += n;
        }
        const OutputFile::Outcome outcome = file.Commit();
        EXPECT_EQ(outcome, newBytes == oldBytes ? OutputFile::Outcome::Unchanged : OutputFile::Outcome::Written);
        ASSERT_EQ(ReadFile(page), newBytes) << "round " << round;
        EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"page.html"});
    }
}

// The check a page builder makes ahead of the writer: only a regular file
// with exactly these bytes counts, never what a symbolic link points to.
// The writers record a page by the stamp the commit hands back instead of
// looking the file up again: it must be what a look-up would give.
TEST(OutputFileTest, TheStampOfACommitIsThatOfTheFileInPlace)
{
    const TempDir dir;
    const std::string page = dir.File("page.html");
    const auto commitStamp = [&](std::string_view bytes, OutputFile::Outcome expected) {
        OutputFile file(page, OutputFile::Mode::Text);
        file.Write(bytes);
        EXPECT_EQ(file.Commit(), expected);
        return file.Stamp();
    };
    // New, replaced, replaced by a larger one, unchanged from long ago.
    const std::string big(600 * 1024, 'b');
    for (const std::string_view bytes : {std::string_view("new\n"), std::string_view("other\n"), std::string_view(big)}) {
        const std::optional<FileStamp> written = commitStamp(bytes, OutputFile::Outcome::Written);
        ASSERT_TRUE(written);
        EXPECT_EQ(written, OutputStamp(page));
    }
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, page.c_str(), old, 0), 0);
    const std::optional<FileStamp> unchanged = commitStamp(big, OutputFile::Outcome::Unchanged);
    ASSERT_TRUE(unchanged);
    EXPECT_EQ(unchanged, OutputStamp(page));
    EXPECT_EQ(unchanged->modifiedNs, 1000000000LL * 1000000000);
    EXPECT_EQ(unchanged->size, big.size());

    // A file someone made executable is not the program's: no stamp, as
    // for a look-up, whether it stays or is replaced keeping its mode.
    ASSERT_EQ(::chmod(page.c_str(), 0755), 0);
    EXPECT_EQ(commitStamp(big, OutputFile::Outcome::Unchanged), std::nullopt);
    EXPECT_EQ(commitStamp("x", OutputFile::Outcome::Written), std::nullopt);
    EXPECT_EQ(OutputStamp(page), std::nullopt);

    OutputFile failed(dir.File("no-folder/page.html"), OutputFile::Mode::Text);
    failed.Write("x");
    EXPECT_EQ(failed.Commit(), OutputFile::Outcome::Failed);
    EXPECT_EQ(failed.Stamp(), std::nullopt);
}

TEST(OutputFileTest, HoldsExactlyOnlyARegularFileWithTheSameBytes)
{
    TempDir dir;
    const std::string bytes(300000, 'x');  // more than one compare piece
    WriteFile(dir.File("same"), bytes);
    EXPECT_TRUE(HoldsExactly(dir.File("same"), bytes));

    std::string lastDiffers = bytes;
    lastDiffers.back() = 'y';
    EXPECT_FALSE(HoldsExactly(dir.File("same"), lastDiffers));
    EXPECT_FALSE(HoldsExactly(dir.File("same"), bytes.substr(1)));
    EXPECT_FALSE(HoldsExactly(dir.File("same"), bytes + "x"));

    fs::create_symlink(dir.File("same"), dir.File("link"));
    EXPECT_FALSE(HoldsExactly(dir.File("link"), bytes));
    EXPECT_FALSE(HoldsExactly(dir.File("missing"), ""));
    EXPECT_FALSE(HoldsExactly(dir.path().string(), ""));
}

// A caller that listed the folder a moment ago may skip the lookup; a file
// that appeared since is still replaced whole, and a folder there refuses.
TEST(OutputFileTest, ATargetBelievedAbsentIsReplacedWholeShouldItHaveAppeared)
{
    TempDir dir;
    const auto write = [&](const std::string& path, std::string_view bytes) {
        OutputFile file(path, OutputFile::Mode::Binary, OutputFile::Target::Absent);
        file.Write(bytes);
        return file.Commit();
    };
    EXPECT_EQ(write(dir.File("new"), "fresh"), OutputFile::Outcome::Written);
    EXPECT_EQ(ReadFile(dir.File("new")), "fresh");

    WriteFile(dir.File("appeared"), "a much longer old content");
    EXPECT_EQ(write(dir.File("appeared"), "new"), OutputFile::Outcome::Written);
    EXPECT_EQ(ReadFile(dir.File("appeared")), "new");

    fs::create_directory(dir.path() / "folder");
    EXPECT_EQ(write(dir.File("folder"), "x"), OutputFile::Outcome::Failed);
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"appeared", "folder", "new"}));
}

TEST(OutputFileTest, ReplacedFileKeepsItsPermissions)
{
    const TempDir dir;
    const std::string page = dir.File("page.html");
    WriteFile(page, "old");
    ASSERT_EQ(::chmod(page.c_str(), 0640), 0);
    EXPECT_EQ(WriteWhole(page, "new"), OutputFile::Outcome::Written);
    EXPECT_EQ(StatOf(page).st_mode & 07777, 0640u);
}

TEST(OutputFileTest, SymbolicLinkAtTheTargetIsReplacedNotWrittenThrough)
{
    const TempDir dir;
    const TempDir elsewhere;
    const std::string outside = elsewhere.File("precious.txt");
    WriteFile(outside, "precious");
    const std::string page = dir.File("00001.html");
    fs::create_symlink(outside, page);
    EXPECT_EQ(WriteWhole(page, "page"), OutputFile::Outcome::Written);
    EXPECT_EQ(ReadFile(outside), "precious");
    EXPECT_TRUE(S_ISREG(StatOf(page).st_mode));
    EXPECT_EQ(ReadFile(page), "page");

    // Even when the link's file already holds the page's bytes.
    fs::remove(page);
    WriteFile(outside, "page");
    fs::create_symlink(outside, page);
    EXPECT_EQ(WriteWhole(page, "page"), OutputFile::Outcome::Written);
    EXPECT_TRUE(S_ISREG(StatOf(page).st_mode));
}

TEST(OutputFileTest, TargetsThatCannotBeWrittenFailWithTheReasonAndTouchNothing)
{
    const TempDir dir;
    fs::create_directory(dir.File("folder.html"));
    ASSERT_EQ(::mkfifo(dir.File("fifo.html").c_str(), 0666), 0);
    struct Case {
        std::string path;
        std::string reason;
    };
    const std::vector<Case> cases{
        {dir.File("folder.html"), "is a folder or a special file"},
        {dir.File("fifo.html"), "is a folder or a special file"},
        {dir.File("missing/page.html"), "No such file or directory"},
        {dir.File("x.html") + std::string(1, '\0') + "/y", "Invalid argument"},
        {"", "Invalid argument"},
    };
    for (const Case& c : cases) {
        OutputFile file(c.path, OutputFile::Mode::Binary);
        file.Write("bytes");
        EXPECT_EQ(file.Commit(), OutputFile::Outcome::Failed) << c.path;
        EXPECT_FALSE(file.Ok());
        EXPECT_EQ(file.Error(), c.reason) << c.path;
    }
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"fifo.html", "folder.html"}));
    EXPECT_TRUE(fs::is_directory(dir.File("folder.html")));
}

// A full disk: the old page stays as it was, a new page never appears, no
// temporary file is left, and the reason is the system's.
void ExpectFullDiskHandled(const std::string& folder)
{
    const std::string oldPage = folder + "/old.html";
    WriteFile(oldPage, "the old page");
    const std::string large(200 * 1024, 'L');
    EXPECT_EQ(WriteWhole(oldPage, large), OutputFile::Outcome::Failed);
    EXPECT_EQ(ReadFile(oldPage), "the old page");

    OutputFile fresh(folder + "/new.html", OutputFile::Mode::Binary);
    fresh.Write(large);
    EXPECT_EQ(fresh.Commit(), OutputFile::Outcome::Failed);
    EXPECT_EQ(fresh.Error(), "No space left on device");
    EXPECT_EQ(Names(folder), std::vector<std::string>{"old.html"});
}

TEST(OutputFileTest, FullDiskOnSmallTmpfs)
{
    const TempDir dir;
    const std::string mountPoint = dir.File("small");
    fs::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                     << "); FullDiskThroughWriteSeam covers the same case";
    ExpectFullDiskHandled(mountPoint);
    ::umount(mountPoint.c_str());
}

TEST(OutputFileTest, FullDiskThroughWriteSeam)
{
    const TempDir dir;
    SetWriteFaultForTesting(100 * 1024, ENOSPC);
    ExpectFullDiskHandled(dir.path().string());
    ClearWriteFaultForTesting();
}

}  // namespace
}  // namespace postloom::platform
