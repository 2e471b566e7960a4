#include "core/html/modern/atom_feed.h"

#include "core/html/address_hiding.h"
#include "core/html/modern/caption_parts.h"
#include "core/html/modern/page_text.h"
#include "core/html/text_helpers.h"
#include "core/mime/mime_message.h"
#include "core/platform/local_time.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <optional>
#include <unordered_set>

namespace postloom::modern {

namespace {

constexpr std::string_view kTagPrefix = "tag:postloom.invalid,2000:";
constexpr std::size_t kSummaryLines = 4;
constexpr std::size_t kSummaryBytes = 600;

bool IsUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// Every byte but the unreserved ones (and those of keep) as %XX.
std::string PercentEncoded(std::string_view bytes, std::string_view keep = {})
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte) || keep.find(c) != std::string_view::npos) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        }
    }
    return out;
}

std::string SiteTag(const ProjectSettings& settings)
{
    const std::string title = Utf8OfCp932(settings.Title);
    return std::string(kTagPrefix) + (title.empty() ? std::string("site") : PercentEncoded(title));
}

std::string PageTag(const ProjectSettings& settings, std::string_view pageName)
{
    return SiteTag(settings) + "/" + PercentEncoded(Utf8OfCp932(pageName));
}

// The moment of the mail's date (its record holds Greenwich wall-clock
// time read as local time) in RFC 3339 form.
std::optional<std::string> UpdatedOf(const MailRecord& mail)
{
    const std::optional<std::tm> tm = platform::BreakDownLocal(mail.date);
    char text[32];
    if (!tm || tm->tm_year + 1900 < 1 || tm->tm_year + 1900 > 9999 ||
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &*tm) != 20)
        return std::nullopt;
    return std::string(text);
}

// Text-mode lines: CR LF as LF, nothing from a 0x1A byte on.
std::string TextMode(std::string_view bytes)
{
    bytes = bytes.substr(0, bytes.find('\x1a'));
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        out.push_back(bytes[i]);
    }
    return out;
}

// The first lines with text, cut at a character's end.
std::string FirstLines(std::string_view utf8)
{
    std::string out;
    std::size_t lines = 0;
    std::size_t at = 0;
    while (at < utf8.size() && lines < kSummaryLines) {
        const std::size_t end = std::min(utf8.find('\n', at), utf8.size());
        std::string_view line = utf8.substr(at, end - at);
        at = end + 1;
        line.remove_suffix(line.size() - (line.find_last_not_of(" \t\r") + 1));
        if (line.find_first_not_of(" \t\r\f") == std::string_view::npos)
            continue;
        if (!out.empty())
            out.push_back('\n');
        out.append(line);
        ++lines;
    }
    if (out.size() > kSummaryBytes) {
        std::size_t cut = kSummaryBytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
        out.append("…");
    }
    return out;
}

// XML 1.0 allows no form feed, which page text may hold (the page escape
// keeps it): U+FFFD in its place.
void AppendWithoutFormFeeds(std::string_view escaped, std::string& out)
{
    for (const char c : escaped) {
        if (c == '\f')
            out.append("\xEF\xBF\xBD");
        else
            out.push_back(c);
    }
}

void AppendXmlText(std::string_view utf8, std::string& out)
{
    std::string escaped;
    AppendEscapedText(utf8, escaped);
    AppendWithoutFormFeeds(escaped, out);
}

}  // namespace

std::string EntryIdOf(const ProjectSettings& settings, const MailRecord& mail, std::string_view pageName)
{
    std::string_view id = mail.messageId;
    if (id.starts_with('<') && id.ends_with('>') && id.size() > 2)
        id = id.substr(1, id.size() - 2);
    if (id.empty())
        return PageTag(settings, pageName);
    return "mid:" + PercentEncoded(id, "@");
}

