#pragma once

// Puts the month pages and the feed of a modern site in place after the
// mail pages, and takes them off again when they are no longer made: a
// month left without mails, or a site back in the classic style. The site
// record knows what each was made from, so an unchanged one is not
// written again.

#include "core/html/mail_page_writer.h"
#include "core/html/site_plan.h"
#include "core/project/project_settings.h"

#include <string>

namespace postloom::modern {

// Files that cannot be written go to result.pagesNotWritten, files that
// cannot be removed to result.filesNotRemoved, removed ones count in
// result.pagesRemoved, and a record that cannot be saved to
// result.recordNotWritten. Relative settings paths resolve against
// projectFolder.
void WriteMonthPagesAndFeed(const ProjectSettings& settings, const std::string& projectFolder, const SitePlan& plan,
                            MailPageResult& result);

}  // namespace postloom::modern
