#pragma once

// Takes off the site what no page of it links any more: the pages of mails
// that have no page now (switched off, mail file gone, page name lost to
// another mail) and attachments no longer in their mail. Only files that
// the old site record lists are touched, only inside the page folder and
// its attachment folders, never through a symbolic link, and never a file
// the run itself must leave alone (a mail file, the index page, a graphic).

#include "core/html/site_plan.h"
#include "core/html/site_record.h"
#include "core/platform/file_problem.h"

#include <vector>

namespace postloom {

struct SiteCleanup {
    int pagesRemoved = 0;
    int attachmentsRemoved = 0;
    // Files that could not be removed, with the reason; fresh keeps them,
    // so a later run tries again.
    std::vector<platform::FileProblem> notRemoved;
};

// Removes the files of old that fresh (the site after this run) does not
// hold. old and fresh describe plan.pageFolder().
SiteCleanup RemoveUnlinkedFiles(const SiteRecord& old, SiteRecord& fresh, const SitePlan& plan);

}  // namespace postloom