std::vector<std::size_t> FeedMails(const ProjectSettings& settings, const SitePlan& plan)
{
    std::vector<std::size_t> dated;
    for (std::size_t i = 0; i < settings.mailList.size(); ++i) {
        if (plan.HasPage(i) && settings.mailList[i]->date != 0)
            dated.push_back(i);
    }
    const auto newer = [&](std::size_t a, std::size_t b) {
        const std::int32_t dateA = settings.mailList[a]->date;
        const std::int32_t dateB = settings.mailList[b]->date;
        return dateA != dateB ? dateA > dateB : a > b;
    };
    std::sort(dated.begin(), dated.end(), newer);
    // Newest first, only the dates the feed can show are looked at: a date
    // broken down for every mail would cost more than the sort.
    std::vector<std::size_t> mails;
    for (const std::size_t i : dated) {
        if (mails.size() == kFeedEntries)
            break;
        if (UpdatedOf(*settings.mailList[i]))
            mails.push_back(i);
    }
    return mails;
}

std::string SummaryOf(const ProjectSettings& settings, std::string_view fileBytes)
{
    const std::string text = TextMode(fileBytes);
    const std::size_t blank = text.starts_with('\n') ? 0 : text.find("\n\n");
    const std::string_view header =
        blank == std::string::npos ? std::string_view(text) : std::string_view(text).substr(0, blank + 1);
    std::string body;
    if (settings.MimeDecode != 0 && mime::NeedsDecoding(header)) {
        const mime::DecodedMail decoded = mime::DecodeMail(fileBytes);
        for (const mime::TextBlock& block : decoded.texts) {
            body.append(block.utf8 ? block.text : Utf8OfCp932(block.text));
            body.push_back('\n');
            if (body.size() > 4 * kSummaryBytes)
                break;
        }
    } else if (blank != std::string::npos) {
        body = Utf8OfCp932(std::string_view(text).substr(blank + (blank == 0 ? 1 : 2)));
    }
    return HideAddressesInText(FirstLines(body), AddressHidingOf(settings), TextEncoding::Utf8);
}

std::string AtomFeedText(const ProjectSettings& settings, const OutputPaths& paths, const SitePlan& plan,
                         const std::vector<std::size_t>& mails, const std::vector<std::string>& summaries)
{
    std::string title = Utf8OfCp932(settings.Title);
    if (title.empty())
        title = "メール一覧";
    std::string feed = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\">\n<title>";
    AppendXmlText(title, feed);
    feed.append("</title>\n<id>").append(SiteTag(settings)).append("</id>\n<updated>");
    feed.append(mails.empty() ? std::string("1970-01-01T00:00:00Z") : *UpdatedOf(*settings.mailList[mails[0]]));
    feed.append("</updated>\n<link rel=\"alternate\" type=\"text/html\" href=\"");
    AppendXmlText(Utf8OfCp932(EncodeUrl(FileNamePart(paths.IndexFileFullPath()))), feed);
    feed.append("\"/>\n<generator>Postloom</generator>\n");

    // Two mails may carry one Message-Id; each entry keeps an id of its own.
    std::unordered_set<std::string> ids;
    for (std::size_t k = 0; k < mails.size(); ++k) {
        const MailRecord& mail = *settings.mailList[mails[k]];
        std::string id = EntryIdOf(settings, mail, plan[mails[k]].name);
        if (!ids.insert(id).second) {
            id = PageTag(settings, plan[mails[k]].name);
            ids.insert(id);
        }
        std::string sender = ShownSenderName(AddressHidingOf(settings), mail);
        sender.erase(sender.find_last_not_of(" \t") + 1);
        feed.append("<entry>\n<title>");
        AppendWithoutFormFeeds(SubjectHtml(settings, mail), feed);
        feed.append("</title>\n<id>");
        AppendXmlText(id, feed);
        feed.append("</id>\n<updated>").append(*UpdatedOf(mail)).append("</updated>\n<author><name>");
        AppendXmlText(sender.empty() ? std::string("(差出人なし)") : Utf8OfCp932(sender), feed);
        feed.append("</name></author>\n<link rel=\"alternate\" type=\"text/html\" href=\"");
        AppendXmlText(Utf8OfCp932(paths.PageLinkFromIndex(mail)), feed);
        feed.append("\"/>\n<summary type=\"text\">");
        AppendXmlText(summaries[k], feed);
        feed.append("</summary>\n</entry>\n");
    }
    feed.append("</feed>\n");
    return feed;
}

}  // namespace postloom::modern
