#pragma once

// The output folders the File page checks before it may be left, and their
// creation with a reason the user can act on when it fails.

#include "core/html/output_paths.h"

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace postloom {

struct FilePageFolders {
    // Absolute folder of the index file: the project folder when indexPath
    // has no separator.
    std::string indexFolder;
    // Absolute folder the mail pages are written to (mailPath relative to
    // the index folder), named as the page writers name it under ToLower.
    std::string mailFolder;
    // Windows style: both folders start with the same character (A-Z case
    // ignored), so a relative link between them exists. Always true on
    // Posix, which has one root.
    bool sameDrive = true;
};

FilePageFolders ResolveFilePageFolders(std::string_view indexPath, std::string_view mailPath, bool toLower,
                                       std::string_view projectFolder, PathStyle style = kNativePathStyle);

// Creates the absolute folder with every missing parent. nullopt when it
// exists afterwards; otherwise why not, in the words of the system's error
// messages.
std::optional<QString> CreateFolderGivingReason(const std::string& folder);

}  // namespace postloom
