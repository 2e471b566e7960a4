#include "core/platform/file_system.h"

#include "core/platform/native_path.h"
#include "core/text/codec.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace postloom::platform {

std::string NativePath(std::string_view cp932Path)
{
    return text::Cp932ToUtf8(cp932Path);
}

namespace {

bool StatExisting(std::string_view cp932Path, struct stat& st)
{
    return detail::OnExistingPath(cp932Path, [&](const char* native) { return ::stat(native, &st) == 0; });
}

}  // namespace

EntryType TypeOf(std::string_view cp932Path)
{
    struct stat st {};
    if (!StatExisting(cp932Path, st))
        return EntryType::Missing;
    if (S_ISDIR(st.st_mode))
        return EntryType::Directory;
    if (S_ISREG(st.st_mode))
        return EntryType::RegularFile;
    return EntryType::Other;
}

namespace {

// The listing tells the type of most entries; only symbolic links (followed)
// and file systems that do not say need a stat.
EntryType TypeOfEntry(const std::string& nativeFolder, const dirent& entry)
{
    switch (entry.d_type) {
    case DT_REG:
        return EntryType::RegularFile;
    case DT_DIR:
        return EntryType::Directory;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        return EntryType::Other;
    }
    struct stat st {};
    if (::stat((nativeFolder + "/" + entry.d_name).c_str(), &st) != 0)
        return EntryType::Missing;  // a dangling symbolic link
    if (S_ISDIR(st.st_mode))
        return EntryType::Directory;
    if (S_ISREG(st.st_mode))
        return EntryType::RegularFile;
    return EntryType::Other;
}

}  // namespace

std::optional<std::vector<DirectoryEntry>> ListDirectory(std::string_view cp932Folder)
{
    std::string native;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(nullptr, &::closedir);
    const auto openFolder = [&](const char* path) {
        dir.reset(::opendir(path));
        native = path;
        return dir != nullptr;
    };
    if (!detail::OnExistingPath(cp932Folder.empty() ? std::string_view(".") : cp932Folder, openFolder))
        return std::nullopt;
    std::vector<std::pair<std::string, EntryType>> raw;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        raw.emplace_back(std::string(name), TypeOfEntry(native, *entry));
    }
    std::sort(raw.begin(), raw.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<DirectoryEntry> entries;
    entries.reserve(raw.size());
    for (auto& [name, type] : raw)
        entries.push_back({text::Utf8ToCp932(name), type});
    return entries;
}

std::optional<std::unordered_set<std::string>> NativeNamesIn(std::string_view cp932Folder)
{
    if (!detail::Passable(cp932Folder))
        return std::nullopt;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(
        ::opendir(cp932Folder.empty() ? "." : NativePath(cp932Folder).c_str()), &::closedir);
    if (!dir)
        return std::nullopt;
    std::unordered_set<std::string> names;
    while (const dirent* entry = ::readdir(dir.get()))
        names.emplace(entry->d_name);
    return names;
}

bool MakeDirectory(std::string_view cp932Path)
{
    if (!detail::Passable(cp932Path))
        return false;
    const std::string native = NativePath(cp932Path);
    if (::mkdir(native.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && IsDirectory(cp932Path);
}

int MakeOwnFolder(std::string_view cp932Path)
{
    if (!detail::Passable(cp932Path))
        return EINVAL;
    const std::string native = NativePath(cp932Path);
    if (::mkdir(native.c_str(), 0777) == 0)
        return 0;
    if (errno != EEXIST)
        return errno;
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

bool DropExecutePermission(std::string_view cp932Path)
{
    if (!detail::Passable(cp932Path))
        return false;
    const std::string native = NativePath(cp932Path);
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 0111) == 0)
        return true;
    return ::chmod(native.c_str(), st.st_mode & 07666) == 0;
}

std::optional<FileIdentity> IdentityOf(std::string_view cp932Path)
{
    struct stat st {};
    if (!StatExisting(cp932Path, st))
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::string CurrentDirectory()
{
    std::string buffer(4096, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return ".";
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return text::Utf8ToCp932(buffer);
}

bool RemoveFile(std::string_view cp932Path)
{
    if (!detail::Passable(cp932Path))
        return false;
    return std::remove(NativePath(cp932Path).c_str()) == 0;
}

bool RenameFile(std::string_view fromCp932, std::string_view toCp932)
{
    if (!detail::Passable(fromCp932) || !detail::Passable(toCp932))
        return false;
    return std::rename(NativePath(fromCp932).c_str(), NativePath(toCp932).c_str()) == 0;
}

}  // namespace postloom::platform
