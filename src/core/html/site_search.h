#pragma once

// The search of a modern site: "search.html" beside the index page and the
// index it reads in the "search" folder there, made from the mails that
// have a page this run. A mail that loses its page leaves the results on
// the next run. A classic site gets neither, and a site switched back to
// classic loses both (a search page edited since stays).

#include "core/html/site_plan.h"
#include "core/platform/file_problem.h"
#include "core/platform/file_stamp.h"
#include "core/platform/job_control.h"
#include "core/project/project_settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postloom {

inline constexpr std::string_view kSearchPageName = "search.html";
inline constexpr std::string_view kSearchFolderName = "search";

struct SiteSearchResult {
    // The project has the modern style and its search was brought up to date.
    bool written = false;
    std::size_t mailsIndexed = 0;
    // The index or the search page could not be written (path and reason);
    // the index that was there stays whole.
    std::vector<platform::FileProblem> problems;
};

// Reports, before each mail it reads, its position in the list plus one.
// Nothing is written when stop is set at the start: an index half made is
// never what a page loads. mailFileStamps are the stamps the page run
// found (MailPageResult); without them each mail file is looked up here.
SiteSearchResult WriteSiteSearch(const ProjectSettings& settings, const std::string& projectFolder,
                                 const SitePlan& plan,
                                 const std::vector<std::optional<platform::FileStamp>>& mailFileStamps,
                                 JobProgress& progress, const StopFlag& stop);

// The search page in the modern frame (UTF-8): the stylesheet beside it,
// the scripts in the search folder, and a link to the index page at
// indexHref (URL form, CP932).
std::string SearchPageText(std::string_view indexHref);

}  // namespace postloom
