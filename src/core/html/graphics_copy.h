#pragma once

// Copies the five tree graphics (while DrawGraphic is on, for the classic
// page style) into the index graphic folder, and the background images of
// the index and mail pages (while switched on) into their graphic folders,
// so that the pages find them where they refer to them.

#include "core/platform/file_problem.h"
#include "core/platform/job_control.h"
#include "core/project/project_settings.h"

#include <string>
#include <vector>

namespace postloom {

struct GraphicsCopyResult {
    int copiesDone = 0;
    // A source (resolved) that could not be read, or a copy that could not
    // be created or written completely (an older copy keeps its bytes),
    // with the reason.
    std::vector<platform::FileProblem> copiesFailed;
    // Source paths whose destination is the source file itself; nothing was
    // copied and the file is untouched.
    std::vector<std::string> copiesOntoThemselves;
};

// Relative settings paths resolve against projectFolder. Reports 0 to 4
// before each tree graphic it copies; the backgrounds report nothing.
GraphicsCopyResult CopyGraphics(const ProjectSettings& settings, const std::string& projectFolder,
                                JobProgress& progress);

}  // namespace postloom
