#include "core/report/run_problems.h"

#include "core/html/output_paths.h"

#include <algorithm>

namespace postloom {

namespace {

using enum ProblemKind;

void AddEach(const std::vector<std::string>& items, ProblemKind kind, Problems& out)
{
    for (const std::string& item : items)
        out.push_back({.kind = kind, .path = item});
}

void AddEach(const std::vector<platform::FileProblem>& items, ProblemKind kind, Problems& out)
{
    for (const platform::FileProblem& item : items)
        out.push_back({.kind = kind, .path = item.path, .reason = item.reason});
}

// The problem of an include or template that is switched on but missing.
void AddMissing(bool missing, ProblemKind kind, const OutputPaths& paths, const std::string& setting, Problems& out)
{
    if (missing)
        out.push_back({.kind = kind, .path = paths.Resolve(setting)});
}

void AddCount(std::size_t count, ProblemKind kind, Problems& out)
{
    if (count > 0)
        out.push_back({.kind = kind, .count = count});
}

ProblemKind LoadFailureKind(LoadFailure failure)
{
    switch (failure) {
    case LoadFailure::Missing:
        return ProjectMissing;
    case LoadFailure::NotAFile:
        return ProjectNotAFile;
    case LoadFailure::NotAProject:
        return NotAProject;
    case LoadFailure::None:
    case LoadFailure::Unreadable:
        break;
    }
    return ProjectUnreadable;
}

}  // namespace

void AddLoadProblems(const LoadResult& loaded, std::string_view projectFile, Problems& out)
{
    if (loaded.failure != LoadFailure::None)
        out.push_back({.kind = LoadFailureKind(loaded.failure),
                       .path = std::string(projectFile),
                       .reason = loaded.failure == LoadFailure::Unreadable ? loaded.systemError : std::string()});
    else if (loaded.noMailData)
        out.push_back({.kind = ProjectCutShort, .path = std::string(projectFile)});
    else if (loaded.mailBlockDamaged)
        out.push_back({.kind = ProjectMailListDamaged, .path = std::string(projectFile)});
}

void AddPathSettingProblems(const std::vector<std::string_view>& keysWithNul, Problems& out)
{
    for (const std::string_view key : keysWithNul)
        out.push_back({.kind = SettingHoldsNul, .path = std::string(key)});
}

void AddReadProblems(const FolderReadResult& read, std::string_view mailFolder, Problems& out)
{
    if (!read.folderFound)
        out.push_back({.kind = MailFolderMissing, .path = std::string(mailFolder)});
    AddEach(read.unreadable, MailFileUnreadable, out);
    AddEach(read.notMail, NotAMailFile, out);
    AddCount(read.leftOut, MailsLeftOut, out);
}

void AddNoMailsProblem(Problems& out)
{
    out.push_back({.kind = NoMails});
}

void AddOutputFolderLines(const OutputFoldersResult& folders, Problems& notices, Problems& out)
{
    AddEach(folders.created, FolderCreated, notices);
    if (folders.failed)
        out.push_back({.kind = folders.onlyPagesBlocked ? PageFolderNotCreated : FolderNotCreated,
                       .path = folders.failed->path,
                       .reason = folders.failed->reason});
}

void AddLeftOverTemporaryLines(std::size_t removed, Problems& notices)
{
    AddCount(removed, TemporaryFilesRemoved, notices);
}

void AddGraphicsProblems(const GraphicsCopyResult& graphics, Problems& out)
{
    AddEach(graphics.copiesFailed, GraphicNotCopied, out);
}

void AddIndexProblems(const IndexPageResult& index, const ProjectSettings& settings, const std::string& projectFolder,
                      Problems& out)
{
    const OutputPaths paths(settings, projectFolder);
    if (index.templateMissing)
        AddMissing(true, IndexTemplateMissing, paths, settings.IndexTemplateFile, out);
    else if (index.indexNotWritable)
        out.push_back({.kind = IndexPageNotWritten, .path = paths.IndexFileFullPath(), .reason = index.reason});
    AddMissing(index.headerMissing, IndexHeaderMissing, paths, settings.IndexHeaderFile, out);
    AddMissing(index.footerMissing, IndexFooterMissing, paths, settings.IndexFooterFile, out);
    if (index.stylesheetNotWritten)
        out.push_back({.kind = StylesheetNotWritten,
                       .path = index.stylesheetNotWritten->path,
                       .reason = index.stylesheetNotWritten->reason});
}

void AddPageProblems(const MailPageResult& pages, const ProjectSettings& settings, const std::string& projectFolder,
                     Problems& out)
{
    const OutputPaths paths(settings, projectFolder);
    AddMissing(pages.templateMissing, MailTemplateMissing, paths, settings.MailTemplateFile, out);
    AddMissing(pages.headerMissing, MailHeaderMissing, paths, settings.MailHeaderFile, out);
    AddMissing(pages.footerMissing, MailFooterMissing, paths, settings.MailFooterFile, out);
    AddEach(pages.missingArchives, MailFileMissing, out);
    AddEach(pages.unreadableArchives, MailFileUnreadableForPage, out);
    AddEach(pages.unusableFileNames, UnusableMailFileName, out);
    AddEach(pages.pagesNotWritten, PageNotWritten, out);
    AddEach(pages.attachmentsNotSaved, AttachmentNotSaved, out);
    AddEach(pages.pagesClashingWithArchives, PageWouldOverwriteMailFile, out);
    AddEach(pages.filesNotRemoved, NotRemoved, out);
    // Both writers put the stylesheet in place: one problem says it for both.
    if (pages.stylesheetNotWritten) {
        Problem problem{.kind = StylesheetNotWritten,
                        .path = pages.stylesheetNotWritten->path,
                        .reason = pages.stylesheetNotWritten->reason};
        if (std::find(out.begin(), out.end(), problem) == out.end())
            out.push_back(std::move(problem));
    }
    if (pages.stylesheetNotRemoved)
        out.push_back(
            {.kind = NotRemoved, .path = pages.stylesheetNotRemoved->path, .reason = pages.stylesheetNotRemoved->reason});
    if (pages.recordNotWritten)
        out.push_back({.kind = SiteRecordNotWritten,
                       .path = pages.recordNotWritten->path,
                       .reason = pages.recordNotWritten->reason});
    for (const PageNameClash& clash : pages.pageNameClashes) {
        if (clash.laterMailFile.empty())
            out.push_back({.kind = PageWouldOverwriteOutput, .path = clash.mailFile, .page = clash.pagePath});
        else
            out.push_back({.kind = MailsSharePage,
                           .path = clash.mailFile,
                           .otherMail = clash.laterMailFile,
                           .page = clash.pagePath});
    }
}

void AddPageNotices(const MailPageResult& pages, Problems& notices)
{
    AddEach(pages.archivesGone, MailFileGone, notices);
    AddCount(static_cast<std::size_t>(pages.pagesRemoved), PagesRemoved, notices);
    AddCount(static_cast<std::size_t>(pages.attachmentsRemoved), AttachmentsRemoved, notices);
}

void AddSearchProblems(const SiteSearchResult& search, Problems& out)
{
    AddEach(search.problems, SearchNotWritten, out);
}

void AddStoppedProblem(Problems& out)
{
    out.push_back({.kind = RunStopped});
}

void AddSaveLines(const SaveResult& saved, std::string_view projectFile, Problems& notices, Problems& out)
{
    if (!saved.backupPath.empty())
        notices.push_back({.kind = BackupKept, .path = saved.backupPath});
    if (!saved.ok)
        out.push_back({.kind = ProjectNotSaved, .path = std::string(projectFile), .reason = saved.error});
}

std::size_t SkippedFiles(const FolderReadResult& read, const MailPageResult& pages)
{
    std::size_t clashes = 0;
    for (const PageNameClash& clash : pages.pageNameClashes)
        clashes += clash.laterMailFile.empty() ? 1 : 0;
    return read.unreadable.size() + read.notMail.size() + pages.missingArchives.size() + pages.unreadableArchives.size() +
           pages.unusableFileNames.size() + pages.pagesNotWritten.size() + pages.attachmentsNotSaved.size() +
           pages.pagesClashingWithArchives.size() + clashes;
}

}  // namespace postloom
