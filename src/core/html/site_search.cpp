#include "core/html/site_search.h"

#include "core/html/modern/caption_parts.h"
#include "core/html/modern/page_frame.h"
#include "core/html/modern/page_text.h"
#include "core/html/modern/stylesheet.h"
#include "core/html/output_paths.h"
#include "core/html/search_body_text.h"
#include "core/html/text_helpers.h"
#include "core/mail/mail_parser.h"
#include "core/platform/file_stamp.h"
#include "core/platform/files.h"
#include "core/platform/core_share.h"
#include "core/platform/output_file.h"
#include "core/search/embedded_file.h"
#include "core/search/search_index_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <climits>
#include <cstdint>

#include <unistd.h>

namespace postloom {

namespace {

// Bumped whenever what the index keeps of a mail is made differently, so
// that every mail is read again.
constexpr std::string_view kEntryFormat = "2";

// The search reads at most this much of a mail file: the text of a huge mail
// past it is not searchable, and a run's memory stays bounded whatever the
// mails hold.
constexpr std::size_t kSearchedFileBytes = 1024 * 1024;

// The start of a mail file, up to kSearchedFileBytes; nullopt when it cannot
// be opened or read.
std::optional<std::string> ReadSearchedPart(std::string_view cp932Path)
{
    platform::FileError error;
    const std::optional<platform::ReadableFile> file = platform::OpenReadable(cp932Path, error);
    if (!file)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(file->size, kSearchedFileBytes)), '\0');
    std::size_t used = 0;
    while (used < bytes.size()) {
        const ssize_t n = platform::ReadAt(file->fd.get(), used, bytes.data() + used, bytes.size() - used);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return bytes;
}

std::string Hex64(std::uint64_t value)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4)
        out[static_cast<std::size_t>(i)] = kDigits[value & 15];
    return out;
}

// FNV-1a over the parts, each ended by a byte no part holds.
std::string Fingerprint(std::initializer_list<std::string_view> parts)
{
    std::uint64_t hash = 14695981039346656037ull;
    const auto add = [&](unsigned char byte) {
        hash ^= byte;
        hash *= 1099511628211ull;
    };
    for (const std::string_view part : parts) {
        for (const char c : part)
            add(static_cast<unsigned char>(c));
        add(0xFF);
    }
    return Hex64(hash);
}

std::string Trimmed(std::string text)
{
    text.erase(text.find_last_not_of(" \t") + 1);
    return text;
}

// What the index shows of a mail, known without reading its file.
struct MailHead {
    std::string pageUrl;
    std::string subject;
    std::string sender;
    std::string date;
};

MailHead HeadOf(const ProjectSettings& settings, const OutputPaths& paths, const MailRecord& mail)
{
    const AddressHiding hiding = AddressHidingOf(settings);
    return {modern::Utf8OfCp932(paths.PageLinkFromIndex(mail)),
            modern::Utf8OfCp932(
                HideAddressesInText(DisplaySubject(mail, settings.CutMLTitle), hiding, TextEncoding::Cp932)),
            modern::Utf8OfCp932(Trimmed(ShownSenderName(hiding, mail))), modern::DateText(mail, true)};
}

std::string IndexHref(const OutputPaths& paths)
{
    return EncodeUrl(FileNamePart(paths.IndexFileFullPath(), paths.style()));
}

// Puts the search page in place beside the index page, unless a page or
// mail file of the user's holds its name there.
std::optional<platform::FileProblem> WriteSearchPage(const ProjectSettings& settings, const OutputPaths& paths,
                                                     const SitePlan& plan)
{
    const std::string path = JoinPath(paths.IndexFolder(), kSearchPageName, paths.style());
    if (std::optional<std::string> taken = WhyNameIsTaken(settings, paths, plan, path))
        return platform::FileProblem{path, std::move(*taken)};
    platform::OutputFile file(path, platform::OutputFile::Mode::Binary);
    file.Write(SearchPageText(IndexHref(paths)));
    if (file.Commit() == platform::OutputFile::Outcome::Failed)
        return platform::FileProblem{path, file.Error()};
    return std::nullopt;
}

// A site back in the classic style links no search: its index goes, and
// the search page with it while it is still the page written here.
std::vector<platform::FileProblem> RemoveSiteSearch(const OutputPaths& paths)
{
    const std::string folder = JoinPath(paths.IndexFolder(), kSearchFolderName, paths.style());
    std::vector<platform::FileProblem> problems = search::RemoveSearchIndex(folder);
    platform::RemoveEmptyOutputFolder(paths.IndexFolder(), kSearchFolderName);
    const std::string page = JoinPath(paths.IndexFolder(), kSearchPageName, paths.style());
    if (platform::ReadWholeFile(page) == SearchPageText(IndexHref(paths)) &&
        platform::RemoveOutputFile(paths.IndexFolder(), kSearchPageName) == platform::Removal::Failed)
        problems.push_back({page, std::strerror(errno)});
    return problems;
}

}  // namespace

