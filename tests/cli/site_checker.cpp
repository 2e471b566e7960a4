#include "site_checker.h"

#include "support/test_support.h"

#include <cctype>

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

std::vector<std::string> LinkValues(const std::string& html)
{
    std::vector<std::string> values;
    for (const std::string attribute : {"HREF=", "SRC="}) {
        for (std::size_t pos = html.find(attribute); pos != std::string::npos; pos = html.find(attribute, pos + 1)) {
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
        }
    }
    return values;
}

std::vector<PageLink> LinksOfSite(const fs::path& root)
{
    std::vector<PageLink> links;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".html")
            continue;
        for (const std::string& url : LinkValues(ReadFile(entry.path().string()))) {
            const fs::path target = (entry.path().parent_path() / PercentDecode(url)).lexically_normal();
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

}  // namespace postloom::test
