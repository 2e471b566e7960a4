#include "core/platform/project_lock.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

namespace postloom::platform {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using namespace std::chrono_literals;

std::string OwnProgram()
{
    return std::filesystem::read_symlink("/proc/self/exe").filename().string();
}

std::string HostName()
{
    struct utsname names {};
    return ::uname(&names) == 0 ? names.nodename : "";
}

pid_t EndedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// A lock file as a window's QLockFile writes it (without machine and boot
// id, as Qt before 5.10 wrote it), held the way QLockFile holds it.
class WindowLock {
public:
    WindowLock(const std::string& path, std::int64_t pid, const std::string& program, const std::string& host)
    {
        WriteFile(path, std::to_string(pid) + "\n" + program + "\n" + host + "\n");
        fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        ::flock(fd_, LOCK_EX | LOCK_NB);
    }
    ~WindowLock() { ::close(fd_); }
    WindowLock(const WindowLock&) = delete;
    WindowLock& operator=(const WindowLock&) = delete;

private:
    int fd_ = -1;
};

RunLockWait Quick()
{
    RunLockWait wait;
    wait.pause = 10ms;
    return wait;
}

TEST(ProjectLockTest, ARunHoldsTheLockInQtsFormatWithItsMarkerUntilItEnds)
{
    TempDir dir;
    const std::string path = ProjectLockFile(dir.File("p.plp"));
    EXPECT_EQ(dir.File("p.plp.lock"), path);
    {
        const RunLock lock = RunLock::Take(path, Quick());
        ASSERT_EQ(RunLockState::Held, lock.state());
        const std::string text = ReadFile(path);
        EXPECT_EQ(0u, text.find(std::to_string(::getpid()) + "\n" + OwnProgram() + "\n" + HostName() + "\n")) << text;
        EXPECT_TRUE(text.ends_with("\n" + std::string(kUnattendedRunMarker) + "\n")) << text;
        const LockOwner owner = ReadLockOwner(path);
        EXPECT_EQ(::getpid(), owner.pid);
        EXPECT_TRUE(owner.unattendedRun);
        // Held under flock(), as QLockFile holds its file.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_NE(0, ::flock(fd, LOCK_EX | LOCK_NB));
        ::close(fd);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ProjectLockTest, AWindowsLockIsLeftAsItIsAndTheRunGoesOn)
{
    TempDir dir;
    const std::string path = dir.File("p.plp.lock");
    const WindowLock window(path, ::getpid(), OwnProgram(), HostName());
    const std::string before = ReadFile(path);
    const RunLock lock = RunLock::Take(path, Quick());
    EXPECT_EQ(RunLockState::WindowHolds, lock.state());
    EXPECT_EQ(::getpid(), lock.window().pid);
    EXPECT_EQ(HostName(), lock.window().host);
    EXPECT_FALSE(lock.window().unattendedRun);
    EXPECT_EQ(before, ReadFile(path));

    // A lock of another machine tells nothing about its process here.
    const std::string elsewhere = dir.File("q.plp.lock");
    WriteFile(elsewhere, std::to_string(EndedProcess()) + "\npostloom\nelsewhere\nffffffffffffffffffffffffffffffff\n\n");
    EXPECT_EQ(RunLockState::WindowHolds, RunLock::Take(elsewhere, Quick()).state());
    EXPECT_TRUE(std::filesystem::exists(elsewhere));
}

TEST(ProjectLockTest, StaleLocksAreTakenOver)
{
    TempDir dir;
    const std::string path = dir.File("p.plp.lock");
    const std::string host = HostName();
    const std::string ended = std::to_string(EndedProcess());
    const std::vector<std::pair<std::string, std::string>> stale = {
        {"a window that ended", ended + "\npostloom\n" + host + "\n"},
        {"a run that ended", ended + "\npostloom-batch\n" + host + "\n\n\n" + std::string(kUnattendedRunMarker) + "\n"},
        {"a process id now used by another program", std::to_string(::getpid()) + "\nnot-this-program\n" + host + "\n"},
        {"a lock from before the machine started", std::to_string(::getpid()) + "\n" + OwnProgram() + "\n" + host +
                                                       "\n\n00000000-0000-0000-0000-000000000000\n"},
        {"a file that says nothing", ""},
    };
    for (const auto& [what, text] : stale) {
        SCOPED_TRACE(what);
        WriteFile(path, text);
        const RunLock lock = RunLock::Take(path, Quick());
        ASSERT_EQ(RunLockState::Held, lock.state());
        EXPECT_EQ(::getpid(), ReadLockOwner(path).pid);
        EXPECT_FALSE(std::filesystem::exists(path + ".rmlock"));
    }
}

TEST(ProjectLockTest, ALiveHolderIsNeverRemoved)
{
    TempDir dir;
    const std::string path = dir.File("p.plp.lock");
    // Its process id looks stale, but the file is held.
    const WindowLock window(path, EndedProcess(), "postloom", HostName());
    const std::string before = ReadFile(path);
    EXPECT_EQ(RunLockState::WindowHolds, RunLock::Take(path, Quick()).state());
    EXPECT_EQ(before, ReadFile(path));

    // A file being written says nothing yet: after a few looks it counts
    // as a window's.
    const std::string written = dir.File("q.plp.lock");
    WriteFile(written, "");
    const int fd = ::open(written.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(0, ::flock(fd, LOCK_EX | LOCK_NB));
    const RunLock lock = RunLock::Take(written, Quick());
    EXPECT_EQ(RunLockState::WindowHolds, lock.state());
    EXPECT_EQ(0, lock.window().pid);
    EXPECT_TRUE(std::filesystem::exists(written));
    ::close(fd);
}

TEST(ProjectLockTest, ASecondRunWaitsUntilTheFirstEnds)
{
    TempDir dir;
    const std::string path = dir.File("p.plp.lock");
    auto first = std::make_unique<RunLock>(RunLock::Take(path, Quick()));
    ASSERT_TRUE(first->held());

    std::atomic<int> told{0};
    std::atomic<bool> done{false};
    RunLockState second = RunLockState::NotPossible;
    std::thread waiting([&] {
        RunLockWait wait = Quick();
        wait.onWait = [&](const LockOwner& run) {
            EXPECT_EQ(::getpid(), run.pid);
            EXPECT_TRUE(run.unattendedRun);
            ++told;
        };
        const RunLock lock = RunLock::Take(path, wait);
        second = lock.state();
        done = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(done);
    first.reset();
    waiting.join();
    EXPECT_EQ(RunLockState::Held, second);
    EXPECT_EQ(1, told);
}

TEST(ProjectLockTest, TheStopFlagEndsTheWait)
{
    TempDir dir;
    const std::string path = dir.File("p.plp.lock");
    const RunLock first = RunLock::Take(path, Quick());
    StopFlag stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop = true;
    });
    RunLockWait wait = Quick();
    wait.stop = &stop;
    EXPECT_EQ(RunLockState::Stopped, RunLock::Take(path, wait).state());
    stopper.join();
    EXPECT_TRUE(first.held());
}

TEST(ProjectLockTest, NoLockWhereNoFileCanBeMade)
{
    TempDir dir;
    const RunLock lock = RunLock::Take(dir.File("missing/p.plp.lock"), Quick());
    EXPECT_EQ(RunLockState::NotPossible, lock.state());
    EXPECT_EQ(ENOENT, lock.error());
}

}  // namespace
}  // namespace postloom::platform
