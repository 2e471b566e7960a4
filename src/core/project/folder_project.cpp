#include "core/project/folder_project.h"

#include <utility>

namespace postloom {

namespace {

// The folder without trailing separators; "/" stays.
std::string_view Trimmed(std::string_view folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    return folder;
}

// The folder that holds folder, with a trailing "/".
std::string ParentOf(std::string_view folder)
{
    const std::size_t slash = folder.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(folder.substr(0, slash + 1));
}

std::string NameOf(std::string_view folder)
{
    const std::size_t slash = folder.rfind('/');
    return std::string(slash == std::string_view::npos ? folder : folder.substr(slash + 1));
}

}  // namespace

void FillFolderProject(ProjectSettings& settings, std::string_view mailFolder, std::string pattern)
{
    const std::string_view folder = Trimmed(mailFolder);
    const std::string name = NameOf(folder);
    settings.Title = name;
    settings.TargetPath = std::string(folder);
    settings.MailExt = std::move(pattern);
    settings.IndexPath = ParentOf(folder) + name + "-site/index.html";
    settings.MailPath = "pages";
    settings.OutDate = 1;
    settings.OutFrom = 1;
    settings.DispSubject = 1;
    settings.DispLink = 1;
    ApplyNewProjectValues(settings);
}

std::string ProposedProjectPath(std::string_view mailFolder)
{
    const std::string_view folder = Trimmed(mailFolder);
    return ParentOf(folder) + NameOf(folder) + ".plp";
}

}  // namespace postloom
