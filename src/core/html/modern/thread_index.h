#pragma once

// The index page in the modern style: the threads as nested lists (the
// tree lines are drawn by the stylesheet), each entry the subject linking
// its page, the date and the sender.

#include "core/html/modern/thread_page_plan.h"
#include "core/html/output_paths.h"
#include "core/html/site_plan.h"
#include "core/platform/job_control.h"
#include "core/project/project_settings.h"
#include "core/threading/thread_tree.h"

#include <functional>
#include <string>
#include <string_view>

namespace postloom::modern {

class ThreadIndex {
public:
    // flush takes the text whenever it has grown large (a deep thread makes
    // a listing far larger than its mails).
    ThreadIndex(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan,
                const ThreadTree& tree, JobProgress& progress, std::function<void(std::string_view)> flush);

    // The whole page; header and footer are the include blocks (UTF-8).
    // Reports 0, 1, 2, ... one per entry listed, exactly as the classic
    // listing does.
    void AppendPage(std::string& out, std::string_view header, std::string_view footer);
    // The listing alone.
    void AppendListing(std::string& out);

    int entries() const { return entries_; }

private:
    const MailRecord* MailOf(TreeItem item) const;
    // Walks the listing in order: text(piece) for the markup around the
    // entries, entry(mail, thread) for each entry.
    template <typename Text, typename Entry>
    void Walk(Text text, Entry entry) const;
    // thread: the whole-thread page to link beside the entry, if any.
    void AppendEntry(std::string& out, const MailRecord& mail, const ThreadPageEntry* thread = nullptr) const;
    void Report() { progress_.Report(entries_++); }
    void FlushWhenLarge(std::string& out);

    const ProjectSettings& settings_;
    const PageLinksFromIndex pageLinks_;
    const SitePlan& plan_;
    const ThreadTree& tree_;
    const ThreadPagePlan threadPages_;
    JobProgress& progress_;
    std::function<void(std::string_view)> flush_;
    int entries_ = 0;
};

}  // namespace postloom::modern
