#include "core/platform/file_stamp.h"

#include "core/platform/file_system.h"
#include "core/platform/native_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

namespace postloom::platform {

namespace {

FileStamp StampOf(const struct stat& st)
{
    return {static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

// An output file is a regular file that nobody may execute, as the program
// writes them.
std::optional<FileStamp> OutputStampOf(const struct stat& st)
{
    if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0)
        return std::nullopt;
    return StampOf(st);
}

}  // namespace

std::optional<FileStamp> InputStamp(std::string_view cp932Path)
{
    struct stat st {};
    if (!detail::OnExistingPath(cp932Path, [&](const char* native) { return ::stat(native, &st) == 0; }) ||
        !S_ISREG(st.st_mode))
        return std::nullopt;
    return StampOf(st);
}

std::optional<FileStamp> OutputStamp(std::string_view cp932Path)
{
    struct stat st {};
    if (!detail::Passable(cp932Path) || ::lstat(NativePath(cp932Path).c_str(), &st) != 0)
        return std::nullopt;
    return OutputStampOf(st);
}

std::optional<FileStamp> OutputStampOfOpen(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return OutputStampOf(st);
}

FolderStamps::FolderStamps(std::string cp932Folder) : folder_(std::move(cp932Folder))
{
    // Only the spelling a full path tries first is held open; a file found
    // no other way is looked up by its full path, as before.
    if (detail::Passable(folder_))
        fd_ = ::open(folder_.empty() ? "." : NativePath(folder_).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

FolderStamps::~FolderStamps()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::string FolderStamps::Joined(std::string_view name) const
{
    if (folder_.empty())
        return std::string(name);
    std::string joined = folder_;
    if (!joined.ends_with('/'))
        joined.push_back('/');
    return joined.append(name);
}

std::optional<FileStamp> FolderStamps::Input(std::string_view name) const
{
    struct stat st {};
    if (fd_ < 0 || name.empty() || !detail::Passable(name) || ::fstatat(fd_, NativePath(name).c_str(), &st, 0) != 0)
        return InputStamp(Joined(name));
    if (!S_ISREG(st.st_mode))
        return std::nullopt;
    return StampOf(st);
}

std::optional<FileStamp> FolderStamps::Output(std::string_view relativePath) const
{
    struct stat st {};
    if (fd_ < 0 || relativePath.empty() || !detail::Passable(relativePath) ||
        ::fstatat(fd_, NativePath(relativePath).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return OutputStamp(Joined(relativePath));
    return OutputStampOf(st);
}

namespace {

// An open folder (never through a link, for a subfolder).
class OpenFolder {
public:
    OpenFolder(int at, const std::string& name, bool followLink)
        : fd_(::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW)))
    {
    }
    ~OpenFolder()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

}  // namespace

Removal RemoveOutputFile(std::string_view cp932Folder, std::string_view relativePath)
{
    if (!detail::Passable(cp932Folder) || !detail::Passable(relativePath))
        return Removal::Failed;
    const OpenFolder folder(AT_FDCWD, NativePath(cp932Folder), true);
    if (folder.fd() < 0)
        return errno == ENOENT ? Removal::NotThere : Removal::Failed;
    std::string name = NativePath(relativePath);
    std::optional<OpenFolder> subfolder;
    if (const std::size_t slash = name.find('/'); slash != std::string::npos) {
        subfolder.emplace(folder.fd(), name.substr(0, slash), false);
        if (subfolder->fd() < 0)
            return errno == ENOENT ? Removal::NotThere : errno == ELOOP || errno == ENOTDIR ? Removal::NotAFile
                                                                                              : Removal::Failed;
        name.erase(0, slash + 1);
    }
    const int at = subfolder ? subfolder->fd() : folder.fd();
    struct stat st {};
    if (::fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Removal::NotThere : Removal::Failed;
    if (!S_ISREG(st.st_mode))
        return Removal::NotAFile;
    // unlinkat never follows a link: should one have taken the file's
    // place since, the link itself goes, never what it points to.
    if (::unlinkat(at, name.c_str(), 0) != 0)
        return errno == ENOENT ? Removal::NotThere : Removal::Failed;
    return Removal::Removed;
}

bool RemoveEmptyOutputFolder(std::string_view cp932Folder, std::string_view subfolder)
{
    if (!detail::Passable(cp932Folder) || !detail::Passable(subfolder))
        return false;
    const OpenFolder folder(AT_FDCWD, NativePath(cp932Folder), true);
    const std::string name = NativePath(subfolder);
    struct stat st {};
    return folder.fd() >= 0 && ::fstatat(folder.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(st.st_mode) && ::unlinkat(folder.fd(), name.c_str(), AT_REMOVEDIR) == 0;
}

}  // namespace postloom::platform
