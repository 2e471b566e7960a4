#include "core/platform/output_file.h"

#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/platform/fresh_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace postloom::platform {

namespace {

// Pages are written (or compared) in pieces of this size.
constexpr std::size_t kPiece = 256 * 1024;

// error_ value for a target that is a folder or a special file.
constexpr int kNotAFile = -1;

std::atomic<std::int64_t> faultBudget{-1};
std::atomic<int> faultError{0};

// Every byte out, or false with errno set; honours the test seam.
bool WriteOut(int fd, std::string_view bytes)
{
    if (faultBudget.load() < 0)
        return WriteAll(fd, bytes);
    const std::int64_t before = faultBudget.fetch_sub(static_cast<std::int64_t>(bytes.size()));
    const auto allowed = static_cast<std::size_t>(std::clamp<std::int64_t>(before, 0, static_cast<std::int64_t>(bytes.size())));
    if (!WriteAll(fd, bytes.substr(0, allowed)))
        return false;
    if (allowed < bytes.size()) {
        faultBudget = 0;
        errno = faultError.load();
        return false;
    }
    return true;
}

// Whether the file at fd holds bytes from offset on, read in pieces into
// one buffer per thread, not one per file.
bool HoldsAt(int fd, std::uint64_t offset, std::string_view bytes)
{
    thread_local std::string old(kPiece, '\0');
    for (std::size_t done = 0; done < bytes.size(); done += old.size()) {
        const std::size_t size = std::min(old.size(), bytes.size() - done);
        if (!ReadExactly(fd, offset + done, old.data(), size) || std::memcmp(old.data(), bytes.data() + done, size) != 0)
            return false;
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void AppendCrlf(std::string_view text, std::string& out)
{
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            out.append(text.substr(start));
            break;
        }
        out.append(text.substr(start, lf - start)).append("\r\n");
        start = lf + 1;
    }
}

bool HoldsExactly(std::string_view cp932Path, std::string_view bytes)
{
    if (cp932Path.empty() || cp932Path.find('\0') != std::string_view::npos)
        return false;
    const FileDescriptor fd(::open(NativePath(cp932Path).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    return fd.valid() && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
           static_cast<std::uint64_t>(st.st_size) == bytes.size() && HoldsAt(fd.get(), 0, bytes);
}

void SetWriteFaultForTesting(std::uint64_t bytes, int error)
{
    faultError = error;
    faultBudget = static_cast<std::int64_t>(bytes);
}

void ClearWriteFaultForTesting()
{
    faultBudget = -1;
}

OutputFile::OutputFile(std::string_view cp932Path, Mode mode, Target target) : mode_(mode)
{
    if (cp932Path.empty() || cp932Path.find('\0') != std::string_view::npos) {
        Fail(EINVAL);
        return;
    }
    target_ = NativePath(cp932Path);
    folder_ = FolderOf(target_);
    if (target == Target::Absent) {
        StartNewFile();
        return;
    }
    struct stat st {};
    if (::lstat(target_.c_str(), &st) != 0) {
        // A new file: made at once, so that a missing folder shows before
        // any work is done for the file.
        if (errno == ENOENT)
            StartNewFile();
        else
            Fail(errno);
        return;
    }
    targetExists_ = true;
    if (S_ISLNK(st.st_mode))
        return;  // the link is replaced, whatever it points to
    if (!S_ISREG(st.st_mode)) {
        Fail(kNotAFile);
        return;
    }
    oldMode_ = st.st_mode & 07777;
    oldSize_ = static_cast<std::uint64_t>(st.st_size);
    oldFd_ = ::open(target_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (oldFd_ >= 0)
        state_ = State::Comparing;
}

OutputFile::~OutputFile()
{
    Discard();
}

void OutputFile::Write(std::string_view bytes)
{
    if (state_ == State::Done)
        return;
    if (mode_ == Mode::Binary)
        pending_.append(bytes);
    else
        AppendCrlf(bytes, pending_);
    if (pending_.size() >= kPiece)
        Flush();
}

void OutputFile::WriteMoved(std::string&& bytes)
{
    if (state_ == State::Done)
        return;
    if (mode_ == Mode::Text || !pending_.empty()) {
        Write(bytes);
        return;
    }
    pending_ = std::move(bytes);
    if (pending_.size() >= kPiece)
        Flush();
}

void OutputFile::Flush()
{
    if (state_ == State::Comparing) {
        if (MatchesOld(pending_)) {
            matched_ += pending_.size();
            pending_.clear();
            return;
        }
        StartNewFile();
        if (state_ == State::Done || !CopyMatchedPrefix())
            return;
        state_ = State::Writing;
    } else if (newFd_ < 0) {
        StartNewFile();
    }
    WritePending();
}

bool OutputFile::MatchesOld(std::string_view bytes)
{
    return matched_ + bytes.size() <= oldSize_ && HoldsAt(oldFd_, matched_, bytes);
}

void OutputFile::StartNewFile()
{
    FreshFile fresh = OpenFreshFile(folder_);
    if (fresh.fd < 0) {
        Fail(fresh.error);
        return;
    }
    newFd_ = fresh.fd;
    anonymous_ = fresh.anonymous;
    temporary_ = std::move(fresh.temporary);
    // A replaced file keeps its permissions.
    if (oldMode_ != 0 && ::fchmod(newFd_, oldMode_) != 0)
        Fail(errno);
}

bool OutputFile::CopyMatchedPrefix()
{
    std::string piece(static_cast<std::size_t>(std::min<std::uint64_t>(matched_, kPiece)), '\0');
    for (std::uint64_t done = 0; done < matched_;) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), matched_ - done));
        if (!ReadExactly(oldFd_, done, piece.data(), size)) {
            Fail(errno);
            return false;
        }
        if (!WriteOut(newFd_, std::string_view(piece.data(), size))) {
            Fail(errno);
            return false;
        }
        done += size;
    }
    ::close(oldFd_);
    oldFd_ = -1;
    return true;
}

