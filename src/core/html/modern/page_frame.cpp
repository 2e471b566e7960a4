#include "core/html/modern/page_frame.h"

#include "core/html/modern/page_text.h"
#include "core/html/template_files.h"

namespace postloom::modern {

void AppendPageStart(std::string& page, std::string_view title, const std::optional<std::string>& stylesheetHref,
                     std::string_view bodyClass, std::string_view headerInclude, std::string_view headLinks)
{
    page.append("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
                "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                "<meta name=\"generator\" content=\"Postloom 1.00\">\n<title>");
    page.append(title).append("</title>\n");
    if (stylesheetHref)
        page.append("<link rel=\"stylesheet\" href=\"").append(Utf8OfCp932(*stylesheetHref)).append("\">\n");
    page.append(headLinks);
    page.append("</head>\n<body class=\"").append(bodyClass).append("\">\n");
    page.append(headerInclude);
}

void AppendSearchBox(std::string& page, std::string_view searchHref)
{
    page.append("<form class=\"site-search\" role=\"search\" action=\"")
        .append(Utf8OfCp932(searchHref))
        .append("\">\n<input type=\"search\" name=\"q\" placeholder=\"検索 ( / )\" aria-label=\"メールを検索\">"
                "\n<button type=\"submit\">検索</button>\n</form>\n");
    // Only the search page loads the search itself: this is just the key.
    page.append("<script>document.addEventListener(\"keydown\",function(e){var t=e.target,b=document.querySelector("
                "\".site-search input\");if(e.key===\"/\"&&b&&!e.ctrlKey&&!e.metaKey&&!e.altKey&&!(t instanceof "
                "HTMLInputElement||t instanceof HTMLTextAreaElement||t.isContentEditable)){e.preventDefault();b.focus();}"
                "});</script>\n");
}

std::string BesideStylesheet(std::string_view stylesheetHref, std::string_view name)
{
    const std::size_t slash = stylesheetHref.rfind('/');
    std::string link(slash == std::string_view::npos ? std::string_view{} : stylesheetHref.substr(0, slash + 1));
    return link.append(name);
}

void AppendPageEnd(std::string& page, std::string_view footerInclude)
{
    page.append(footerInclude);
    page.append("</body>\n</html>\n");
}

std::string IncludeBlockUtf8(std::string_view part, const std::optional<std::string>& lines)
{
    if (!lines)
        return {};
    return IncludeBlock(part, IncludeAsUtf8(*lines));
}

}  // namespace postloom::modern
