#include "core/platform/stale_temporaries.h"

#include "core/platform/file_system.h"
#include "core/platform/fresh_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace postloom::platform {

namespace {

// File times may lag behind the clock by a tick of the file system's
// clock (or of the server's, on NFS).
constexpr std::chrono::seconds kMargin{2};

struct DirCloser {
    void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// The folder open as fd, as a listing; fd is taken over (closed on failure).
DirHandle ListingOf(int fd)
{
    if (fd < 0)
        return nullptr;
    DirHandle dir(::fdopendir(fd));
    if (!dir)
        ::close(fd);
    return dir;
}

DirHandle OpenFolder(std::string_view cp932Folder)
{
    if (cp932Folder.empty() || cp932Folder.find('\0') != std::string_view::npos)
        return nullptr;
    return ListingOf(::open(NativePath(cp932Folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

bool LastWrittenBefore(const struct stat& st, std::chrono::system_clock::time_point runStart)
{
    const auto written = std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
    return written + kMargin < runStart;
}

// Removes the stale temporaries among names, in the folder open as fd.
std::size_t RemoveStale(int fd, const std::vector<std::string>& names, std::chrono::system_clock::time_point runStart)
{
    std::size_t removed = 0;
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            LastWrittenBefore(st, runStart) && ::unlinkat(fd, name.c_str(), 0) == 0)
            ++removed;
    }
    return removed;
}

// Lists dir once for its temporary names and, with a suffix, the names of
// the folders in it that end in suffix. Names first, removal after: a
// folder changed while it is read may list an entry twice or not at all.
std::vector<std::string> Temporaries(DIR* dir, std::string_view suffix, std::vector<std::string>& subfolders)
{
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (IsTemporaryName(entry->d_name))
            names.emplace_back(name);
        else if (!suffix.empty() && (entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN) &&
                 name.ends_with(suffix) && name != "." && name != "..")
            subfolders.emplace_back(name);
    }
    return names;
}

}  // namespace

std::size_t RemoveStaleTemporaries(std::string_view cp932Folder, std::chrono::system_clock::time_point runStart)
{
    const DirHandle dir = OpenFolder(cp932Folder);
    if (!dir)
        return 0;
    std::vector<std::string> none;
    return RemoveStale(::dirfd(dir.get()), Temporaries(dir.get(), {}, none), runStart);
}

std::size_t RemoveStaleTemporariesWithSubfolders(std::string_view cp932Folder, std::string_view suffix,
                                                 std::chrono::system_clock::time_point runStart)
{
    const DirHandle dir = OpenFolder(cp932Folder);
    if (!dir)
        return 0;
    std::vector<std::string> subfolders;
    const std::vector<std::string> names = Temporaries(dir.get(), suffix, subfolders);
    std::size_t removed = RemoveStale(::dirfd(dir.get()), names, runStart);
    for (const std::string& name : subfolders) {
        // O_NOFOLLOW: a link planted under a folder's name leads nowhere.
        const DirHandle subfolder(
            ListingOf(::openat(::dirfd(dir.get()), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)));
        if (!subfolder)
            continue;
        std::vector<std::string> none;
        removed += RemoveStale(::dirfd(subfolder.get()), Temporaries(subfolder.get(), {}, none), runStart);
    }
    return removed;
}

}  // namespace postloom::platform
