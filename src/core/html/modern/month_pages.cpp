#include "core/html/modern/month_pages.h"

#include "core/html/address_hiding.h"
#include "core/html/modern/caption_parts.h"
#include "core/html/modern/page_frame.h"
#include "core/html/modern/page_text.h"
#include "core/html/modern/stylesheet.h"
#include "core/html/text_helpers.h"
#include "core/mail/mail_parser.h"
#include "core/platform/digest.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <map>
#include <utility>

namespace postloom::modern {

namespace {

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

// The shown date's break-down and "YYYY-MM", the same shift and
// break-down as the date the pages show; nullopt for a mail without a
// date or with one that cannot be shown.
std::optional<std::pair<std::tm, std::string>> ShownMonth(const MailRecord& mail)
{
    if (mail.date == 0)
        return std::nullopt;
    const std::optional<std::tm> tm = ShownTime(mail.date);
    char month[16];
    if (!tm || tm->tm_year + 1900 < 1 || tm->tm_year + 1900 > 9999 ||
        std::strftime(month, sizeof month, "%Y-%m", &*tm) != 7)
        return std::nullopt;
    return std::pair{*tm, std::string(month)};
}

}  // namespace

std::optional<std::string> MonthOf(const MailRecord& mail)
{
    if (auto shown = ShownMonth(mail))
        return std::move(shown->second);
    return std::nullopt;
}

std::string LinkFromSubfolder(std::string_view linkFromIndex)
{
    // An absolute link ("file:///...", "/...") holds from anywhere.
    const std::size_t colon = linkFromIndex.find(':');
    if (linkFromIndex.starts_with('/') || (colon != std::string_view::npos && colon < linkFromIndex.find('/')))
        return std::string(linkFromIndex);
    return "../" + std::string(linkFromIndex);
}

MonthPagePlan::MonthPagePlan(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan,
                             const SiteRecord& fresh)
    : settings_(settings), paths_(paths), pageLinks_(paths)
{
    struct Listed {
        Entry entry;
        std::size_t position;  // in the mail list
    };
    std::map<std::string, std::vector<Listed>> byMonth;
    std::vector<Listed> undated;
    for (std::size_t i = 0; i < settings.mailList.size(); ++i) {
        if (!plan.HasPage(i))
            continue;
        const MailRecord* mail = settings.mailList[i].get();
        if (auto shown = ShownMonth(*mail))
            byMonth[shown->second].push_back({{mail, shown->first}, i});
        else
            undated.push_back({{mail, std::nullopt}, i});
    }

    // What every page shows besides its mails: the frame, the site's title
    // and the link to the index page.
    const auto addFrame = [&](platform::Digest& digest) {
        digest.Add(POSTLOOM_VERSION).Add(settings.Title).Add(paths.IndexFileFullPath());
    };
    platform::Digest index;
    addFrame(index);
    // A month page shows of each mail what the mail's own page shows, as
    // the record of that page knows it, and the time as the time zone
    // breaks it down.
    const auto addMonth = [&](std::string name, std::string heading, const std::vector<Listed>& listed) {
        index.Add(name).Add(listed.size());
        platform::Digest digest;
        addFrame(digest);
        digest.Add(name);
        bool recorded = true;
        Month month{std::move(heading), {}};
        for (const auto& [entry, position] : listed) {
            const std::string& pageName = plan[position].name;
            const auto found = fresh.pages.find(pageName);
            if (found == fresh.pages.end())
                recorded = false;
            else
                digest.Add(pageName).Add(found->second.inputs);
            if (const std::optional<std::tm>& tm = entry.shown) {
                for (const int field : {tm->tm_year, tm->tm_mon, tm->tm_mday, tm->tm_hour, tm->tm_min})
                    digest.Add(static_cast<std::uint64_t>(static_cast<std::int64_t>(field)));
            }
            month.entries.push_back(entry);
        }
        pages_.push_back({std::move(name), recorded ? std::make_optional(digest.Hex()) : std::nullopt});
        months_.push_back(std::move(month));
    };

    pages_.push_back({std::string(kMonthsIndexName), std::nullopt});
    for (auto month = byMonth.rbegin(); month != byMonth.rend(); ++month) {
        std::stable_sort(month->second.begin(), month->second.end(), [](const Listed& a, const Listed& b) {
            return a.entry.mail->date < b.entry.mail->date;
        });
        addMonth(month->first + ".html", MonthTitle(month->first), month->second);
    }
    if (!undated.empty())
        addMonth(std::string(kUndatedPageName), "日付のないメール", undated);
    pages_[0].inputs = index.Hex();
}

std::string MonthPagePlan::TextOf(std::size_t k) const
{
    std::string page;
    if (k == 0) {
        AppendStart(page, settings_, paths_, "月別一覧", false);
        page.append("<ol class=\"month-list\">\n");
        for (std::size_t m = 0; m < months_.size(); ++m) {
            page.append("<li><a href=\"").append(pages_[m + 1].name).append("\">").append(months_[m].heading);
            page.append("</a> <span class=\"meta\">").append(std::to_string(months_[m].entries.size()));
            page.append("通</span></li>\n");
        }
        page.append("</ol>\n");
        AppendEnd(page);
        return page;
    }
    const Month& month = months_[k - 1];
    AppendStart(page, settings_, paths_, month.heading, true);
    page.append("<ol class=\"month-mails\">\n");
    for (const Entry& entry : month.entries) {
        const MailRecord& mail = *entry.mail;
        page.append("<li>");
        if (entry.shown)
            page.append(DateHtml(mail, true)).append(" ");
        page.append("<a href=\"");
        AppendEscapedText(LinkFromSubfolder(Utf8OfCp932(pageLinks_.LinkTo(mail))), page);
        page.append("\">").append(SubjectHtml(settings_, mail)).append("</a>");
        if (const std::string sender = SenderOf(settings_, mail); !sender.empty())
            page.append(" <span class=\"meta\">").append(sender).append("</span>");
        page.append("</li>\n");
    }
    page.append("</ol>\n");
    AppendEnd(page);
    return page;
}

}  // namespace postloom::modern
