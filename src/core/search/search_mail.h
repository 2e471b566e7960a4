#pragma once

// What the search index holds of one mail that has a page.

#include <cstdint>
#include <functional>
#include <string>

namespace postloom::search {

// Known before the mail is read: enough to tell whether the index already
// holds it as it is now, and where it goes in the order of the results.
struct SearchEntry {
    std::string key;          // names the mail among all others (its file name)
    std::string fingerprint;  // changes whenever anything below would change
    std::int64_t sortKey = 0; // larger is newer; results are shown newest first
};

// The mail as its page shows it, UTF-8.
struct SearchMail {
    std::string pageUrl;  // relative to the folder of the search page
    std::string subject;
    std::string sender;   // as the address setting shows it
    std::string date;
    std::string body;     // the text of the page
};

// Reads the mail of entries[index]; called only for mails the run writes.
using SearchMailSource = std::function<SearchMail(std::size_t index)>;

}  // namespace postloom::search
