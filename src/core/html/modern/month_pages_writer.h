#pragma once

// Puts the month pages and the feed of a modern site in place after the
// mail pages, and takes them off again when they are no longer made: a
// month left without mails, or a site back in the classic style. The site
// record knows what each was made from, so an unchanged one is not
// written again.

#include "core/html/mail_page_writer.h"
#include "core/html/output_paths.h"
#include "core/html/site_plan.h"
#include "core/html/site_record.h"
#include "core/project/project_settings.h"

namespace postloom::modern {

// Part of writing the mail pages, after them and before the site record is
// saved: fresh is the record of this run, whose views this brings up to
// date. Files that cannot be written go to result.pagesNotWritten, files
// that cannot be removed to result.filesNotRemoved, removed ones count in
// result.viewsRemoved.
void WriteMonthPagesAndFeed(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan,
                            SiteRecord& fresh, MailPageResult& result);

}  // namespace postloom::modern
