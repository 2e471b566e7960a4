#pragma once

// The month pages of a modern site, in the folder "months" beside the
// index page: one page per month that has mails with a page
// ("2024-01.html", the mails oldest first with time, subject and sender),
// one for the mails without a date ("undated.html"), and "index.html"
// listing every month with its number of mails, newest first. A mail's
// month is the one its date shows on the pages.

#include "core/html/output_paths.h"
#include "core/html/site_plan.h"
#include "core/mail/mail_record.h"
#include "core/project/project_settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postloom::modern {

inline constexpr std::string_view kMonthsFolder = "months";
inline constexpr std::string_view kMonthsIndexName = "index.html";
inline constexpr std::string_view kUndatedPageName = "undated.html";

// "YYYY-MM" of the date the pages show for the mail; nullopt for a mail
// without a date or with one that cannot be shown.
std::optional<std::string> MonthOf(const MailRecord& mail);

struct MonthPage {
    std::string name;  // file name inside the months folder
    std::string text;  // the whole page, UTF-8
};

// The months index first, then the month pages (newest first, the page of
// undated mails last), made from the mails that plan gives a page.
std::vector<MonthPage> MonthPages(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan);

// A link from a page in a subfolder of the index page's folder to target,
// given as the index page links it.
std::string LinkFromSubfolder(std::string_view linkFromIndex);

}  // namespace postloom::modern
