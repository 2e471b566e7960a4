#include "core/report/run_problems.h"

#include "core/html/output_paths.h"

#include <algorithm>

namespace postloom {

namespace {

std::string Join(std::string_view a, std::string_view b)
{
    return std::string(a).append(b);
}

void AddEach(const std::vector<std::string>& items, std::string_view what, ProblemLines& out)
{
    for (const std::string& item : items)
        out.push_back(Join(what, ": ") + item);
}

void AddEach(const std::vector<platform::FileProblem>& items, std::string_view what, ProblemLines& out)
{
    for (const platform::FileProblem& item : items)
        out.push_back(Join(what, ": ") + item.path + (item.reason.empty() ? "" : ": " + item.reason));
}

// The problem of an include or template that is switched on but missing.
void AddMissing(bool missing, std::string_view what, const OutputPaths& paths, const std::string& setting,
                ProblemLines& out)
{
    if (missing)
        out.push_back(Join("cannot read the ", what) + " " + paths.Resolve(setting));
}

}  // namespace

void AddLoadProblems(const LoadResult& loaded, std::string_view projectFile, ProblemLines& out)
{
    if (loaded.failure != LoadFailure::None)
        out.push_back(Join("cannot read the project file ", projectFile) + ": " + loaded.failureReason());
    else if (loaded.damaged())
        out.push_back(loaded.damageReason());
}

void AddPathSettingProblems(const std::vector<std::string_view>& keysWithNul, ProblemLines& out)
{
    for (const std::string_view key : keysWithNul)
        out.push_back(Join("the setting ", key) + " holds a NUL byte; no file that depends on it was written");
}

void AddReadProblems(const FolderReadResult& read, std::string_view mailFolder, ProblemLines& out)
{
    if (!read.folderFound)
        out.push_back(Join("the mail folder does not exist: ", mailFolder));
    AddEach(read.unreadable, "cannot read mail file", out);
    AddEach(read.notMail, "not a mail file", out);
    if (read.leftOut > 0)
        out.push_back(std::to_string(read.leftOut) +
                      " mail files were left out: a project holds at most 65,535 mails");
}

void AddNoMailsProblem(ProblemLines& out)
{
    out.push_back("the project has no mails; no page was written");
}

void AddOutputFolderLines(const OutputFoldersResult& folders, ProblemLines& notices, ProblemLines& out)
{
    for (const std::string& folder : folders.created)
        notices.push_back("created the missing folder " + folder);
    if (folders.failed)
        out.push_back("cannot create the folder " + folders.failed->path + ": " + folders.failed->reason +
                      (folders.onlyPagesBlocked ? "; no mail page was written" : "; no page was written"));
}

void AddLeftOverTemporaryLines(std::size_t removed, ProblemLines& notices)
{
    if (removed == 1)
        notices.push_back("removed 1 temporary file left by an interrupted run");
    else if (removed > 1)
        notices.push_back("removed " + std::to_string(removed) + " temporary files left by interrupted runs");
}

void AddGraphicsProblems(const GraphicsCopyResult& graphics, ProblemLines& out)
{
    AddEach(graphics.copiesFailed, "cannot copy graphic", out);
}

void AddIndexProblems(const IndexPageResult& index, const ProjectSettings& settings, const std::string& projectFolder,
                      ProblemLines& out)
{
    const OutputPaths paths(settings, projectFolder);
    if (index.templateMissing)
        AddMissing(true, "index template", paths, settings.IndexTemplateFile, out);
    else if (index.indexNotWritable)
        out.push_back("cannot write the index page " + paths.IndexFileFullPath() + ": " + index.reason);
    AddMissing(index.headerMissing, "index header file", paths, settings.IndexHeaderFile, out);
    AddMissing(index.footerMissing, "index footer file", paths, settings.IndexFooterFile, out);
    if (index.stylesheetNotWritten)
        out.push_back("cannot write the stylesheet " + index.stylesheetNotWritten->path + ": " +
                      index.stylesheetNotWritten->reason);
}

void AddPageProblems(const MailPageResult& pages, const ProjectSettings& settings, const std::string& projectFolder,
                     ProblemLines& out)
{
    const OutputPaths paths(settings, projectFolder);
    AddMissing(pages.templateMissing, "mail page template", paths, settings.MailTemplateFile, out);
    AddMissing(pages.headerMissing, "mail header file", paths, settings.MailHeaderFile, out);
    AddMissing(pages.footerMissing, "mail footer file", paths, settings.MailFooterFile, out);
    AddEach(pages.missingArchives, "mail file missing, no page", out);
    AddEach(pages.unreadableArchives, "cannot read mail file, no page", out);
    AddEach(pages.unusableFileNames, "unusable mail file name in the project, no page", out);
    AddEach(pages.pagesNotWritten, "cannot write page", out);
    AddEach(pages.attachmentsNotSaved, "cannot save attachment", out);
    AddEach(pages.pagesClashingWithArchives, "page would overwrite a mail file, not written", out);
    AddEach(pages.filesNotRemoved, "cannot remove", out);
    // Both writers put the stylesheet in place: one line says it for both.
    if (pages.stylesheetNotWritten) {
        std::string line = "cannot write the stylesheet " + pages.stylesheetNotWritten->path + ": " +
                           pages.stylesheetNotWritten->reason;
        if (std::find(out.begin(), out.end(), line) == out.end())
            out.push_back(std::move(line));
    }
    if (pages.stylesheetNotRemoved)
        out.push_back("cannot remove " + pages.stylesheetNotRemoved->path + ": " + pages.stylesheetNotRemoved->reason);
    if (pages.recordNotWritten)
        out.push_back("cannot write the site record " + pages.recordNotWritten->path + ": " +
                      pages.recordNotWritten->reason);
    for (const PageNameClash& clash : pages.pageNameClashes) {
        if (clash.laterMailFile.empty())
            out.push_back("page of " + clash.mailFile + " would overwrite " + clash.pagePath + ", not written");
        else
            out.push_back("mails " + clash.mailFile + " and " + clash.laterMailFile + " share the page " +
                          clash.pagePath + "; the later one replaces it");
    }
}

void AddPageNotices(const MailPageResult& pages, ProblemLines& notices)
{
    AddEach(pages.archivesGone, "mail file gone, no page", notices);
    if (pages.pagesRemoved == 1)
        notices.push_back("1 page of a mail without a page was removed");
    else if (pages.pagesRemoved > 1)
        notices.push_back(std::to_string(pages.pagesRemoved) + " pages of mails without a page were removed");
    if (pages.attachmentsRemoved == 1)
        notices.push_back("1 attachment that no page links was removed");
    else if (pages.attachmentsRemoved > 1)
        notices.push_back(std::to_string(pages.attachmentsRemoved) + " attachments that no page links were removed");
}

void AddStoppedProblem(ProblemLines& out)
{
    out.push_back("the run was stopped before its end");
}

void AddSaveLines(const SaveResult& saved, std::string_view projectFile, ProblemLines& notices, ProblemLines& out)
{
    if (!saved.backupPath.empty())
        notices.push_back("kept the old project file as " + saved.backupPath);
    if (!saved.ok)
        out.push_back(Join("cannot save the project ", projectFile) + ": " + saved.error);
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
