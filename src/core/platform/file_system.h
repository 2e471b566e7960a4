#pragma once

// File-system services. Every path the core holds is CP932; it is converted
// to UTF-8 here, right before the call into the operating system, and names
// read from a directory come back as CP932 (a name that is no UTF-8 comes
// back as its own bytes). Where an existing file or folder is looked up
// (TypeOf, ListDirectory, IdentityOf, and opening for reading in files.h)
// and the converted path does not exist, the name's own bytes are tried as
// well, so such a name is found again. A path that holds a NUL byte is
// refused by every function here: it fails as for a missing file, errno
// EINVAL.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace postloom::platform {

// The path as the operating system wants it (the converted UTF-8 form).
std::string NativePath(std::string_view cp932Path);

enum class EntryType { RegularFile, Directory, Other, Missing };

// Follows symbolic links.
EntryType TypeOf(std::string_view cp932Path);
inline bool IsDirectory(std::string_view p) { return TypeOf(p) == EntryType::Directory; }
inline bool IsRegularFile(std::string_view p) { return TypeOf(p) == EntryType::RegularFile; }
inline bool Exists(std::string_view p) { return TypeOf(p) != EntryType::Missing; }

struct DirectoryEntry {
    std::string name;  // CP932
    EntryType type = EntryType::Other;
};

// The entries of a folder (without "." and "..") in the byte order of their
// names as the file system gives them; nullopt when the folder cannot be read.
std::optional<std::vector<DirectoryEntry>> ListDirectory(std::string_view cp932Folder);

// The names in the folder at exactly NativePath(cp932Folder), as the system
// spells them (no other spelling of the path is tried); nullopt when it
// cannot be listed.
std::optional<std::unordered_set<std::string>> NativeNamesIn(std::string_view cp932Folder);

// Creates one folder; true when it exists afterwards as a folder.
bool MakeDirectory(std::string_view cp932Path);

// Creates one folder for files the program writes into it, or takes the one
// there. Unlike MakeDirectory a symbolic link is not followed: a link or a
// file at the path fails (errno ENOTDIR), so that nothing written "into the
// folder" can land elsewhere. 0 on success, else the errno.
int MakeOwnFolder(std::string_view cp932Path);

// Takes the execute permission from a regular file at the path (not through a
// link), so that a file the program writes never runs when opened. True when
// no such permission is left.
bool DropExecutePermission(std::string_view cp932Path);

// Device and inode, to tell whether two paths name the same file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(std::string_view cp932Path);

// The process's working directory, as CP932.
std::string CurrentDirectory();

bool RemoveFile(std::string_view cp932Path);
bool RenameFile(std::string_view fromCp932, std::string_view toCp932);

}  // namespace postloom::platform