std::string SearchPageText(std::string_view indexHref)
{
    std::string page;
    modern::AppendPageStart(page, "検索", std::string(modern::kStylesheetName), "search", {});
    page.append("<header>\n<nav aria-label=\"サイト内の移動\">\n<ul>\n<li><a href=\"")
        .append(modern::Utf8OfCp932(indexHref))
        .append("\">メール一覧</a></li>\n</ul>\n</nav>\n<h1>検索</h1>\n</header>\n<main>\n");
    page.append("<form id=\"search-form\" class=\"site-search\" role=\"search\">\n"
                "<input id=\"search-box\" type=\"search\" name=\"q\" placeholder=\"検索 ( / )\" autocomplete=\"off\" "
                "aria-label=\"メールを検索\">\n<button type=\"submit\">検索</button>\n</form>\n"
                "<p id=\"search-status\" aria-live=\"polite\"></p>\n<ol id=\"search-results\"></ol>\n"
                "<button id=\"search-more\" type=\"button\" hidden>さらに表示</button>\n"
                "<noscript><p>検索にはJavaScriptが必要です。</p></noscript>\n</main>\n");
    for (const search::EmbeddedFile& script : search::SearchScripts()) {
        page.append("<script src=\"")
            .append(kSearchFolderName)
            .append("/")
            .append(script.name)
            .append("\" charset=\"utf-8\"></script>\n");
    }
    modern::AppendPageEnd(page, {});
    return page;
}

SiteSearchResult WriteSiteSearch(const ProjectSettings& settings, const std::string& projectFolder,
                                 const SitePlan& plan,
                                 const std::vector<std::optional<platform::FileStamp>>& mailFileStamps,
                                 JobProgress& progress, const StopFlag& stop)
{
    SiteSearchResult result;
    if (stop)
        return result;
    const OutputPaths paths(settings, projectFolder);
    if (PageStyleOf(settings) != PageStyleKind::Modern) {
        result.problems = RemoveSiteSearch(paths);
        return result;
    }
    const AddressHiding hiding = AddressHidingOf(settings);
    const std::string hidingName = std::to_string(static_cast<int>(hiding));
    const std::string mimeName = settings.MimeDecode != 0 ? "mime" : "plain";

    // The mails with a page, by their place in the list.
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < settings.mailList.size() && i < plan.size(); ++i) {
        if (plan.HasPage(i))
            positions.push_back(i);
    }
    // Every mail's entry is looked at on every run: the cores share them.
    std::vector<search::SearchEntry> entries(positions.size());
    std::optional<platform::FolderStamps> lookUp;
    if (mailFileStamps.size() < settings.mailList.size())
        lookUp.emplace(paths.Resolve(settings.TargetPath));
    const auto fill = [&](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k) {
            const MailRecord& mail = *settings.mailList[positions[k]];
            const std::optional<platform::FileStamp> stamp =
                lookUp ? lookUp->Input(mail.fileName) : mailFileStamps[positions[k]];
            const MailHead head = HeadOf(settings, paths, mail);
            const std::string stampText = stamp ? std::to_string(stamp->size) + ":" + std::to_string(stamp->modifiedNs)
                                                : std::string("none");
            entries[k] = {mail.fileName,
                          Fingerprint({kEntryFormat, stampText, hidingName, mimeName, plan[positions[k]].name,
                                       head.pageUrl, head.subject, head.sender, head.date}),
                          mail.date};
        }
    };
    platform::ShareAmongCores(positions.size(), platform::CoreCount(), fill);

    progress.SetRange(0, static_cast<int>(std::min<std::size_t>(positions.size(), INT_MAX)));
    std::size_t done = 0;
    const auto source = [&](std::size_t index) {
        progress.Report(static_cast<int>(std::min<std::size_t>(++done, INT_MAX)));
        const MailRecord& mail = *settings.mailList[positions[index]];
        MailHead head = HeadOf(settings, paths, mail);
        // A mail file that went since the plan was made is indexed by its
        // head alone; the page run reports it.
        const std::optional<std::string> bytes = ReadSearchedPart(paths.MailSourcePath(mail));
        std::string body = bytes ? SearchBodyText(*bytes, paths.PageFileName(mail), settings.MimeDecode != 0, hiding)
                                 : std::string();
        return search::SearchMail{std::move(head.pageUrl), std::move(head.subject), std::move(head.sender),
                                  std::move(head.date), std::move(body)};
    };
    search::SearchIndexRun run =
        search::WriteSearchIndex(JoinPath(paths.IndexFolder(), kSearchFolderName, paths.style()), entries, source);
    result.mailsIndexed = entries.size();
    result.problems = std::move(run.problems);
    if (auto problem = WriteSearchPage(settings, paths, plan))
        result.problems.push_back(std::move(*problem));
    result.written = true;
    return result;
}

}  // namespace postloom
