#pragma once

// Reads a written site back: the links of every page, and the nesting of the
// index page's entries in either page style.

#include <filesystem>
#include <string>
#include <vector>

namespace postloom::test {

struct PageLink {
    std::filesystem::path page;    // the page that holds the link
    std::string url;               // as written (encoded)
    std::filesystem::path target;  // resolved and decoded
};

// Every HREF and SRC value (quoted or not, either case) of the pages under
// root that names a file of the site: absolute URLs are left out.
std::vector<PageLink> LinksOfSite(const std::filesystem::path& root);

// The value of every HREF and SRC attribute (either case) of one page's bytes.
std::vector<std::string> LinkValues(const std::string& html);

// Decodes %XX escapes.
std::string PercentDecode(const std::string& url);

struct IndexEntry {
    std::string pageUrl;  // the link of the entry
    int depth = 0;        // 0 for a thread start
};

// Entries of an index page drawn with tree graphics: the depth of an entry is
// the number of pictures in front of it, minus one.
std::vector<IndexEntry> GraphicIndexEntries(const std::string& html);

// Entries of an index page drawn as nested lists: the depth of an entry is
// the number of lists around it, minus one.
std::vector<IndexEntry> ListIndexEntries(const std::string& html);

}  // namespace postloom::test