void OutputFile::WritePending()
{
    if (state_ == State::Done)
        return;
    if (!WriteOut(newFd_, pending_)) {
        Fail(errno);
        return;
    }
    pending_.clear();
}

OutputFile::Outcome OutputFile::Commit()
{
    if (state_ == State::Comparing) {
        if (matched_ + pending_.size() == oldSize_ && MatchesOld(pending_)) {
            stamp_ = OutputStampOfOpen(oldFd_);
            CloseAll();
            state_ = State::Done;
            return Outcome::Unchanged;
        }
        StartNewFile();
        if (state_ == State::Done || !CopyMatchedPrefix())
            return Outcome::Failed;
        state_ = State::Writing;
    }
    if (state_ == State::Done)
        return Outcome::Failed;
    if (newFd_ < 0)
        StartNewFile();
    WritePending();
    if (state_ == State::Done)
        return Outcome::Failed;
    stamp_ = OutputStampOfOpen(newFd_);
    // close(2) can be the first to report a full disk on some file systems;
    // an anonymous file stays open until it is linked into place.
    if (!anonymous_ && ::close(std::exchange(newFd_, -1)) != 0) {
        Fail(errno);
        return Outcome::Failed;
    }
    if (!PutInPlace())
        return Outcome::Failed;
    CloseAll();
    state_ = State::Done;
    return Outcome::Written;
}

bool OutputFile::PutInPlace()
{
    if (anonymous_) {
        if (!targetExists_) {
            if (LinkAnonymous(newFd_, target_))
                return true;
            if (errno != EEXIST) {
                Fail(errno);
                return false;
            }
        }
        // A file is already there: give the new one a name, then rename it
        // over the old one in one step.
        for (int attempt = 0; temporary_.empty() && attempt < 100; ++attempt) {
            std::string name = TemporaryName(folder_);
            if (LinkAnonymous(newFd_, name))
                temporary_ = std::move(name);
            else if (errno != EEXIST) {
                Fail(errno);
                return false;
            }
        }
        if (temporary_.empty()) {
            Fail(EEXIST);
            return false;
        }
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        Fail(errno);
        return false;
    }
    temporary_.clear();
    return true;
}

void OutputFile::Discard()
{
    CloseAll();
    state_ = State::Done;
}

void OutputFile::Fail(int error)
{
    error_ = error;
    stamp_.reset();
    CloseAll();
    state_ = State::Done;
}

void OutputFile::CloseAll()
{
    if (oldFd_ >= 0)
        ::close(oldFd_);
    if (newFd_ >= 0)
        ::close(newFd_);
    oldFd_ = newFd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    pending_.clear();
}

std::string OutputFile::Error() const
{
    return ReasonText(error_ == kNotAFile ? FileError{0, true} : FileError{error_, false});
}

}  // namespace postloom::platform
