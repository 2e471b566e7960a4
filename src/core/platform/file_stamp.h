#pragma once

// What tells, without reading it, that a file is still the one seen before:
// its size and its modification time to the nanosecond. And the removal of
// output files the program wrote, which never acts through a symbolic link.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace postloom::platform {

struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // since 1970-01-01 UTC
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the mail file (or any input) at the path, symbolic links
// followed as opening it follows them; other spellings of the name are
// tried as for opening (file_system.h). nullopt when it is no regular file.
std::optional<FileStamp> InputStamp(std::string_view cp932Path);

// The stamp of an output file at exactly the path the program writes it to;
// nullopt unless a regular file stands there (a symbolic link is not one)
// that nobody may execute, as the program writes them: a file someone made
// executable since counts as changed.
std::optional<FileStamp> OutputStamp(std::string_view cp932Path);
// The same for the file open at fd.
std::optional<FileStamp> OutputStampOfOpen(int fd);

// The stamps of many files of one folder, each looked up from the folder
// held open instead of walking its whole path again: the same answers as
// InputStamp and OutputStamp on the joined path, at a fraction of the cost.
class FolderStamps {
public:
    explicit FolderStamps(std::string cp932Folder);
    ~FolderStamps();
    FolderStamps(const FolderStamps&) = delete;
    FolderStamps& operator=(const FolderStamps&) = delete;

    // InputStamp of the file name in the folder.
    std::optional<FileStamp> Input(std::string_view name) const;
    // OutputStamp of relativePath ("name" or "subfolder/name") in the folder.
    std::optional<FileStamp> Output(std::string_view relativePath) const;

private:
    std::string Joined(std::string_view name) const;

    std::string folder_;
    int fd_ = -1;
};

enum class Removal { Removed, NotThere, NotAFile, Failed };

// Removes the regular file at relativePath ("name" or "subfolder/name")
// inside folder. Neither the file nor the subfolder is taken through a
// symbolic link: a link, a folder or anything else there is left alone
// (NotAFile). errno tells why on Failed.
Removal RemoveOutputFile(std::string_view cp932Folder, std::string_view relativePath);

// Removes the subfolder of folder when it is empty and no symbolic link;
// true when it was removed.
bool RemoveEmptyOutputFolder(std::string_view cp932Folder, std::string_view subfolder);

}  // namespace postloom::platform
