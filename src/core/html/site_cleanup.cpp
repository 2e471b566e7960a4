#include "core/html/site_cleanup.h"

#include "core/html/output_paths.h"
#include "core/text/codec.h"

#include <cerrno>
#include <system_error>
#include <unordered_set>

namespace postloom {

namespace {

class Remover {
public:
    Remover(const std::string& folder, SiteCleanup& cleanup) : folder_(folder), cleanup_(cleanup) {}

    // True when the file is gone (removed now, or not there any more).
    // Something else than a regular file at the path is not the program's
    // and is left alone, as if it were gone.
    bool Remove(const std::string& relativePath, int& removed)
    {
        const std::string path = JoinPath(folder_, relativePath);
        switch (platform::RemoveOutputFile(folder_, relativePath)) {
        case platform::Removal::Removed:
            ++removed;
            return true;
        case platform::Removal::NotThere:
        case platform::Removal::NotAFile:
            return true;
        case platform::Removal::Failed:
            cleanup_.notRemoved.push_back({path, text::Utf8ToCp932(std::generic_category().message(errno))});
            return false;
        }
        return false;
    }

private:
    const std::string& folder_;
    SiteCleanup& cleanup_;
};

// The entry that keeps a file that could not be removed on the record; its
// inputs never match, so the page is never taken for unchanged.
RecordedPage& Keeper(SiteRecord& fresh, const std::string& name, const RecordedPage& old)
{
    const auto [entry, added] = fresh.pages.try_emplace(name, old);
    if (added) {
        entry->second.inputs.clear();
        entry->second.attachments.clear();
    }
    return entry->second;
}

}  // namespace

SiteCleanup RemoveUnlinkedFiles(const SiteRecord& old, SiteRecord& fresh, const SitePlan& plan)
{
    SiteCleanup cleanup;
    const std::string& folder = plan.pageFolder();
    Remover remover(folder, cleanup);
    // Both records are sorted by name: one walk along the fresh one finds
    // each old page's entry there. A keeper goes in just before the place
    // the walk has reached, so the walk stays right.
    auto at = fresh.pages.begin();
    for (const auto& [name, page] : old.pages) {
        while (at != fresh.pages.end() && at->first < name)
            ++at;
        RecordedPage* now = at != fresh.pages.end() && at->first == name ? &at->second : nullptr;
        if (!now && !plan.IsProtectedName(name) && !remover.Remove(name, cleanup.pagesRemoved))
            now = &Keeper(fresh, name, page);
        std::unordered_set<std::string> keptFiles;
        if (now) {
            for (const RecordedFile& file : now->attachments)
                keptFiles.insert(file.path);
        }
        for (const RecordedFile& file : page.attachments) {
            if (!keptFiles.contains(file.path) && !remover.Remove(file.path, cleanup.attachmentsRemoved)) {
                now = &Keeper(fresh, name, page);
                now->attachments.push_back(file);
            }
        }
        // The attachment folder goes with its last file, when it is the
        // program's own; one holding anything else stays.
        if (page.madeFolder && (!now || now->attachments.empty()) &&
            !platform::RemoveEmptyOutputFolder(folder, AttachmentFolderOf(name)) && now)
            now->madeFolder = true;
    }
    return cleanup;
}

}  // namespace postloom
