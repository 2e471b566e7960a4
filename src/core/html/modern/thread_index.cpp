#include "core/html/modern/thread_index.h"

#include "core/html/modern/atom_feed.h"
#include "core/html/modern/caption_parts.h"
#include "core/html/modern/month_pages.h"
#include "core/html/modern/page_frame.h"
#include "core/html/modern/page_text.h"
#include "core/html/modern/stylesheet.h"
#include "core/html/site_search.h"
#include "core/platform/core_share.h"

#include <string>
#include <string_view>
#include <vector>

namespace postloom::modern {

ThreadIndex::ThreadIndex(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan,
                         const ThreadTree& tree, JobProgress& progress, std::function<void(std::string_view)> flush)
    : settings_(settings), pageLinks_(paths), plan_(plan), tree_(tree), threadPages_(settings, paths, plan),
      progress_(progress), flush_(std::move(flush))
{
}

void ThreadIndex::AppendPage(std::string& out, std::string_view header, std::string_view footer)
{
    std::string title = EscapedUtf8OfCp932(settings_.Title);
    if (title.empty())
        title = "メール一覧";
    const std::string feedLink = std::string("<link rel=\"alternate\" type=\"application/atom+xml\" title=\"") +
                                 title + "\" href=\"" + std::string(kFeedName) + "\">\n";
    AppendPageStart(out, title, std::string(kStylesheetName), "index", header, feedLink);
    AppendSearchBox(out, kSearchPageName);
    out.append(settings_.DispIndexTitle != 0 ? "<header>\n<h1>" : "<header>\n<h1 class=\"unshown\">");
    out.append(title).append("</h1>\n<nav class=\"links\"><a href=\"").append(kMonthsFolder).append("/");
    out.append(kMonthsIndexName).append("\">月別一覧</a> <a href=\"").append(kFeedName);
    out.append("\">フィード (Atom)</a></nav>\n</header>\n<main>\n");
    AppendListing(out);
    out.append("</main>\n");
    AppendPageEnd(out, footer);
}

void ThreadIndex::AppendListing(std::string& out)
{
    // The entries take most of the time and are independent of each other:
    // the cores make them, then they are listed in order on this thread.
    struct Listed {
        const MailRecord* mail;
        const ThreadPageEntry* thread;
    };
    std::vector<Listed> listed;
    Walk([](std::string_view) {},
         [&](const MailRecord& mail, const ThreadPageEntry* thread) { listed.push_back({&mail, thread}); });
    std::vector<std::string> entries(listed.size());
    platform::ShareAmongCores(listed.size(), platform::CoreCount(), [&](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k)
            AppendEntry(entries[k], *listed[k].mail, listed[k].thread);
    });
    std::size_t next = 0;
    Walk([&](std::string_view text) { out.append(text); },
         [&](const MailRecord&, const ThreadPageEntry*) {
             Report();
             out.append(entries[next]);
             std::string().swap(entries[next]);
             ++next;
             FlushWhenLarge(out);
         });
}

template <typename Text, typename Entry>
void ThreadIndex::Walk(Text text, Entry entry) const
{
    text("<ul class=\"threads\">\n");
    const TreeItem project = tree_.Root();
    for (TreeItem start = project == kNoItem ? kNoItem : tree_.FirstChild(project); start != kNoItem;
         start = tree_.NextSibling(start)) {
        const MailRecord* mail = MailOf(start);
        if (mail == nullptr || mail->outputHtml == 0)
            continue;
        text("<li>");
        entry(*mail, threadPages_.ThreadOf(tree_.ItemData(start)));
        // Replies, depth first, without recursion: threads can be tens of
        // thousands of levels deep. Each level holds the next item of its
        // sibling chain.
        std::vector<TreeItem> levels;
        if (tree_.HasChildren(start)) {
            text("\n<ul>\n");
            levels.push_back(tree_.FirstChild(start));
        }
        while (!levels.empty()) {
            const TreeItem item = levels.back();
            if (item == kNoItem) {
                levels.pop_back();
                text(levels.empty() ? "</ul>\n" : "</ul>\n</li>\n");
                continue;
            }
            levels.back() = tree_.NextSibling(item);
            const MailRecord* reply = MailOf(item);
            if (reply == nullptr)
                continue;
            text("<li>");
            entry(*reply, nullptr);
            if (tree_.HasChildren(item)) {
                text("\n<ul>\n");
                levels.push_back(tree_.FirstChild(item));
            } else {
                text("</li>\n");
            }
        }
        text("</li>\n");
    }
    text("</ul>\n");
}

const MailRecord* ThreadIndex::MailOf(TreeItem item) const
{
    const std::uint32_t index = tree_.ItemData(item);
    return index < settings_.mailList.size() ? settings_.mailList[index].get() : nullptr;
}

void ThreadIndex::AppendEntry(std::string& out, const MailRecord& mail, const ThreadPageEntry* thread) const
{
    out.append("<div class=\"entry\">");
    const std::string subject = SubjectHtml(settings_, mail);
    if (plan_.HasPage(&mail)) {
        out.append("<a href=\"").append(Utf8OfCp932(pageLinks_.LinkTo(mail))).append("\"");
        if (settings_.MailWindowType == 1)
            out.append(" target=\"_blank\" rel=\"noopener\"");
        out.append(">").append(subject).append("</a>");
    } else {
        out.append(subject);
    }
    const std::string date = settings_.OutDate != 0 ? DateHtml(mail, false) : std::string();
    const std::string sender = settings_.OutFrom != 0 ? SenderHtml(settings_, mail) : std::string();
    const bool dateFirst = DateBeforeSender(settings_);
    const std::string& first = dateFirst ? date : sender;
    const std::string& second = dateFirst ? sender : date;
    if (!first.empty() || !second.empty()) {
        out.append(" <span class=\"meta\">").append(first);
        if (!first.empty() && !second.empty())
            out.append(" ");
        out.append(second).append("</span>");
    }
    if (thread != nullptr) {
        out.append(" <a class=\"thread-all\" href=\"").append(Utf8OfCp932(ThreadPagePlan::LinkFromIndex(*thread)));
        out.append("\">スレッド全体</a>");
    }
    out.append("</div>");
}

void ThreadIndex::FlushWhenLarge(std::string& out)
{
    constexpr std::size_t kPiece = 1 << 20;
    if (out.size() >= kPiece) {
        flush_(out);
        out.clear();
    }
}

}  // namespace postloom::modern
