#pragma once

// Which whole-thread pages the run makes and how every page links them. A
// thread is a mail without a parent in the list and all its replies; its
// page shows, in tree order, the mails of it that have a page of their
// own, and is named after the first of them: "threads/<its page name>"
// beside the index page. A thread without any such mail has no page.

#include "core/html/output_paths.h"
#include "core/html/site_plan.h"
#include "core/mail/mail_record.h"
#include "core/project/project_settings.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace postloom::modern {

// The folder of the thread pages beside the index page.
inline constexpr std::string_view kThreadFolder = "threads";

// Replies deeper than this are indented no further.
inline constexpr int kThreadDepthCap = 6;

struct ThreadMail {
    std::size_t mail = 0;  // position in the mail list
    int depth = 0;         // 0 for the thread's first mail
};

struct ThreadPageEntry {
    // The page name of the thread's first mail with a page (CP932); the
    // thread page has this name inside the thread folder.
    std::string name;
    std::vector<ThreadMail> mails;
};

class ThreadPagePlan {
public:
    // No thread pages unless the site is in the modern style with standard
    // mail pages, and never when the mail pages themselves go into the
    // thread folder (the names would collide).
    ThreadPagePlan(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan);

    const std::vector<ThreadPageEntry>& threads() const { return threads_; }
    // The thread page holding the mail at a position in the list, or
    // nullptr for a mail without one.
    const ThreadPageEntry* ThreadOf(std::size_t mail) const
    {
        return Shows(mail) ? &threads_[threadAt_[mail]] : nullptr;
    }
    // Whether the mail at a position in the list is shown on a thread page.
    bool Shows(std::size_t mail) const { return mail < threadAt_.size() && threadAt_[mail] != kNoThread; }

    const SitePlan& sitePlan() const { return plan_; }
    // The absolute folder of the thread pages.
    const std::string& folder() const { return folder_; }

    // Links in URL form (CP932). From the index page to a thread page, and
    // from the page of the mail at a position in the list to its own place
    // in its thread page; none for a mail without one.
    static std::string LinkFromIndex(const ThreadPageEntry& thread);
    std::optional<std::string> LinkFromMail(std::size_t mail) const;

private:
    static constexpr std::size_t kNoThread = static_cast<std::size_t>(-1);

    std::vector<ThreadPageEntry> threads_;
    std::vector<std::size_t> threadAt_;  // by position in the list
    std::string folder_;
    // The index page's folder as seen from a mail page: "", "../", ...
    std::string indexFolderFromMail_;
    const SitePlan& plan_;
};

// The anchor of a mail in its thread page: "m-" and its page name, the
// bytes outside [A-Za-z0-9_-] written as ".XX", so it is one word and a
// fragment without escapes.
std::string MailAnchor(std::string_view pageName);

}  // namespace postloom::modern
