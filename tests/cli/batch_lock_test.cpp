// postloom-batch and the project's lock: it waits for another unattended
// run, goes on beside a desktop window that has the project open (saying
// so), and takes over the lock of a process that has ended.

#include "batch_runner.h"

#include "core/platform/project_lock.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace postloom::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path CopySample(const TempDir& dir)
{
    const fs::path target = dir.path() / "sample";
    fs::copy(fs::path(EXAMPLES_DIR) / "sample", target, fs::copy_options::recursive);
    fs::remove_all(target / "site");
    return target;
}

std::string HostName()
{
    struct utsname names {};
    return ::uname(&names) == 0 ? names.nodename : "";
}

TEST(BatchLockTest, AWindowThatHasTheProjectOpenIsToldOfAndTheRunGoesOn)
{
    TempDir dir;
    const fs::path sample = CopySample(dir);
    const std::string lockPath = (sample / "sample.plp.lock").string();
    // What a window's QLockFile writes and holds; this process stands for
    // the window.
    const std::string window = std::to_string(::getpid()) + "\n" +
                               fs::read_symlink("/proc/self/exe").filename().string() + "\n" + HostName() + "\n";
    WriteFile(lockPath, window);
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(0, ::flock(fd, LOCK_EX | LOCK_NB));

    const RunOutput run = RunBatchTool(sample, "-q sample.plp");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("postloom-batch: the project is open in a Postloom window (process " +
                           std::to_string(::getpid()) + " on " + HostName() +
                           "); the run goes on, and the window asks before it saves over what this run saves\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("43 mails read (43 new), 43 pages written"), std::string::npos) << run.err;
    EXPECT_EQ(window, ReadFile(lockPath));
    ::close(fd);
}

TEST(BatchLockTest, ASecondUnattendedRunWaitsUntilTheFirstEnds)
{
    TempDir dir;
    const fs::path sample = CopySample(dir);
    const std::string lockPath = (sample / "sample.plp.lock").string();
    // This process stands for the first run.
    auto first = std::make_unique<platform::RunLock>(platform::RunLock::Take(lockPath, {}));
    ASSERT_TRUE(first->held());

    std::atomic<bool> done{false};
    RunOutput second;
    std::thread run([&] {
        second = RunBatchTool(sample, "-q sample.plp");
        done = true;
    });
    std::this_thread::sleep_for(1500ms);
    // Nothing is read or written while the first run holds the project.
    EXPECT_FALSE(done);
    EXPECT_FALSE(fs::exists(sample / "site"));
    first.reset();
    run.join();
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.err.find("postloom-batch: waiting for another unattended run of the project to end (process " +
                              std::to_string(::getpid()) + " on " + HostName() + ")\n"),
              std::string::npos)
        << second.err;
    EXPECT_TRUE(fs::exists(sample / "site" / "index.html"));
    EXPECT_FALSE(fs::exists(lockPath));
}

TEST(BatchLockTest, TheLockOfAProcessThatEndedIsTakenOver)
{
    TempDir dir;
    const fs::path sample = CopySample(dir);
    const std::string lockPath = (sample / "sample.plp.lock").string();
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (const bool unattended : {false, true}) {
        WriteFile(lockPath, std::to_string(child) + "\npostloom\n" + HostName() + "\n\n\n" +
                                (unattended ? std::string(platform::kUnattendedRunMarker) + "\n" : ""));
        const RunOutput run = RunBatchTool(sample, "-q sample.plp");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err.find("window"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("waiting"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(lockPath));
    }
}

}  // namespace
}  // namespace postloom::test
