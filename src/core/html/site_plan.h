#pragma once

// Which mails have a page on the site, and under which name, decided once
// per run before anything is written: the index page and the mail pages
// link exactly the pages that the run makes. A mail has a page only when
// its stored name is usable, its page is switched on, its mail file is
// there and its page name is its own (not the name of a mail file, the
// index page or a graphic copy, and not taken by a later mail of the list
// with the same page name).

#include "core/mail/mail_record.h"
#include "core/project/project_settings.h"

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace postloom {

class OutputPaths;

enum class NoPageReason {
    SwitchedOff,
    UnusableName,
    // The mail file is gone while the mail folder is there.
    ArchiveGone,
    // The page would replace the file of a mail (mail and page folder are one).
    ClashesWithArchive,
    // The page would replace the index page or a graphic copy.
    ClashesWithOutput,
    // A later mail of the list has the same page name and the page.
    NameTaken,
};

struct PlannedPage {
    std::optional<NoPageReason> noPage;
    // The page name; empty for a mail switched off or with an unusable name.
    std::string name;
    // NameTaken: the position of the mail that has the page.
    std::size_t taker = 0;
};

// The files of a modern site besides its index page and mail pages. A run
// makes all of them; the pipeline benchmark leaves some out to time the
// others.
struct SiteParts {
    bool threadPages = true;
    bool monthsAndFeed = true;
    bool search = true;
};

class SitePlan {
public:
    // Lists the mail folder and the page folder once. Relative settings
    // paths resolve against projectFolder.
    SitePlan(const ProjectSettings& settings, const std::string& projectFolder, SiteParts parts = {});

    std::size_t size() const { return pages_.size(); }
    const PlannedPage& operator[](std::size_t mail) const { return pages_[mail]; }
    bool HasPage(std::size_t mail) const { return !pages_[mail].noPage; }
    // For a mail of the planned list, or none (false).
    bool HasPage(const MailRecord* mail) const { return mail != nullptr && !withoutPage_.contains(mail); }

    // The absolute folder of the pages.
    const std::string& pageFolder() const { return pageFolder_; }
    // The names (as the system spells them) in the page folder when the
    // plan was made; nullopt when it could not be listed.
    const std::optional<std::unordered_set<std::string>>& pageFolderNames() const { return pageFolderNames_; }
    // Names in the page folder that the run must never replace or remove:
    // mail files of the list (when mail and page folder are one), the index
    // page and the graphic copies placed there.
    bool IsProtectedName(const std::string& name) const { return protectedNames_.contains(name); }

    const SiteParts& parts() const { return parts_; }

private:
    SiteParts parts_;
    std::vector<PlannedPage> pages_;
    // Usually few: looked up for every link of every page.
    std::unordered_set<const MailRecord*> withoutPage_;
    std::string pageFolder_;
    std::optional<std::unordered_set<std::string>> pageFolderNames_;
    std::unordered_set<std::string> protectedNames_;
};

// Why a file the site adds at path (a month page, the feed, the search
// page) may not be written there: it is the index page, or a mail file or a
// mail page of that name stands in its folder (the mail folder or the page
// folder may be that folder). nullopt when it may.
std::optional<std::string> WhyNameIsTaken(const ProjectSettings& settings, const OutputPaths& paths,
                                          const SitePlan& plan, const std::string& path);

}  // namespace postloom
