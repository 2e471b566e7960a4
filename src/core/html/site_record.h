#pragma once

// The record of the site, kept beside the index page as ".postloom-site":
// every page and attachment file the program wrote into the page folder,
// with what each page was made from. It tells a later run which files are
// the program's own (only those are ever removed) and which pages it need
// not build again because nothing they are made from changed.
//
// The record is a text file of lines: a first line naming the format, the
// page folder it describes, one "page" line per page followed by one
// "file" line per attachment saved beside it (a "style" line after the
// folder's for a site with a stylesheet), one "thread" line per thread
// page, and a last line with the
// digest of everything before it. Names are CP932 with the bytes that could
// break a line percent-encoded. A record that does not read back whole and
// intact, or that describes another page folder, is no record at all.

#include "core/platform/file_stamp.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postloom {

inline constexpr std::string_view kSiteRecordName = ".postloom-site";

struct RecordedFile {
    // Relative to the page folder: "<page>_files/<name>".
    std::string path;
    platform::FileStamp stamp;
    bool operator==(const RecordedFile&) const = default;
};

struct RecordedPage {
    std::string mailFile;  // the stored name of the mail the page shows
    platform::FileStamp archive;  // the mail file when the page was made
    std::string inputs;           // digest of everything else the page is made from
    platform::FileStamp page;     // the page file as written
    std::vector<RecordedFile> attachments;
    // The program made the attachment folder (so it may remove it when it
    // is left empty).
    bool madeFolder = false;
    bool operator==(const RecordedPage&) const = default;
};

// A page of the site's other views (months, feed), by its path relative to
// the index page's folder.
struct RecordedView {
    std::string inputs;        // digest of what the file was made from
    platform::FileStamp file;  // the file as written
    bool operator==(const RecordedView&) const = default;
};

// The paths a view may have: "feed.atom" or "months/<name>.html". No
// record names any other file to replace or remove.
bool IsViewPath(std::string_view path);

// A whole-thread page of the modern style, in the thread folder beside the
// index page.
struct RecordedThreadPage {
    std::string inputs;        // digest of everything the page is made from
    platform::FileStamp page;  // the page file as written
    bool operator==(const RecordedThreadPage&) const = default;
};

struct SiteRecord {
    std::string pageFolder;  // absolute, CP932
    // By page name.
    std::map<std::string, RecordedPage> pages;
    // The modern style's stylesheet beside the index page, as written.
    std::optional<platform::FileStamp> stylesheet = std::nullopt;
    // The month pages and the feed, by path beside the index page.
    std::map<std::string, RecordedView> views = {};
    // By page name inside the thread folder.
    std::map<std::string, RecordedThreadPage> threadPages = {};
    bool operator==(const SiteRecord&) const = default;
};

std::string FormatSiteRecord(const SiteRecord& record);
// nullopt for anything but a whole, intact record.
std::optional<SiteRecord> ParseSiteRecord(std::string_view text);

// The record in the file at recordPath when it describes pageFolder;
// nullopt when there is none, it cannot be read, or it is damaged.
std::optional<SiteRecord> LoadSiteRecord(std::string_view recordPath, std::string_view pageFolder);
// Puts the record in place whole (or leaves the old one); the system's
// reason when it cannot.
std::optional<std::string> SaveSiteRecord(std::string_view recordPath, const SiteRecord& record);

// The folder of a page's attachments: "a.html" keeps "a_files".
std::string AttachmentFolderOf(std::string_view pageName);

}  // namespace postloom
