#include "core/platform/file_stamp.h"

#include "core/platform/file_system.h"
#include "core/platform/native_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace postloom::platform {

namespace {

FileStamp StampOf(const struct stat& st)
{
    return {static_cast<std::uint64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
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
    if (!detail::Passable(cp932Path) || ::lstat(NativePath(cp932Path).c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0)
        return std::nullopt;
    return StampOf(st);
}

Removal RemoveOutputFile(std::string_view cp932Path)
{
    if (!detail::Passable(cp932Path))
        return Removal::Failed;
    const std::string native = NativePath(cp932Path);
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0)
        return errno == ENOENT ? Removal::NotThere : Removal::Failed;
    if (!S_ISREG(st.st_mode))
        return Removal::NotAFile;
    // unlink never follows a link: should one have taken the file's place
    // since the lstat, the link itself goes, never what it points to.
    if (::unlink(native.c_str()) != 0)
        return errno == ENOENT ? Removal::NotThere : Removal::Failed;
    return Removal::Removed;
}

bool RemoveEmptyOutputFolder(std::string_view cp932Path)
{
    if (!detail::Passable(cp932Path))
        return false;
    const std::string native = NativePath(cp932Path);
    struct stat st {};
    return ::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::rmdir(native.c_str()) == 0;
}

}  // namespace postloom::platform
