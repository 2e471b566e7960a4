#include "core/html/modern/mail_page.h"

#include "core/html/modern/body_formatter.h"
#include "core/html/modern/caption_parts.h"
#include "core/html/modern/page_frame.h"
#include "core/html/modern/page_text.h"
#include "core/html/site_search.h"
#include "core/text/cp932.h"

#include <array>

namespace postloom::modern {

namespace {

constexpr std::size_t kPagePiece = 256 * 1024;

struct NavEntry {
    std::optional<std::string> MailPageLinks::*link;
    std::string_view rel;  // empty for none
    std::string_view label;
};

// The order of the link bar.
constexpr std::array<NavEntry, 7> kNavEntries = {{
    {&MailPageLinks::index, "", "インデックスへ"},
    {&MailPageLinks::thread, "", "スレッド全体"},
    {&MailPageLinks::threadTop, "", "スレッドの先頭へ"},
    {&MailPageLinks::parent, "up", "親メール"},
    {&MailPageLinks::child, "", "最初の返信"},
    {&MailPageLinks::prev, "prev", "前のメール"},
    {&MailPageLinks::next, "next", "次のメール"},
}};

// Types a browser shows in an img element without running anything.
bool IsShownImage(std::string_view contentType)
{
    for (const std::string_view type : {"image/png", "image/jpeg", "image/gif", "image/webp", "image/avif"}) {
        if (text::StartsWithIgnoreCase(contentType, type))
            return true;
    }
    return false;
}

std::string SizeText(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " バイト";
    const std::uint64_t tenths = (bytes * 10 + 512) / 1024;
    if (tenths < 10240)
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " KB";
    const std::uint64_t mbTenths = (bytes * 10 + 512 * 1024) / (1024 * 1024);
    return std::to_string(mbTenths / 10) + "." + std::to_string(mbTenths % 10) + " MB";
}

}  // namespace

MailPageLayout::MailPageLayout(const ProjectSettings& settings, std::optional<std::string> stylesheetHref,
                               std::string header, std::string footer)
    : settings_(settings), stylesheetHref_(std::move(stylesheetHref)), header_(std::move(header)),
      footer_(std::move(footer))
{
}

void MailPageLayout::AppendTop(std::string_view subjectHtml, const MailPageLinks& links, std::string& page) const
{
    AppendPageStart(page, subjectHtml, stylesheetHref_, "mail", header_);
    if (stylesheetHref_)
        AppendSearchBox(page, BesideStylesheet(*stylesheetHref_, kSearchPageName));
    if (settings_.DispLink != 0) {
        page.append("<header>\n<nav aria-label=\"メールの移動\">\n<ul>\n");
        for (const NavEntry& entry : kNavEntries) {
            const std::optional<std::string>& link = links.*entry.link;
            if (!link)
                continue;
            page.append("<li><a href=\"").append(Utf8OfCp932(*link)).append("\"");
            if (!entry.rel.empty())
                page.append(" rel=\"").append(entry.rel).append("\"");
            page.append(">").append(entry.label).append("</a></li>\n");
        }
        page.append("</ul>\n</nav>\n</header>\n");
    }
    page.append("<main>\n<article>\n");
    page.append(settings_.DispSubject != 0 ? "<h1>" : "<h1 class=\"unshown\">");
    page.append(subjectHtml).append("</h1>\n");
}

void AppendMailHead(const ProjectSettings& settings, const MailRecord& mail, std::string& page)
{
    page.append("<dl class=\"mail-head\">\n<dt>差出人</dt><dd>").append(SenderHtml(settings, mail)).append("</dd>\n");
    if (const std::string date = DateHtml(mail, true); !date.empty())
        page.append("<dt>日付</dt><dd>").append(date).append("</dd>\n");
    page.append("</dl>\n");
}

void MailPageLayout::AppendBottom(std::string& page) const
{
    page.append("</article>\n</main>\n");
    AppendPageEnd(page, footer_);
}

bool AppendMimeTexts(const MimePageBody& body, AddressHiding hiding, std::string& page,
                     const std::function<void(std::string_view)>& out)
{
    for (std::size_t i = 0; i < body.TextCount(); ++i) {
        page.append(kBodyStart);
        BodyFormatter formatter(hiding);
        const bool read = body.WriteTextUtf8(i, [&](std::string_view piece) {
            formatter.Feed(piece, page);
            if (page.size() >= kPagePiece) {
                out(page);
                page.clear();
            }
        });
        if (!read)
            return false;
        formatter.Finish(page);
        page.append(kBodyEnd);
    }
    return true;
}

void AppendAttachmentList(const std::vector<MimePageBody::AttachmentLink>& attachments, std::string& page)
{
    page.append("<section class=\"attachments\" aria-labelledby=\"attachments\">\n"
                "<h2 id=\"attachments\">添付ファイル</h2>\n<ul>\n");
    for (const MimePageBody::AttachmentLink& attachment : attachments) {
        std::string name;
        AppendEscapedText(attachment.shownName, name);
        std::string href;
        AppendEscapedText(attachment.href, href);
        page.append("<li><a href=\"").append(href).append("\">").append(name).append("</a> <span class=\"meta\">(");
        page.append(EscapedUtf8OfCp932(attachment.contentType)).append(", ").append(SizeText(attachment.size));
        page.append(")</span>");
        if (IsShownImage(attachment.contentType)) {
            page.append("\n<a href=\"").append(href).append("\"><img src=\"").append(href).append("\" alt=\"");
            page.append(name).append("\" loading=\"lazy\"></a>");
        }
        page.append("</li>\n");
    }
    page.append("</ul>\n</section>\n");
}

}  // namespace postloom::modern
