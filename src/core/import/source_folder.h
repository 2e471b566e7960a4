#pragma once

// A folder of an import's source (the folder itself, or the cur/ and new/
// of a Maildir), held open while its mails are read. Its entries are listed
// and opened relative to it and never through a symbolic link: a link in
// the source (cur/x -> /etc/shadow) is seen as a link and never read, also
// when it takes the place of a file between the listing and the reading.

#include "core/platform/files.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postloom {

class SourceFolder {
public:
    enum class Kind { File, Folder, Link, Other };

    struct Entry {
        std::string native;  // the name as the file system holds it
        std::string name;    // CP932
        Kind kind = Kind::Other;
    };

    // The folder at cp932Path; a symbolic link there is followed (the user
    // named it). nullopt with errno set when it cannot be opened.
    static std::optional<SourceFolder> Open(std::string_view cp932Path);

    // The CP932 path the folder was opened by, with the names below it.
    const std::string& path() const { return path_; }
    std::string PathOf(const Entry& entry) const;

    // The kind of the entry name, not following a link; nullopt when there
    // is none.
    std::optional<Kind> KindOf(std::string_view native) const;
    // The subfolder of that name; nullopt with errno set when it cannot be
    // opened (ELOOP or ENOTDIR for a link).
    std::optional<SourceFolder> OpenFolder(const Entry& entry) const;
    // The entries (without "." and ".."), in the byte order of their names
    // on disk; nullopt with errno set when the folder cannot be read.
    std::optional<std::vector<Entry>> List() const;
    // Opens a regular file of the folder for reading; a link fails with
    // ELOOP, a folder or a special file as notAFile.
    std::optional<platform::ReadableFile> OpenFile(const Entry& entry, platform::FileError& error) const;
    // The modification time of the entry itself, in seconds.
    std::optional<std::int64_t> ModificationTime(const Entry& entry) const;

private:
    SourceFolder(platform::FileDescriptor fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

    platform::FileDescriptor fd_;
    std::string path_;
};

}  // namespace postloom
