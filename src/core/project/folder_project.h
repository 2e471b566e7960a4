#pragma once

// A new project made in one step from a mail folder: what it reads, where
// its site goes, what its pages show, and where it is proposed to be saved.

#include "core/project/project_settings.h"

#include <string>
#include <string_view>

namespace postloom {

// Fills settings (a reset project) for the mail folder at mailFolder, an
// absolute CP932 path, read with pattern: the title is the folder's name;
// the index page is index.html in a new folder "NAME-site" beside the mail
// folder, the mail pages go to its "pages" folder; the index lists date and
// sender, the mail pages show their subject and the link bar; and the
// values of a project made new (ApplyNewProjectValues) are on.
void FillFolderProject(ProjectSettings& settings, std::string_view mailFolder, std::string pattern);

// "NAME.plp" beside the mail folder at mailFolder (absolute, CP932).
std::string ProposedProjectPath(std::string_view mailFolder);

}  // namespace postloom
