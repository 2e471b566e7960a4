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
    for (const auto& [name, page] : old.pages) {
        const bool kept = fresh.pages.contains(name);
        if (!kept && !plan.IsProtectedName(name) && !remover.Remove(name, cleanup.pagesRemoved))
            Keeper(fresh, name, page);
        std::unordered_set<std::string> keptFiles;
        if (const auto found = fresh.pages.find(name); found != fresh.pages.end()) {
            for (const RecordedFile& file : found->second.attachments)
                keptFiles.insert(file.path);
        }
        for (const RecordedFile& file : page.attachments) {
            if (!keptFiles.contains(file.path) && !remover.Remove(file.path, cleanup.attachmentsRemoved))
                Keeper(fresh, name, page).attachments.push_back(file);
        }
        // The attachment folder goes with its last file, when it is the
        // program's own; one holding anything else stays.
        const auto now = fresh.pages.find(name);
        if (page.madeFolder && (now == fresh.pages.end() || now->second.attachments.empty()) &&
            !platform::RemoveEmptyOutputFolder(folder, AttachmentFolderOf(name)) &&
            now != fresh.pages.end())
            now->second.madeFolder = true;
    }
    return cleanup;
}

}  // namespace postloom
