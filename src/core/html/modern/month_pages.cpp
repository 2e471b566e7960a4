#include "core/html/modern/month_pages.h"

#include "core/html/address_hiding.h"
#include "core/html/modern/caption_parts.h"
#include "core/html/modern/page_frame.h"
#include "core/html/modern/page_text.h"
#include "core/html/modern/stylesheet.h"
#include "core/html/text_helpers.h"
#include "core/platform/core_share.h"
#include "core/platform/local_time.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <map>

namespace postloom::modern {

namespace {

struct MonthEntry {
    const MailRecord* mail;
    std::size_t position;  // in the mail list: orders mails of one date
};

// "2024年1月" for "2024-01".
std::string MonthTitle(std::string_view month)
{
    const int number = (month[5] - '0') * 10 + (month[6] - '0');
    return std::string(month.substr(0, 4)) + "年" + std::to_string(number) + "月";
}

std::string SiteTitle(const ProjectSettings& settings)
{
    std::string title = EscapedUtf8OfCp932(settings.Title);
    return title.empty() ? std::string("メール一覧") : title;
}

std::string IndexLinkFromMonths(const OutputPaths& paths)
{
    return "../" + Utf8OfCp932(EncodeUrl(FileNamePart(paths.IndexFileFullPath())));
}

void AppendStart(std::string& page, const ProjectSettings& settings, const OutputPaths& paths,
                 std::string_view heading, bool linkMonthsIndex)
{
    const std::string site = SiteTitle(settings);
    AppendPageStart(page, std::string(heading) + " - " + site, "../" + std::string(kStylesheetName), "months", {});
    page.append("<header>\n<h1>").append(heading).append("</h1>\n<nav class=\"links\"><a href=\"");
    AppendEscapedText(IndexLinkFromMonths(paths), page);
    page.append("\">").append(site).append("</a>");
    if (linkMonthsIndex)
        page.append(" <a href=\"").append(kMonthsIndexName).append("\">月別一覧</a>");
    page.append("</nav>\n</header>\n<main>\n");
}

void AppendEnd(std::string& page)
{
    page.append("</main>\n");
    AppendPageEnd(page, {});
}

std::string SenderOf(const ProjectSettings& settings, const MailRecord& mail)
{
    std::string name = ShownSenderName(AddressHidingOf(settings), mail);
    name.erase(name.find_last_not_of(" \t") + 1);
    return EscapedUtf8OfCp932(name);
}

std::string MonthPageText(const ProjectSettings& settings, const OutputPaths& paths, std::string_view heading,
                          const std::vector<MonthEntry>& entries)
{
    std::string page;
    AppendStart(page, settings, paths, heading, true);
    page.append("<ol class=\"month-mails\">\n");
    for (const MonthEntry& entry : entries) {
        const MailRecord& mail = *entry.mail;
        page.append("<li>");
        if (MonthOf(mail))
            page.append(DateHtml(mail, true)).append(" ");
        page.append("<a href=\"");
        AppendEscapedText(LinkFromSubfolder(Utf8OfCp932(paths.PageLinkFromIndex(mail))), page);
        page.append("\">").append(SubjectHtml(settings, mail)).append("</a>");
        if (const std::string sender = SenderOf(settings, mail); !sender.empty())
            page.append(" <span class=\"meta\">").append(sender).append("</span>");
        page.append("</li>\n");
    }
    page.append("</ol>\n");
    AppendEnd(page);
    return page;
}

}  // namespace

std::optional<std::string> MonthOf(const MailRecord& mail)
{
    // The same shift and break-down as the date the pages show.
    if (mail.date == 0)
        return std::nullopt;
    const std::int64_t shifted = static_cast<std::int64_t>(mail.date) + 32400;
    if (shifted < 0)
        return std::nullopt;
    const std::optional<std::tm> tm = platform::BreakDownLocal(shifted);
    char month[16];
    if (!tm || tm->tm_year + 1900 < 1 || tm->tm_year + 1900 > 9999 ||
        std::strftime(month, sizeof month, "%Y-%m", &*tm) != 7)
        return std::nullopt;
    return std::string(month);
}

std::string LinkFromSubfolder(std::string_view linkFromIndex)
{
    // An absolute link ("file:///...", "/...") holds from anywhere.
    const std::size_t colon = linkFromIndex.find(':');
    if (linkFromIndex.starts_with('/') || (colon != std::string_view::npos && colon < linkFromIndex.find('/')))
        return std::string(linkFromIndex);
    return "../" + std::string(linkFromIndex);
}

std::vector<MonthPage> MonthPages(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan)
{
    std::map<std::string, std::vector<MonthEntry>> months;
    std::vector<MonthEntry> undated;
    for (std::size_t i = 0; i < settings.mailList.size(); ++i) {
        if (!plan.HasPage(i))
            continue;
        const MailRecord* mail = settings.mailList[i].get();
        if (const std::optional<std::string> month = MonthOf(*mail))
            months[*month].push_back({mail, i});
        else
            undated.push_back({mail, i});
    }

    // The pages of the months are independent of each other: the cores
    // share them.
    struct Job {
        std::string heading;
        const std::vector<MonthEntry>* entries;
    };
    std::vector<Job> jobs;
    std::vector<MonthPage> pages(1);
    pages[0].name = kMonthsIndexName;
    std::string index;
    AppendStart(index, settings, paths, "月別一覧", false);
    index.append("<ol class=\"month-list\">\n");
    for (auto month = months.rbegin(); month != months.rend(); ++month) {
        std::vector<MonthEntry>& entries = month->second;
        std::stable_sort(entries.begin(), entries.end(), [](const MonthEntry& a, const MonthEntry& b) {
            return a.mail->date < b.mail->date;
        });
        const std::string heading = MonthTitle(month->first);
        const std::string name = month->first + ".html";
        index.append("<li><a href=\"").append(name).append("\">").append(heading).append("</a> <span class=\"meta\">");
        index.append(std::to_string(entries.size())).append("通</span></li>\n");
        pages.push_back({name, {}});
        jobs.push_back({heading, &entries});
    }
    if (!undated.empty()) {
        index.append("<li><a href=\"").append(kUndatedPageName).append("\">日付のないメール</a> <span class=\"meta\">");
        index.append(std::to_string(undated.size())).append("通</span></li>\n");
        pages.push_back({std::string(kUndatedPageName), {}});
        jobs.push_back({"日付のないメール", &undated});
    }
    platform::ShareAmongCores(
        jobs.size(), platform::CoreCount(),
        [&](std::size_t begin, std::size_t end) {
            for (std::size_t k = begin; k < end; ++k)
                pages[k + 1].text = MonthPageText(settings, paths, jobs[k].heading, *jobs[k].entries);
        },
        1);
    index.append("</ol>\n");
    AppendEnd(index);
    pages[0].text = std::move(index);
    return pages;
}

}  // namespace postloom::modern
