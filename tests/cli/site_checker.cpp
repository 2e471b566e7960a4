#include "site_checker.h"

#include "support/test_support.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace postloom::test {

namespace fs = std::filesystem;

std::string PercentDecode(const std::string& url)
{
    std::string out;
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size() && std::isxdigit(static_cast<unsigned char>(url[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(url[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(url.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(url[i]);
        }
    }
    return out;
}

// Where the attribute name starts at pos, ignoring case; the attribute must
// follow a space, as in every tag the pages hold.
bool AttributeAt(const std::string& html, std::size_t pos, std::string_view name)
{
    if (pos == 0 || html[pos - 1] != ' ' || html.size() - pos < name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(html[pos + i])) != name[i])
            return false;
    }
    return true;
}

std::vector<std::string> LinkValues(const std::string& html)
{
    std::vector<std::string> values;
    for (const std::string_view attribute : {"HREF=", "SRC="}) {
        for (std::size_t pos = 1; pos < html.size(); ++pos) {
            if (!AttributeAt(html, pos, attribute))
                continue;
            std::size_t start = pos + attribute.size();
            std::size_t end = 0;
            if (start < html.size() && html[start] == '"') {
                ++start;
                end = html.find('"', start);
            } else {
                end = html.find_first_of(" >", start);
            }
            if (end == std::string::npos)
                end = html.size();
            values.push_back(html.substr(start, end - start));
            pos = end;
        }
    }
    return values;
}

bool IsAbsoluteUrl(const std::string& url)
{
    const std::size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(url[0])))
        return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

std::vector<PageLink> LinksOfSite(const fs::path& root)
{
    std::vector<PageLink> links;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".html")
            continue;
        for (const std::string& url : LinkValues(ReadFile(entry.path().string()))) {
            if (IsAbsoluteUrl(url))
                continue;
            // A link to a place in a page names the page's file.
            const std::string file = url.substr(0, url.find('#'));
            const fs::path target = (entry.path().parent_path() / PercentDecode(file)).lexically_normal();
            links.push_back({entry.path(), url, target});
        }
    }
    return links;
}

std::vector<IndexEntry> GraphicIndexEntries(const std::string& html)
{
    std::vector<IndexEntry> entries;
    int pictures = 0;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t img = html.find("<IMG SRC=", pos);
        const std::size_t link = html.find("<A HREF=\"", pos);
        if (link == std::string::npos)
            break;
        if (img != std::string::npos && img < link) {
            ++pictures;
            pos = img + 1;
            continue;
        }
        const std::size_t start = link + 9;
        const std::size_t end = html.find('"', start);
        entries.push_back({html.substr(start, end - start), pictures - 1});
        pictures = 0;
        pos = end;
    }
    return entries;
}

std::vector<IndexEntry> ListIndexEntries(const std::string& html)
{
    std::vector<IndexEntry> entries;
    int depth = 0;
    std::size_t pos = html.find("<main>");
    while (pos != std::string::npos) {
        const std::size_t open = html.find("<ul", pos);
        const std::size_t close = html.find("</ul>", pos);
        const std::size_t link = html.find("<a href=\"", pos);
        const std::size_t next = std::min({open, close, link});
        if (next == std::string::npos)
            break;
        if (next == open) {
            ++depth;
            pos = open + 1;
        } else if (next == close) {
            --depth;
            pos = close + 1;
        } else {
            const std::size_t start = link + 9;
            const std::size_t end = html.find('"', start);
            entries.push_back({html.substr(start, end - start), depth - 1});
            pos = end;
        }
    }
    return entries;
}

}  // namespace postloom::test
