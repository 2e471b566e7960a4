#pragma once

// Writes the whole-thread pages into the thread folder beside the index
// page and keeps them in the site record: a page the record shows made
// from the same inputs and still in place as written is left alone; a
// page no thread has any more is removed when it is still the file the
// program wrote. Each page passes through a fixed amount of memory, the
// bodies streamed from the mail files unless the mail pages kept their
// articles or, for a mail whose page is as it was, the page being replaced
// holds its article.

#include "core/html/modern/kept_articles.h"
#include "core/html/modern/thread_page_plan.h"
#include "core/html/output_paths.h"
#include "core/html/site_record.h"
#include "core/platform/file_problem.h"
#include "core/project/project_settings.h"

#include <vector>

namespace postloom::modern {

struct ThreadPagesResult {
    int written = 0;
    int unchanged = 0;
    int removed = 0;
    // Full paths with the system's reason; an older page there keeps its
    // bytes and its place in the record.
    std::vector<platform::FileProblem> notWritten;
    std::vector<platform::FileProblem> notRemoved;
};

// fresh holds the mail pages of this run (what each thread page is made
// from is read from them) and gets the thread pages in place afterwards.
// old is the record of the run before, or none. workers: threads of the
// run, the calling one included. keptArticles, when given, holds what the
// mail pages kept; a page takes that instead of reading the files.
ThreadPagesResult WriteThreadPages(const ProjectSettings& settings, const OutputPaths& paths,
                                   const ThreadPagePlan& threads, const SiteRecord* old, SiteRecord& fresh,
                                   unsigned workers, KeptArticles* keptArticles = nullptr);

}  // namespace postloom::modern
