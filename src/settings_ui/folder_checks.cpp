#include "settings_ui/folder_checks.h"

#include "core/platform/file_system.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <system_error>
#include <utility>

namespace postloom {

FilePageFolders ResolveFilePageFolders(std::string_view indexPath, std::string_view mailPath, bool toLower,
                                       std::string_view projectFolder, PathStyle style)
{
    ProjectSettings settings;
    settings.IndexPath = indexPath;
    settings.MailPath = mailPath;
    settings.ToLower = toLower ? 1 : 0;
    const OutputPaths paths(settings, std::string(projectFolder), style);
    FilePageFolders folders{.indexFolder = paths.IndexFolder(), .mailFolder = paths.MailFolderFullPath()};
    if (style == PathStyle::Windows) {
        const auto drive = [](const std::string& folder) {
            return folder.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(folder.front())));
        };
        folders.sameDrive = drive(folders.indexFolder) == drive(folders.mailFolder);
    }
    return folders;
}

namespace {

// The error behind a failed creation of folder: a part of the path that
// exists but is not a folder, or the deepest existing folder not being
// writable; failing both, what the failed call left in errno.
int CreationError(const std::string& folder, int reported)
{
    std::string existing = folder;
    while (platform::TypeOf(existing) == platform::EntryType::Missing) {
        std::string parent = FullPath("..", existing, kNativePathStyle);
        if (parent == existing)
            break;
        existing = std::move(parent);
    }
    if (!platform::IsDirectory(existing))
        return existing == folder ? EEXIST : ENOTDIR;
    if (::access(platform::NativePath(existing).c_str(), W_OK | X_OK) != 0)
        return errno;
    return reported;
}

}  // namespace

std::optional<QString> CreateFolderGivingReason(const std::string& folder)
{
    errno = 0;
    if (CreateFolderPath(folder, folder))
        return std::nullopt;
    const int reported = errno;
    const int error = CreationError(folder, reported);
    if (error == 0)
        return QStringLiteral("原因は不明です");
    return QString::fromLocal8Bit(std::generic_category().message(error));
}

}  // namespace postloom
