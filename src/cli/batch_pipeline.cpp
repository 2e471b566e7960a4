#include "cli/batch_pipeline.h"

#include "core/html/left_over_temporaries.h"
#include "core/html/output_folders.h"
#include "core/report/run_problems.h"
#include "core/html/output_paths.h"
#include "core/html/site_plan.h"
#include "core/html/site_survey.h"
#include "core/mail/mail_parser.h"
#include "core/platform/file_system.h"
#include "core/project/project_file.h"
#include "core/project/project_settings.h"
#include "core/text/codec.h"
#include "core/threading/mail_sort.h"
#include "core/threading/tree_builder.h"

namespace postloom::batch {

namespace {

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

// Copies the graphics, writes the index page and, with withPages, the mail
// pages; both pages link the mails that one plan gives a page.
void WriteSite(const ProjectSettings& settings, const std::string& projectFolder, const ThreadTree& tree,
               bool withPages, SiteParts parts, SiteSurveyAhead& survey, StageProgress& progress,
               const StopFlag& stop, BatchReport& report)
{
    const SitePlan plan(settings, projectFolder, parts);
    {
        StageScope scope(progress, Stage::Graphics);
        report.graphics = CopyGraphics(settings, projectFolder, scope.sink());
        AddGraphicsProblems(report.graphics, report.problems);
    }
    {
        StageScope scope(progress, Stage::Index);
        report.index = WriteIndexPage(settings, projectFolder, plan, tree, scope.sink());
        AddIndexProblems(report.index, settings, projectFolder, report.problems);
    }
    if (!withPages)
        return;
    // The search lists the mails whose pages are in place, after a whole
    // run of them. It is written while the whole-thread pages, the month
    // pages and the site's record are made beside it; those show no
    // progress, so the display goes on to the search.
    MailPageOptions options{.survey = &survey};
    bool searched = false;
    if (PageStyleOf(settings) == PageStyleKind::Modern && parts.search) {
        options.whenPagesInPlace = [&](const std::vector<std::optional<platform::FileStamp>>& stamps) {
            progress.End(Stage::Pages);
            searched = true;
            StageScope scope(progress, Stage::Search);
            report.search = WriteSiteSearch(settings, projectFolder, plan, stamps, scope.sink(), stop);
        };
    }
    report.pages = WriteMailPages(settings, projectFolder, plan, progress.Begin(Stage::Pages), stop, options);
    if (!searched)
        progress.End(Stage::Pages);
    AddPageNotices(report.pages, report.notices);
    AddPageProblems(report.pages, settings, projectFolder, report.problems);
    if (searched)
        AddSearchProblems(report.search, report.problems);
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
    case Stage::Search: return "writing search index";
    case Stage::Save: return "saving project";
    case Stage::Import: return "importing mails";
    }
    return "";
}

BatchReport RunBatch(const std::string& projectPath, StageProgress& progress, const StopFlag& stop, SiteParts parts)
{
    BatchReport report;
    const auto runStart = std::chrono::system_clock::now();
    const std::string projectFile = FullPath(projectPath, platform::CurrentDirectory(), PathStyle::Posix);
    const std::string projectFolder = FolderOf(projectFile);

    ProjectSettings settings;
    LoadResult loaded;
    {
        StageScope scope(progress, Stage::Load);
        settings.Reset();
        loaded = LoadProject(settings, projectFile);
        // A damage is reported until the repaired project is saved, which
        // this run does.
        AddLoadProblems(loaded, projectFile, report.problems);
        if (loaded.failure != LoadFailure::None)
            return report;
    }
    report.projectLoaded = true;
    // A path cut short by a NUL byte would name another file than the one
    // every check saw: nothing is read or written for such a project.
    if (const std::vector<std::string_view> keys = PathSettingsWithNul(settings); !keys.empty()) {
        AddPathSettingProblems(keys, report.problems);
        return report;
    }

    // Which pages are still in place is found out meanwhile on a thread of
    // its own: it depends on nothing the next stages do.
    SiteSurveyAhead survey(SurveyPlacesOf(settings, projectFolder));
    const OutputPaths paths(settings, projectFolder);
    {
        StageScope scope(progress, Stage::Read);
        const std::string mailFolder = paths.Resolve(settings.TargetPath);
        report.read = ReadMailFolder(settings, mailFolder, scope.sink(), stop);
        AddReadProblems(report.read, mailFolder, report.problems);
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
        AddNoMailsProblem(report.problems);
        return report;
    }

    ThreadTree tree;
    {
        StageScope scope(progress, Stage::Thread);
        const TreeItem projectItem = tree.Insert(settings.Title, kIconProject, 0, kNoItem, ThreadTree::Place::Last);
        BuildThreadTree(settings.mailList, settings.CutMLTitle, tree, scope.sink(), stop, ParentRuleOf(settings));
        tree.SetExpanded(projectItem, true);
    }
    if (stop)
        return report;
    {
        const OutputFoldersResult folders = CreateOutputFolders(settings, projectFolder);
        AddOutputFolderLines(folders, report.notices, report.problems);
        if (!folders.failed || folders.onlyPagesBlocked)
            WriteSite(settings, projectFolder, tree, !folders.failed, parts, survey, progress, stop, report);
    }
    if (stop)
        return report;
    AddLeftOverTemporaryLines(RemoveLeftOverTemporaries(settings, projectFolder, runStart), report.notices);
    if (report.saveNeeded) {
        StageScope scope(progress, Stage::Save);
        // A window beside this run may have saved its work meanwhile.
        const SaveResult saved =
            SaveProject(settings, projectFile, {.keepBackup = loaded.damaged(), .unchangedSince = loaded.stamp});
        report.saved = saved.ok;
        AddSaveLines(saved, projectFile, report.notices, report.problems);
    }
    return report;
}

}  // namespace postloom::batch
