#include "cli/batch_pipeline.h"

#include "core/html/output_folders.h"
#include "core/html/output_paths.h"
#include "core/mail/mail_parser.h"
#include "core/platform/file_system.h"
#include "core/project/project_file.h"
#include "core/project/project_settings.h"
#include "core/text/codec.h"
#include "core/threading/mail_sort.h"
#include "core/threading/tree_builder.h"

namespace postloom::batch {

namespace {

// Paths in messages are shown as UTF-8, the terminal's encoding.
std::string Shown(std::string_view cp932)
{
    return text::Cp932ToUtf8(cp932);
}

void ReportList(std::vector<std::string>& problems, const std::vector<std::string>& items, const std::string& what)
{
    for (const std::string& item : items)
        problems.push_back(what + ": " + Shown(item));
}

void ReportList(std::vector<std::string>& problems, const std::vector<platform::FileProblem>& items,
                const std::string& what)
{
    for (const platform::FileProblem& item : items)
        problems.push_back(what + ": " + Shown(item.path) + (item.reason.empty() ? "" : ": " + Shown(item.reason)));
}

// The folder of an absolute project path ("/" for a file in the root).
std::string FolderOf(const std::string& absolutePath)
{
    const std::size_t slash = absolutePath.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return absolutePath.substr(0, slash);
}

class StageScope {
public:
    StageScope(StageProgress& progress, Stage stage) : progress_(progress), stage_(stage), sink_(progress.Begin(stage)) {}
    ~StageScope() { progress_.End(stage_); }
    StageScope(const StageScope&) = delete;
    StageScope& operator=(const StageScope&) = delete;
    JobProgress& sink() { return sink_; }

private:
    StageProgress& progress_;
    Stage stage_;
    JobProgress& sink_;
};

// Copies the graphics, writes the index page and the mail pages.
void WriteSite(const ProjectSettings& settings, const std::string& projectFolder, const ThreadTree& tree,
               StageProgress& progress, const StopFlag& stop, BatchReport& report)
{
    const OutputPaths paths(settings, projectFolder);
    {
        StageScope scope(progress, Stage::Graphics);
        report.graphics = CopyGraphics(settings, projectFolder, scope.sink());
        ReportList(report.problems, report.graphics.copiesFailed, "cannot copy graphic");
    }
    {
        StageScope scope(progress, Stage::Index);
        report.index = WriteIndexPage(settings, projectFolder, tree, scope.sink());
        const std::string indexFile = paths.IndexFileFullPath();
        if (report.index.templateMissing)
            report.problems.push_back("cannot read the index template " + Shown(paths.Resolve(settings.IndexTemplateFile)));
        else if (report.index.indexNotWritable)
            report.problems.push_back("cannot write the index page " + Shown(indexFile) + ": " +
                                      Shown(report.index.reason));
        if (report.index.headerMissing)
            report.problems.push_back("cannot read the index header file " + Shown(paths.Resolve(settings.IndexHeaderFile)));
        if (report.index.footerMissing)
            report.problems.push_back("cannot read the index footer file " + Shown(paths.Resolve(settings.IndexFooterFile)));
    }
    {
        StageScope scope(progress, Stage::Pages);
        report.pages = WriteMailPages(settings, projectFolder, scope.sink(), stop);
        const MailPageResult& pages = report.pages;
        if (pages.templateMissing)
            report.problems.push_back("cannot read the mail page template " + Shown(paths.Resolve(settings.MailTemplateFile)));
        if (pages.headerMissing)
            report.problems.push_back("cannot read the mail header file " + Shown(paths.Resolve(settings.MailHeaderFile)));
        if (pages.footerMissing)
            report.problems.push_back("cannot read the mail footer file " + Shown(paths.Resolve(settings.MailFooterFile)));
        ReportList(report.problems, pages.missingArchives, "mail file missing, no page");
        ReportList(report.problems, pages.unreadableArchives, "cannot read mail file, no page");
        ReportList(report.problems, pages.unusableFileNames, "unusable mail file name in the project, no page");
        ReportList(report.problems, pages.pagesNotWritten, "cannot write page");
        ReportList(report.problems, pages.pagesClashingWithArchives, "page would overwrite a mail file, not written");
        for (const PageNameClash& clash : pages.pageNameClashes) {
            if (clash.laterMailFile.empty())
                report.problems.push_back("page of " + Shown(clash.mailFile) + " would overwrite " +
                                          Shown(clash.pagePath) + ", not written");
            else
                report.problems.push_back("mails " + Shown(clash.mailFile) + " and " + Shown(clash.laterMailFile) +
                                          " share the page " + Shown(clash.pagePath) + "; the later one replaces it");
        }
    }
}

}  // namespace

const char* StageName(Stage stage)
{
    switch (stage) {
    case Stage::Load: return "loading project";
    case Stage::Read: return "reading mails";
    case Stage::Sort: return "sorting";
    case Stage::Thread: return "threading";
    case Stage::Graphics: return "copying graphics";
    case Stage::Index: return "writing index page";
    case Stage::Pages: return "writing mail pages";
    case Stage::Save: return "saving project";
    }
    return "";
}

BatchReport RunBatch(const std::string& projectPath, StageProgress& progress, const StopFlag& stop)
{
    BatchReport report;
    const std::string projectFile = FullPath(projectPath, platform::CurrentDirectory(), PathStyle::Posix);
    const std::string projectFolder = FolderOf(projectFile);

    ProjectSettings settings;
    LoadResult loaded;
    {
        StageScope scope(progress, Stage::Load);
        settings.Reset();
        loaded = LoadProject(settings, projectFile);
        if (loaded.failure != LoadFailure::None) {
            report.problems.push_back("cannot read the project file " + Shown(projectFile) + ": " +
                                      Shown(loaded.failureReason()));
            return report;
        }
        // Reported until the repaired project is saved, which this run does.
        if (loaded.damaged())
            report.problems.push_back(loaded.damageReason());
    }
    report.projectLoaded = true;
    // A path cut short by a NUL byte would name another file than the one
    // every check saw: nothing is read or written for such a project.
    if (const std::vector<std::string_view> keys = PathSettingsWithNul(settings); !keys.empty()) {
        for (const std::string_view key : keys)
            report.problems.push_back("the setting " + std::string(key) +
                                      " holds a NUL byte; no file that depends on it was written");
        return report;
    }

    const OutputPaths paths(settings, projectFolder);
    {
        StageScope scope(progress, Stage::Read);
        const std::string mailFolder = paths.Resolve(settings.TargetPath);
        report.read = ReadMailFolder(settings, mailFolder, scope.sink(), stop);
        if (!report.read.folderFound)
            report.problems.push_back("the mail folder does not exist: " + Shown(mailFolder));
        ReportList(report.problems, report.read.unreadable, "cannot read mail file");
        if (report.read.leftOut > 0)
            report.problems.push_back(std::to_string(report.read.leftOut) +
                                      " mail files were left out: a project holds at most 65,535 mails");
    }
    report.mailsInProject = settings.mailList.size();
    report.saveNeeded = settings.mailListChanged != 0 || loaded.damaged();
    if (stop)
        return report;
    {
        StageScope scope(progress, Stage::Sort);
        SortMailList(settings.mailList, scope.sink(), stop);
    }
    if (stop)
        return report;
    if (settings.mailList.empty()) {
        // Nothing to thread: the run ends here, as the desktop program's does.
        report.noMails = true;
        report.problems.push_back("the project has no mails; no page was written");
        return report;
    }

    ThreadTree tree;
    {
        StageScope scope(progress, Stage::Thread);
        const TreeItem projectItem = tree.Insert(settings.Title, kIconProject, 0, kNoItem, ThreadTree::Place::Last);
        BuildThreadTree(settings.mailList, settings.CutMLTitle, tree, scope.sink(), stop);
        tree.SetExpanded(projectItem, true);
    }
    if (stop)
        return report;
    {
        const OutputFoldersResult folders = CreateOutputFolders(settings, projectFolder);
        for (const std::string& folder : folders.created)
            report.notices.push_back("created the missing folder " + Shown(folder));
        if (folders.failed)
            report.problems.push_back("cannot create the folder " + Shown(folders.failed->path) + ": " +
                                      Shown(folders.failed->reason) + "; no page was written");
        else
            WriteSite(settings, projectFolder, tree, progress, stop, report);
    }
    if (stop)
        return report;
    if (report.saveNeeded) {
        StageScope scope(progress, Stage::Save);
        const SaveResult saved = SaveProject(settings, projectFile, {.keepBackup = loaded.damaged()});
        if (!saved.backupPath.empty())
            report.notices.push_back("kept the old project file as " + Shown(saved.backupPath));
        report.saved = saved.ok;
        report.mailsLeftOutOfSave = saved.mailsLeftOut;
        if (!saved.ok) {
            report.saveError = saved.error;
            report.problems.push_back("cannot save the project " + Shown(projectFile) + ": " + saved.error);
        } else if (saved.mailsLeftOut > 0) {
            report.problems.push_back(std::to_string(saved.mailsLeftOut) +
                                      " mails beyond the 65,535 a project file holds were not stored");
        }
    }
    return report;
}

}  // namespace postloom::batch
