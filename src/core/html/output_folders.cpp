#include "core/html/output_folders.h"

#include "core/html/output_paths.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"

#include <cerrno>

namespace postloom {

OutputFoldersResult CreateOutputFolders(const ProjectSettings& settings, const std::string& projectFolder)
{
    OutputFoldersResult result;
    const OutputPaths paths(settings, projectFolder);
    const std::string indexFolder = paths.IndexFolder();
    for (const std::string& folder : {indexFolder, paths.MailFolderFullPath()}) {
        if (platform::IsDirectory(folder))
            continue;
        errno = 0;
        if (!CreateFolderPath(folder, projectFolder, paths.style())) {
            const int error = errno != 0 ? errno : ENOTDIR;
            result.failed = platform::FileProblem{folder, platform::ReasonText({error, false})};
            result.onlyPagesBlocked = folder != indexFolder;
            return result;
        }
        result.created.push_back(folder);
    }
    return result;
}

}  // namespace postloom
