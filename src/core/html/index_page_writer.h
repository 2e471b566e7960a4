#pragma once

// Writes the index page: every thread of the tree as nested definition lists
// or as rows of tree graphics, in the standard layout (IndexCreateType 0) or
// inside the user's template at its insert tag (IndexCreateType 1).

#include "core/html/site_plan.h"
#include "core/platform/file_problem.h"
#include "core/platform/job_control.h"
#include "core/project/project_settings.h"
#include "core/threading/thread_tree.h"

#include <optional>
#include <string>

namespace postloom {

struct IndexPageResult {
    // True when the index file holds the complete page: written, or
    // already holding exactly these bytes (then unchanged is true too and
    // the file was not touched).
    bool written = false;
    bool unchanged = false;
    // Entries listed (equals the number of progress reports).
    int entriesWritten = 0;
    // The index file could not be created or written completely (reason:
    // the system's); an older index page keeps its bytes.
    bool indexNotWritable = false;
    std::string reason;
    // Template mode with a template that cannot be read: the index file is
    // left as it was.
    bool templateMissing = false;
    // A header or footer include that is switched on but cannot be read.
    bool headerMissing = false;
    bool footerMissing = false;
    // The modern style's stylesheet could not be put in place beside the
    // index page (the path and the reason).
    std::optional<platform::FileProblem> stylesheetNotWritten;
};

// tree is the thread tree as the user arranged it: its first top-level item
// is the project item, whose children are the thread starts; every other
// item carries the index of its mail in settings.mailList. An entry links
// its mail's page when plan gives the mail one; otherwise it is the caption
// alone. Relative settings paths resolve against projectFolder. Reports 0,
// 1, 2, ... one per entry listed. Trees of any depth are walked without
// recursion.
IndexPageResult WriteIndexPage(const ProjectSettings& settings, const std::string& projectFolder,
                               const SitePlan& plan, const ThreadTree& tree, JobProgress& progress);
// The same with a plan made now.
IndexPageResult WriteIndexPage(const ProjectSettings& settings, const std::string& projectFolder,
                               const ThreadTree& tree, JobProgress& progress);

}  // namespace postloom
