#include "core/html/modern/month_pages_writer.h"

#include "core/html/modern/atom_feed.h"
#include "core/html/modern/month_pages.h"
#include "core/html/output_paths.h"
#include "core/html/site_record.h"
#include "core/platform/digest.h"
#include "core/platform/file_stamp.h"
#include "core/platform/file_system.h"
#include "core/platform/files.h"
#include "core/platform/output_file.h"
#include "core/text/codec.h"

#include <unistd.h>

#include <cerrno>
#include <map>
#include <system_error>

namespace postloom::modern {

namespace {

// Path beside the index page -> the file's bytes.
using Views = std::map<std::string, std::string>;

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

Views ViewsOf(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan)
{
    Views views;
    for (MonthPage& page : MonthPages(settings, paths, plan))
        views.emplace(std::string(kMonthsFolder) + "/" + page.name, std::move(page.text));
    const std::vector<std::size_t> mails = FeedMails(settings, plan);
    std::vector<std::string> summaries;
    summaries.reserve(mails.size());
    for (const std::size_t i : mails) {
        summaries.push_back(SummaryOf(settings, MailStart(paths.MailSourcePath(*settings.mailList[i]))));
    }
    views.emplace(std::string(kFeedName), AtomFeedText(settings, paths, plan, mails, summaries));
    return views;
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
    Views views;
    if (PageStyleOf(settings) == PageStyleKind::Modern && settings.IndexCreateType == 0 && plan.parts().monthsAndFeed)
        views = ViewsOf(settings, paths, plan);
    if (views.empty() && fresh.views.empty())
        return;

    const std::string monthsFolder = JoinPath(indexFolder, kMonthsFolder);
    if (!views.empty() && !platform::IsDirectory(monthsFolder) && !platform::MakeDirectory(monthsFolder))
        result.pagesNotWritten.push_back(ProblemOf(monthsFolder, text::Utf8ToCp932(std::generic_category().message(errno))));

    std::map<std::string, RecordedView> kept;
    for (const auto& [relative, text] : views) {
        const std::string path = JoinPath(indexFolder, relative);
        const std::string inputs = platform::Digest().Add(text).Hex();
        const auto recorded = fresh.views.find(relative);
        if (recorded != fresh.views.end() && recorded->second.inputs == inputs &&
            platform::OutputStamp(path) == recorded->second.file) {
            kept.emplace(relative, recorded->second);
            continue;
        }
        if (std::optional<std::string> taken = WhyNameIsTaken(settings, paths, plan, path)) {
            result.pagesNotWritten.push_back(ProblemOf(path, std::move(*taken)));
            continue;
        }
        // Line ends as every other page of the site has them.
        platform::OutputFile out(path, platform::OutputFile::Mode::Text);
        out.Write(text);
        const std::optional<platform::FileStamp> stamp =
            out.Commit() == platform::OutputFile::Outcome::Failed ? std::nullopt : out.Stamp();
        if (stamp) {
            kept.emplace(relative, RecordedView{inputs, *stamp});
        } else {
            result.pagesNotWritten.push_back(ProblemOf(path, out.Error()));
            // An older file of the program's may still stand there.
            if (recorded != fresh.views.end())
                kept.emplace(relative, recorded->second);
        }
    }
    for (const auto& [relative, recorded] : fresh.views) {
        if (views.contains(relative))
            continue;
        // A file changed since the program wrote it is the user's now.
        if (platform::OutputStamp(JoinPath(indexFolder, relative)) != recorded.file)
            continue;
        if (platform::RemoveOutputFile(indexFolder, relative) == platform::Removal::Failed) {
            result.filesNotRemoved.push_back(ProblemOf(JoinPath(indexFolder, relative),
                                                       text::Utf8ToCp932(std::generic_category().message(errno))));
            kept.emplace(relative, recorded);
        } else {
            ++result.pagesRemoved;
        }
    }
    if (views.empty())
        platform::RemoveEmptyOutputFolder(indexFolder, kMonthsFolder);

    fresh.views = std::move(kept);
}

}  // namespace postloom::modern
