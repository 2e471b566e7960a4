#include "core/platform/new_file.h"

#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/platform/fresh_file.h"
#include "core/platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace postloom::platform {


NewFile::NewFile(std::string_view cp932Folder)
{
    if (cp932Folder.empty() || cp932Folder.find('\0') != std::string_view::npos) {
        Fail(EINVAL);
        return;
    }
    folder_ = NativePath(cp932Folder);
    FreshFile fresh = OpenFreshFile(folder_);
    if (fresh.fd < 0) {
        Fail(fresh.error);
        return;
    }
    fd_ = fresh.fd;
    anonymous_ = fresh.anonymous;
    temporary_ = std::move(fresh.temporary);
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
        if (LinkAnonymous(fd_, target)) {
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
