#pragma once

// The Atom feed (RFC 4287) of a modern site, "feed.atom" beside the index
// page: the newest mails by date that have a page, each with its subject,
// sender (addresses hidden as the project says), date, the link to its
// page and the first lines of its text. The feed's bytes depend only on
// the mails, never on the time of the run, so an unchanged site gives an
// unchanged feed.

#include "core/html/output_paths.h"
#include "core/html/site_plan.h"
#include "core/mail/mail_record.h"
#include "core/project/project_settings.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace postloom::modern {

inline constexpr std::string_view kFeedName = "feed.atom";
inline constexpr std::size_t kFeedEntries = 50;

// The id of a mail's entry, the same on every run: "mid:" and the
// Message-Id (RFC 2392) when the mail has one, else a tag URI made from
// the project's title and the page name.
std::string EntryIdOf(const ProjectSettings& settings, const MailRecord& mail, std::string_view pageName);

// The mails of the feed, newest first (of one date, the later in the list
// first); mails without a date are left out.
std::vector<std::size_t> FeedMails(const ProjectSettings& settings, const SitePlan& plan);

// The first lines of a mail file's text (its bytes as read), UTF-8, with
// addresses hidden as the project says; decoded first when it is MIME and
// the project decodes MIME.
std::string SummaryOf(const ProjectSettings& settings, std::string_view fileBytes);

// The whole feed. summaries holds the summary of each mail of FeedMails.
std::string AtomFeedText(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan,
                         const std::vector<std::size_t>& mails, const std::vector<std::string>& summaries);

}  // namespace postloom::modern
