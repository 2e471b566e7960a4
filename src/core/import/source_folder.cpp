#include "core/import/source_folder.h"

#include "core/html/output_paths.h"
#include "core/platform/native_path.h"
#include "core/text/codec.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace postloom {

namespace {

SourceFolder::Kind KindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return SourceFolder::Kind::File;
    if (S_ISDIR(mode))
        return SourceFolder::Kind::Folder;
    if (S_ISLNK(mode))
        return SourceFolder::Kind::Link;
    return SourceFolder::Kind::Other;
}

}  // namespace

std::optional<SourceFolder> SourceFolder::Open(std::string_view cp932Path)
{
    int fd = -1;
    const auto openFolder = [&](const char* native) {
        fd = ::open(native, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        return fd >= 0;
    };
    if (!platform::detail::OnExistingPath(cp932Path.empty() ? std::string_view(".") : cp932Path, openFolder))
        return std::nullopt;
    return SourceFolder(platform::FileDescriptor(fd), std::string(cp932Path));
}

std::string SourceFolder::PathOf(const Entry& entry) const
{
    return JoinPath(path_, entry.name);
}

std::optional<SourceFolder::Kind> SourceFolder::KindOf(std::string_view native) const
{
    struct stat st {};
    if (::fstatat(fd_.get(), std::string(native).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return KindOfMode(st.st_mode);
}

std::optional<SourceFolder> SourceFolder::OpenFolder(const Entry& entry) const
{
    const int fd = ::openat(fd_.get(), entry.native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    return SourceFolder(platform::FileDescriptor(fd), PathOf(entry));
}

std::optional<std::vector<SourceFolder::Entry>> SourceFolder::List() const
{
    // The listing reads through a descriptor of its own: closedir closes it.
    const int fd = ::openat(fd_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), &::closedir);
    if (!dir) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<Entry> entries;
    errno = 0;
    while (const dirent* found = ::readdir(dir.get())) {
        const std::string_view native = found->d_name;
        if (native == "." || native == "..")
            continue;
        Entry entry{std::string(native), text::Utf8ToCp932(native), Kind::Other};
        switch (found->d_type) {
        case DT_REG:
            entry.kind = Kind::File;
            break;
        case DT_DIR:
            entry.kind = Kind::Folder;
            break;
        case DT_LNK:
            entry.kind = Kind::Link;
            break;
        case DT_UNKNOWN:
            entry.kind = KindOf(native).value_or(Kind::Other);
            break;
        default:
            break;
        }
        entries.push_back(std::move(entry));
        errno = 0;
    }
    if (errno != 0)
        return std::nullopt;
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.native < b.native; });
    return entries;
}

std::optional<platform::ReadableFile> SourceFolder::OpenFile(const Entry& entry, platform::FileError& error) const
{
    error = {};
    // O_NONBLOCK keeps a FIFO from blocking the open; AdoptReadable refuses it.
    const int fd = ::openat(fd_.get(), entry.native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error.code = errno;
        return std::nullopt;
    }
    return platform::AdoptReadable(fd, error);
}

std::optional<std::int64_t> SourceFolder::ModificationTime(const Entry& entry) const
{
    struct stat st {};
    if (::fstatat(fd_.get(), entry.native.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtime);
}

}  // namespace postloom
