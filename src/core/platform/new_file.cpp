#include "core/platform/new_file.h"

#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

namespace postloom::platform {

namespace {

// Anonymous files are linked into place through /proc, which a container
// may lack; without it the content gets a temporary name instead.
bool AnonymousFilesUsable()
{
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

std::string TemporaryName(const std::string& folder)
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = folder + "/" + std::string(kOutputTemporaryPrefix);
    for (std::uint64_t bits = random(), k = 0; k < 12; ++k, bits >>= 4)
        name.push_back(kHex[bits & 15]);
    return name;
}

}  // namespace

NewFile::NewFile(std::string_view cp932Folder)
{
    if (cp932Folder.empty() || cp932Folder.find('\0') != std::string_view::npos) {
        Fail(EINVAL);
        return;
    }
    folder_ = NativePath(cp932Folder);
    if (AnonymousFilesUsable()) {
        fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            anonymous_ = true;
            return;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            Fail(errno);
            return;
        }
    }
    for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
        temporary_ = TemporaryName(folder_);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) {
            temporary_.clear();
            Fail(errno);
            return;
        }
    }
    if (fd_ < 0) {
        temporary_.clear();
        Fail(EEXIST);
    }
}

NewFile::~NewFile()
{
    CloseAll();
}

void NewFile::Write(std::string_view bytes)
{
    if (error_ != 0 || fd_ < 0 || closed_)
        return;
    if (!WriteAll(fd_, bytes))
        Fail(errno);
}

NewFile::Outcome NewFile::Commit(std::string_view cp932Name)
{
    if (error_ != 0 || (fd_ < 0 && temporary_.empty()))
        return Outcome::Failed;  // failed before, or already committed
    if (cp932Name.empty() || cp932Name.find('\0') != std::string_view::npos ||
        cp932Name.find('/') != std::string_view::npos) {
        Fail(EINVAL);
        return Outcome::Failed;
    }
    const std::string target = folder_ + "/" + NativePath(cp932Name);
    if (anonymous_) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            // The file has its name; a failing close can no longer cut it.
            CloseAll();
            return Outcome::Written;
        }
        if (errno == EEXIST)
            return Outcome::NameTaken;
        Fail(errno);
        return Outcome::Failed;
    }
    // close(2) can be the first to report a full disk on some file systems.
    if (!closed_) {
        closed_ = true;
        if (::close(std::exchange(fd_, -1)) != 0) {
            Fail(errno);
            return Outcome::Failed;
        }
    }
    return LinkNamed(target);
}

NewFile::Outcome NewFile::LinkNamed(const std::string& target)
{
    if (::link(temporary_.c_str(), target.c_str()) == 0) {
        CloseAll();
        return Outcome::Written;
    }
    if (errno == EEXIST)
        return Outcome::NameTaken;
    // A file system without hard links: a rename that refuses to replace.
    if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS) {
        if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            temporary_.clear();
            CloseAll();
            return Outcome::Written;
        }
        if (errno == EEXIST)
            return Outcome::NameTaken;
    }
    Fail(errno);
    return Outcome::Failed;
}

void NewFile::Fail(int error)
{
    error_ = error;
    CloseAll();
}

void NewFile::CloseAll()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
}

std::string NewFile::Error() const
{
    return ReasonText(FileError{error_, false});
}

}  // namespace postloom::platform
