#pragma once

// The lock of a project as an unattended run takes it. A project's lock is
// the file "NAME.plp.lock" beside it, the same file that the desktop
// program's windows hold through Qt's QLockFile, in the same format: the
// lines are the process id, the program's name, the host name, the machine
// id and the boot id, and the holder keeps an flock() on the file while it
// holds it. An unattended run writes one more line, kUnattendedRunMarker, by
// which another run tells it from a window: a run waits for another run,
// and goes on beside a window (whose own check of the project file on disk
// keeps its work), since a nightly job must not stop because a window was
// left open. A lock whose holder no longer runs on this machine is taken
// over, as QLockFile takes it over.

#include "core/platform/job_control.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace postloom::platform {

// The sixth line of the lock file of an unattended run.
inline constexpr std::string_view kUnattendedRunMarker = "postloom unattended run";

// Who holds a lock file, as it says.
struct LockOwner {
    std::int64_t pid = 0;  // 0 when the file does not say
    std::string program;
    std::string host;
    bool unattendedRun = false;
};

// What taking the lock came to.
enum class RunLockState {
    Held,         // this run holds it until the RunLock ends
    WindowHolds,  // a desktop window holds it: the run goes on without it
    NotPossible,  // no lock file could be made there (error says why)
    Stopped,      // the stop flag ended the wait for another run
};

struct RunLockWait;

class RunLock {
public:
    // Takes the lock file at nativeLockPath for an unattended run: waits
    // while another unattended run holds it, takes over a stale one, and
    // leaves a window's lock as it is (WindowHolds).
    static RunLock Take(const std::string& nativeLockPath, const RunLockWait& wait);

    RunLock() = default;
    RunLock(RunLock&& other) noexcept;
    RunLock& operator=(RunLock&& other) noexcept;
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;
    // Releases a held lock: the file is removed.
    ~RunLock();

    RunLockState state() const { return state_; }
    bool held() const { return state_ == RunLockState::Held; }
    // The window's lock, with WindowHolds.
    const LockOwner& window() const { return window_; }
    // errno of the failure, with NotPossible.
    int error() const { return error_; }

private:
    void release() noexcept;

    RunLockState state_ = RunLockState::NotPossible;
    int fd_ = -1;
    std::string path_;  // native; of a held lock only
    LockOwner window_;
    int error_ = 0;
};

struct RunLockWait {
    // Called once, before the first wait, with the run that holds the lock.
    std::function<void(const LockOwner&)> onWait;
    // Tested between tries; set, the wait ends with Stopped.
    const StopFlag* stop = nullptr;
    // The pause between two tries.
    std::chrono::milliseconds pause{200};
};

// The lock file of the project file at nativeProjectPath (as the system
// names it).
std::string ProjectLockFile(std::string_view nativeProjectPath);

// What the lock file at nativeLockPath says of its holder; pid 0 when it
// does not exist or says nothing usable.
LockOwner ReadLockOwner(const std::string& nativeLockPath);

}  // namespace postloom::platform
