#pragma once

// The month pages of a modern site, in the folder "months" beside the
// index page: one page per month that has mails with a page
// ("2024-01.html", the mails oldest first with time, subject and sender),
// one for the mails without a date ("undated.html"), and "index.html"
// listing every month with its number of mails, newest first. A mail's
// month is the one its date shows on the pages.

#include "core/html/output_paths.h"
#include "core/html/site_plan.h"
#include "core/html/site_record.h"
#include "core/mail/mail_record.h"
#include "core/project/project_settings.h"

#include <ctime>
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

// The month pages of a run: the months index first, then the month pages
// (newest first, the page of undated mails last), made from the mails that
// the site plan gives a page. Each page comes with what it is made from,
// so that a page already in place need not be made again.
class MonthPagePlan {
public:
    // fresh is this run's site record, after the mail pages: a month page
    // is made from the records of its mails' own pages.
    MonthPagePlan(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan,
                  const SiteRecord& fresh);

    struct Page {
        std::string name;  // file name inside the months folder
        // A digest of everything the text is made from; none when a mail's
        // own page is not in the record (the page is then always made).
        std::optional<std::string> inputs;
    };
    const std::vector<Page>& pages() const { return pages_; }

    // The whole text of pages()[k], UTF-8. Safe to call for different
    // pages from several threads at once.
    std::string TextOf(std::size_t k) const;

private:
    struct Entry {
        const MailRecord* mail;
        std::optional<std::tm> shown;  // none: undated
    };
    struct Month {
        std::string heading;
        std::vector<Entry> entries;  // oldest first
    };

    const ProjectSettings& settings_;
    const OutputPaths& paths_;
    const PageLinksFromIndex pageLinks_;
    std::vector<Page> pages_;
    std::vector<Month> months_;  // of pages_[1], pages_[2], ...
};

// A link from a page in a subfolder of the index page's folder to target,
// given as the index page links it.
std::string LinkFromSubfolder(std::string_view linkFromIndex);

}  // namespace postloom::modern
