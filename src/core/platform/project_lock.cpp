#include "core/platform/project_lock.h"

#include "core/platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <thread>
#include <utility>
#include <vector>

namespace postloom::platform {

namespace {

// The lines of a lock file that QLockFile writes and reads, and ours.
struct LockInfo {
    LockOwner owner;
    std::string machineId;
    std::string bootId;
};

// The first bytes of a small file; empty when it cannot be read.
std::string ReadStart(const char* path, std::size_t most)
{
    const FileDescriptor fd(::open(path, O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return {};
    std::string bytes(most, '\0');
    ssize_t n = 0;
    do {
        n = ::read(fd.get(), bytes.data(), most);
    } while (n < 0 && errno == EINTR);
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return bytes;
}

// The three machine values are read where Qt reads them, so that each side
// knows the other's lock for one of this machine.
std::string MachineId()
{
    static const std::string id = [] {
        const std::string read = ReadStart("/var/lib/dbus/machine-id", 32);
        return read.empty() ? ReadStart("/usr/local/var/lib/dbus/machine-id", 32) : read;
    }();
    return id;
}

std::string BootId()
{
    constexpr std::size_t kUuidLength = 36;
    const std::string id = ReadStart("/proc/sys/kernel/random/boot_id", kUuidLength);
    return id.size() == kUuidLength ? id : std::string();
}

std::string HostName()
{
    struct utsname names {};
    return ::uname(&names) == 0 ? std::string(names.nodename) : std::string();
}

std::string BaseName(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The name of the program that process pid runs, as QLockFile compares it;
// "/ERROR/" when it cannot be told (the process is gone, or not ours to see).
std::string ProcessName(std::int64_t pid)
{
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    std::vector<char> target(4096);
    const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
    if (n <= 0)
        return "/ERROR/";
    std::string_view path(target.data(), static_cast<std::size_t>(n));
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted))
        path.remove_suffix(kDeleted.size());
    return BaseName(path);
}

std::string Contents(bool unattendedRun)
{
    std::string text = std::to_string(::getpid()) + "\n" + ProcessName(::getpid()) + "\n" + HostName() + "\n" +
                       MachineId() + "\n" + BootId() + "\n";
    if (unattendedRun)
        text.append(kUnattendedRunMarker).push_back('\n');
    return text;
}

// What the lock file says; pid 0 when it says nothing usable (gone, being
// written, or not a lock file).
LockInfo ReadInfo(const std::string& path)
{
    const std::string bytes = ReadStart(path.c_str(), 4096);
    std::vector<std::string_view> lines;
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        if (lf == std::string_view::npos)
            break;
        lines.push_back(rest.substr(0, lf));
        rest.remove_prefix(lf + 1);
    }
    lines.resize(std::max<std::size_t>(lines.size(), 6));
    LockInfo info;
    std::int64_t pid = 0;
    const std::string_view pidLine = lines[0];
    const auto [end, error] = std::from_chars(pidLine.data(), pidLine.data() + pidLine.size(), pid);
    if (pidLine.empty() || error != std::errc() || end != pidLine.data() + pidLine.size() || pid <= 0)
        return info;
    info.owner.pid = pid;
    info.owner.program = std::string(lines[1]);
    info.owner.host = std::string(lines[2]);
    info.machineId = std::string(lines[3]);
    info.bootId = std::string(lines[4]);
    info.owner.unattendedRun = lines[5] == kUnattendedRunMarker;
    return info;
}

// QLockFile's test: a lock of this machine whose process has ended (or
// whose id now belongs to another program, or that was taken before the
// machine last started). Age counts for nothing: a window keeps its
// project for hours.
bool ApparentlyStale(const LockInfo& info)
{
    bool sameHost = info.owner.host.empty() || info.owner.host == HostName();
    if (!info.machineId.empty() && !MachineId().empty())
        sameHost = info.machineId == MachineId();
    if (!sameHost)
        return false;
    if (!info.bootId.empty() && info.bootId != BootId())
        return true;
    if (::kill(static_cast<pid_t>(info.owner.pid), 0) == -1 && errno == ESRCH)
        return true;
    return ProcessName(info.owner.pid) != BaseName(info.owner.program);
}

// A new lock file at path holding contents, kept under flock(); invalid
// with errno set when it exists already or cannot be made.
FileDescriptor CreateLockFile(const std::string& path, const std::string& contents)
{
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid())
        return fd;
    // The lock that no other process can take while this one lives: it
    // tells a live holder from a stale file where process ids say nothing.
    ::flock(fd.get(), LOCK_EX | LOCK_NB);
    if (!WriteAll(fd.get(), contents)) {
        const int error = errno;
        ::unlink(path.c_str());
        errno = error;
        return FileDescriptor();
    }
    ::fdatasync(fd.get());
    return fd;
}

// Whether a live process holds the flock() of the open lock file fd. A file
// system without flock() tells nothing: the process id has the last word.
bool HeldByAProcess(int fd)
{
    return ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

enum class Removal { Removed, InUse, Busy };

// Removes the stale lock file at path, as QLockFile does: under the lock
// "PATH.rmlock", so that two processes never both remove it, and only while
// no process holds the file's flock().
Removal RemoveStale(const std::string& path)
{
    const std::string guardPath = path + ".rmlock";
    const FileDescriptor guard = CreateLockFile(guardPath, Contents(false));
    if (!guard.valid()) {
        // A remover that died leaves its guard: that is stale in turn.
        if (errno == EEXIST && ApparentlyStale(ReadInfo(guardPath))) {
            const FileDescriptor old(::open(guardPath.c_str(), O_WRONLY | O_CLOEXEC));
            if (old.valid() && !HeldByAProcess(old.get()))
                ::unlink(guardPath.c_str());
        }
        return Removal::Busy;
    }
    Removal result = Removal::InUse;
    const LockInfo info = ReadInfo(path);
    const FileDescriptor old(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!old.valid() && errno == ENOENT)
        result = Removal::Removed;
    else if (old.valid() && (info.owner.pid == 0 || ApparentlyStale(info)) && !HeldByAProcess(old.get()) &&
             ::unlink(path.c_str()) == 0)
        result = Removal::Removed;
    ::unlink(guardPath.c_str());
    return result;
}

// Waits for pause, or less when stop is set meanwhile.
void Pause(const RunLockWait& wait)
{
    constexpr std::chrono::milliseconds kSlice{20};
    for (auto left = wait.pause; left.count() > 0 && !(wait.stop != nullptr && *wait.stop); left -= kSlice)
        std::this_thread::sleep_for(std::min(left, kSlice));
}

}  // namespace

std::string ProjectLockFile(std::string_view nativeProjectPath)
{
    return std::string(nativeProjectPath) + ".lock";
}

LockOwner ReadLockOwner(const std::string& nativeLockPath)
{
    return ReadInfo(nativeLockPath).owner;
}

RunLock RunLock::Take(const std::string& nativeLockPath, const RunLockWait& wait)
{
    // A file that says nothing is most likely being written: its maker
    // holds it already. Only after a few looks is it taken for a window's.
    constexpr int kLooksAtAnUnreadableFile = 5;
    int unreadableLooks = 0;
    bool toldOfWait = false;
    RunLock lock;
    for (;;) {
        if (wait.stop != nullptr && *wait.stop) {
            lock.state_ = RunLockState::Stopped;
            return lock;
        }
        FileDescriptor fd = CreateLockFile(nativeLockPath, Contents(true));
        if (fd.valid()) {
            lock.state_ = RunLockState::Held;
            lock.fd_ = fd.release();
            lock.path_ = nativeLockPath;
            return lock;
        }
        if (errno != EEXIST) {
            lock.error_ = errno;
            return lock;
        }
        const LockInfo info = ReadInfo(nativeLockPath);
        const bool unreadable = info.owner.pid == 0;
        if (unreadable && ++unreadableLooks == 1) {
            Pause(wait);
            continue;
        }
        if (unreadable || ApparentlyStale(info)) {
            const Removal removal = RemoveStale(nativeLockPath);
            if (removal == Removal::Removed)
                continue;
            if (removal == Removal::Busy || (unreadable && unreadableLooks < kLooksAtAnUnreadableFile)) {
                Pause(wait);
                continue;
            }
        }
        if (!info.owner.unattendedRun) {
            lock.state_ = RunLockState::WindowHolds;
            lock.window_ = info.owner;
            return lock;
        }
        if (!toldOfWait && wait.onWait)
            wait.onWait(info.owner);
        toldOfWait = true;
        Pause(wait);
    }
}

RunLock::RunLock(RunLock&& other) noexcept
    : state_(other.state_),
      fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      window_(std::move(other.window_)),
      error_(other.error_)
{
    other.state_ = RunLockState::NotPossible;
}

RunLock& RunLock::operator=(RunLock&& other) noexcept
{
    if (this != &other) {
        release();
        state_ = std::exchange(other.state_, RunLockState::NotPossible);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        window_ = std::move(other.window_);
        error_ = other.error_;
    }
    return *this;
}

RunLock::~RunLock()
{
    release();
}

void RunLock::release() noexcept
{
    if (fd_ < 0)
        return;
    // Removed before it is closed: while the file exists, its flock() says
    // that it is held.
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

}  // namespace postloom::platform
