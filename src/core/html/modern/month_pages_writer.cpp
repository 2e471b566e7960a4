#include "core/html/modern/month_pages_writer.h"

#include "core/html/modern/atom_feed.h"
#include "core/html/modern/month_pages.h"
#include "core/html/output_paths.h"
#include "core/html/site_record.h"
#include "core/platform/core_share.h"
#include "core/platform/digest.h"
#include "core/platform/file_stamp.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/platform/output_file.h"
#include "core/text/codec.h"

#include <unistd.h>

#include <cerrno>
#include <map>
#include <set>
#include <string_view>
#include <system_error>

namespace postloom::modern {

namespace {

// A file of the site beside the index page that the pages lead to.
struct View {
    std::string relative;  // its path beside the index page
    // What it is made from; none when that is not known, and it is always
    // written.
    std::optional<std::string> inputs;
    std::string text;  // made only when the file is written
};

// The start of a mail file, enough for the first lines of its text: a
// mail of any size costs the feed no more memory than this.
std::string MailStart(const std::string& path)
{
    constexpr std::size_t kEnough = 256 * 1024;
    platform::FileError error;
    const std::optional<platform::ReadableFile> file = platform::OpenReadable(path, error);
    if (!file)
        return {};
    std::string bytes(kEnough, '\0');
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(file->fd.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

std::string FeedText(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan)
{
    const std::vector<std::size_t> mails = FeedMails(settings, plan);
    std::vector<std::string> summaries;
    summaries.reserve(mails.size());
    for (const std::size_t i : mails)
        summaries.push_back(SummaryOf(settings, MailStart(paths.MailSourcePath(*settings.mailList[i]))));
    return AtomFeedText(settings, paths, plan, mails, summaries);
}

platform::FileProblem ProblemOf(const std::string& path, std::string reason)
{
    return platform::FileProblem{path, std::move(reason)};
}

}  // namespace

void WriteMonthPagesAndFeed(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan,
                            SiteRecord& fresh, MailPageResult& result)
{
    const std::string indexFolder = paths.IndexFolder();
    std::optional<MonthPagePlan> months;
    std::vector<View> views;
    if (PageStyleOf(settings) == PageStyleKind::Modern && settings.IndexCreateType == 0 && plan.parts().monthsAndFeed) {
        months.emplace(settings, paths, plan, fresh);
        // The month pages first, each at its place in the plan; their texts
        // are made only for those written.
        for (const MonthPagePlan::Page& page : months->pages())
            views.push_back({std::string(kMonthsFolder) + "/" + page.name, page.inputs, {}});
        std::string feed = FeedText(settings, paths, plan);
        views.push_back({std::string(kFeedName), platform::Digest().Add(feed).Hex(), std::move(feed)});
    }
    if (views.empty() && fresh.views.empty())
        return;

    const std::string monthsFolder = JoinPath(indexFolder, kMonthsFolder);
    if (!views.empty() && !platform::IsDirectory(monthsFolder) && !platform::MakeDirectory(monthsFolder))
        result.pagesNotWritten.push_back(ProblemOf(monthsFolder, text::Utf8ToCp932(std::generic_category().message(errno))));

    std::map<std::string, RecordedView> kept;
    std::vector<std::size_t> toWrite;
    for (std::size_t k = 0; k < views.size(); ++k) {
        const View& view = views[k];
        const auto recorded = fresh.views.find(view.relative);
        if (view.inputs && recorded != fresh.views.end() && recorded->second.inputs == *view.inputs &&
            platform::OutputStamp(JoinPath(indexFolder, view.relative)) == recorded->second.file)
            kept.emplace(view.relative, recorded->second);
        else
            toWrite.push_back(k);
    }
    // The month pages are independent of each other: the cores share them.
    platform::ShareAmongCores(
        toWrite.size(), platform::CoreCount(),
        [&](std::size_t begin, std::size_t end) {
            for (std::size_t w = begin; w < end; ++w) {
                if (const std::size_t k = toWrite[w]; k < months->pages().size())
                    views[k].text = months->TextOf(k);
            }
        },
        1);
    for (const std::size_t k : toWrite) {
        const View& view = views[k];
        const std::string path = JoinPath(indexFolder, view.relative);
        const auto recorded = fresh.views.find(view.relative);
        if (std::optional<std::string> taken = WhyNameIsTaken(settings, paths, plan, path)) {
            result.pagesNotWritten.push_back(ProblemOf(path, std::move(*taken)));
            continue;
        }
        // Line ends as every other page of the site has them.
        platform::OutputFile out(path, platform::OutputFile::Mode::Text);
        out.Write(view.text);
        const std::optional<platform::FileStamp> stamp =
            out.Commit() == platform::OutputFile::Outcome::Failed ? std::nullopt : out.Stamp();
        if (stamp) {
            // Without known inputs the next run writes it again.
            kept.emplace(view.relative, RecordedView{view.inputs.value_or(""), *stamp});
        } else {
            result.pagesNotWritten.push_back(ProblemOf(path, out.Error()));
            // An older file of the program's may still stand there.
            if (recorded != fresh.views.end())
                kept.emplace(view.relative, recorded->second);
        }
    }
    std::set<std::string_view> made;
    for (const View& view : views)
        made.insert(view.relative);
    for (const auto& [relative, recorded] : fresh.views) {
        if (made.contains(relative))
            continue;
        // A file changed since the program wrote it is the user's now.
        if (platform::OutputStamp(JoinPath(indexFolder, relative)) != recorded.file)
            continue;
        if (platform::RemoveOutputFile(indexFolder, relative) == platform::Removal::Failed) {
            result.filesNotRemoved.push_back(ProblemOf(JoinPath(indexFolder, relative),
                                                       text::Utf8ToCp932(std::generic_category().message(errno))));
            kept.emplace(relative, recorded);
        } else {
            ++result.viewsRemoved;
        }
    }
    if (views.empty())
        platform::RemoveEmptyOutputFolder(indexFolder, kMonthsFolder);

    fresh.views = std::move(kept);
}

}  // namespace postloom::modern
