#include "core/html/left_over_temporaries.h"

#include "core/html/mime_page_body.h"
#include "core/html/output_paths.h"
#include "core/platform/stale_temporaries.h"

#include <set>

namespace postloom {

std::size_t RemoveLeftOverTemporaries(const ProjectSettings& settings, const std::string& projectFolder,
                                      std::chrono::system_clock::time_point runStart)
{
    const OutputPaths paths(settings, projectFolder);
    const std::string pageFolder = paths.MailFolderFullPath();
    const std::set<std::string> folders = {paths.IndexFolder(), pageFolder, paths.IndexGraphicFolder(),
                                           paths.MailGraphicFolder()};
    std::size_t removed = 0;
    for (const std::string& folder : folders) {
        removed += folder == pageFolder
                       ? platform::RemoveStaleTemporariesWithSubfolders(folder, kAttachmentFolderSuffix, runStart)
                       : platform::RemoveStaleTemporaries(folder, runStart);
    }
    return removed;
}

}  // namespace postloom
