#pragma once

// The folders an unattended run writes into: the index page's folder and the
// mail page folder are created (with their parents) when they are missing,
// so that a first run into a new place writes its pages instead of failing
// once per page.

#include "core/platform/file_problem.h"
#include "core/project/project_settings.h"

#include <optional>
#include <string>
#include <vector>

namespace postloom {

struct OutputFoldersResult {
    // Folders that did not exist and were made (absolute, CP932).
    std::vector<std::string> created;
    // The first folder that could not be made, with the reason.
    std::optional<platform::FileProblem> failed;
    // Only the mail page folder is missing: the index page and the
    // graphics can still be written, the mail pages cannot.
    bool onlyPagesBlocked = false;
};

// Relative settings paths resolve against projectFolder.
OutputFoldersResult CreateOutputFolders(const ProjectSettings& settings, const std::string& projectFolder);

}  // namespace postloom
