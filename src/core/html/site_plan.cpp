#include "core/html/site_plan.h"

#include "core/html/output_paths.h"
#include "core/platform/file_system.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace postloom {

namespace {

// A file the run writes besides the pages, given as its folder's identity
// and its name, so that a page under another spelling of the same folder
// is still recognised.
struct OtherOutput {
    std::string path;
    std::optional<platform::FileIdentity> folder;
    std::string name;
};

// The index page and the graphic copies this run writes.
std::vector<OtherOutput> OtherOutputs(const ProjectSettings& settings, const OutputPaths& paths)
{
    std::vector<std::string> files;
    if (settings.IndexCreateType == 0 || settings.IndexCreateType == 1)
        files.push_back(paths.IndexFileFullPath());
    if (settings.DrawGraphic != 0) {
        for (const std::string* graphic : {&settings.FirstTree, &settings.ContTree, &settings.LastTree,
                                           &settings.NextTree, &settings.NullTree})
            files.push_back(paths.TreeGraphicCopyPath(*graphic));
    }
    if (settings.IndexBackGround != 0)
        files.push_back(paths.IndexBackgroundCopyPath());
    if (settings.MailBackGround != 0)
        files.push_back(paths.MailBackgroundCopyPath());
    std::vector<OtherOutput> outputs;
    for (std::string& file : files) {
        const std::string name = FileNamePart(file, paths.style());
        const std::string folder = file.substr(0, file.size() - name.size());
        outputs.push_back({std::move(file), platform::IdentityOf(folder.empty() ? "." : folder), name});
    }
    return outputs;
}

bool IsOtherOutput(const OtherOutput& output, const std::string& pagePath,
                   const std::optional<platform::FileIdentity>& pageFolder, const std::string& pageName)
{
    return output.path == pagePath || (pageFolder && output.folder == pageFolder && output.name == pageName);
}

// Whether a mail file is there; with no listing of the mail folder (it is
// missing or cannot be read) every mail counts as there, and the pages
// keep their links: a folder that is away is no take-down.
bool ArchiveListed(const std::optional<std::unordered_set<std::string>>& mailFolderNames, const std::string& name)
{
    // Most names are spelt alike both ways: no conversion for those.
    return !mailFolderNames || mailFolderNames->contains(name) ||
           mailFolderNames->contains(platform::NativePath(name));
}

}  // namespace

SitePlan::SitePlan(const ProjectSettings& settings, const std::string& projectFolder, SiteParts parts)
    : parts_(parts)
{
    const OutputPaths paths(settings, projectFolder);
    const MailList& mails = settings.mailList;
    pages_.resize(mails.size());
    pageFolder_ = paths.MailFolderFullPath();
    const std::string mailFolder = paths.Resolve(settings.TargetPath);
    const std::optional<platform::FileIdentity> pageFolderId = platform::IdentityOf(pageFolder_);
    const std::optional<platform::FileIdentity> mailFolderId = platform::IdentityOf(mailFolder);
    const bool sharedFolder = pageFolderId && mailFolderId && *pageFolderId == *mailFolderId;
    std::unordered_set<std::string_view> archiveNames;
    if (sharedFolder) {
        for (const auto& mail : mails) {
            archiveNames.insert(mail->fileName);
            protectedNames_.insert(mail->fileName);
        }
    }
    const std::vector<OtherOutput> otherOutputs = OtherOutputs(settings, paths);
    for (const OtherOutput& output : otherOutputs) {
        if (IsOtherOutput(output, JoinPath(pageFolder_, output.name), pageFolderId, output.name))
            protectedNames_.insert(output.name);
    }
    // One listing of each folder instead of a lookup per mail.
    const std::optional<std::unordered_set<std::string>> mailFolderNames = platform::NativeNamesIn(mailFolder);
    pageFolderNames_ = sharedFolder ? mailFolderNames : platform::NativeNamesIn(pageFolder_);

    // Keys point into pages_, which never grows.
    std::unordered_map<std::string_view, std::size_t> pageOwners;
    for (std::size_t i = 0; i < mails.size(); ++i) {
        const MailRecord& mail = *mails[i];
        PlannedPage& page = pages_[i];
        if (mail.outputHtml == 0) {
            page.noPage = NoPageReason::SwitchedOff;
            continue;
        }
        if (!IsUsableFileName(mail.fileName)) {
            page.noPage = NoPageReason::UnusableName;
            continue;
        }
        page.name = paths.PageFileName(mail);
        if (archiveNames.contains(page.name)) {
            page.noPage = NoPageReason::ClashesWithArchive;
        } else if (std::any_of(otherOutputs.begin(), otherOutputs.end(), [&](const OtherOutput& output) {
                       return IsOtherOutput(output, JoinPath(pageFolder_, page.name), pageFolderId, page.name);
                   })) {
            page.noPage = NoPageReason::ClashesWithOutput;
        } else if (!ArchiveListed(mailFolderNames, mail.fileName)) {
            page.noPage = NoPageReason::ArchiveGone;
        } else if (const auto [owner, added] = pageOwners.try_emplace(page.name, i); !added) {
            // The later mail has the page; the earlier one has none.
            pages_[owner->second].noPage = NoPageReason::NameTaken;
            owner->second = i;
        }
    }
    for (std::size_t i = 0; i < mails.size(); ++i) {
        PlannedPage& page = pages_[i];
        if (page.noPage == NoPageReason::NameTaken)
            page.taker = pageOwners.at(page.name);
        if (page.noPage)
            withoutPage_.insert(mails[i].get());
    }
}

std::optional<std::string> WhyNameIsTaken(const ProjectSettings& settings, const OutputPaths& paths,
                                          const SitePlan& plan, const std::string& path)
{
    if (path == paths.IndexFileFullPath())
        return "the name is taken by the index page";
    const std::string folder = FullPath("..", path, kNativePathStyle);
    const std::string name = FileNamePart(path);
    if (paths.Resolve(settings.TargetPath) == folder) {
        for (const auto& mail : settings.mailList) {
            if (mail->fileName == name)
                return "the name is taken by a mail file";
        }
    }
    if (plan.pageFolder() == folder) {
        for (std::size_t i = 0; i < plan.size(); ++i) {
            if (plan.HasPage(i) && plan[i].name == name)
                return "the name is taken by a mail page";
        }
    }
    return std::nullopt;
}

}  // namespace postloom
