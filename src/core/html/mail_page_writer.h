#pragma once

// Writes one HTML page per mail of the project whose page is switched on:
// the standard layout (MailCreateType 0) or the user's template with its
// insert tags replaced (MailCreateType 1).

#include "core/html/site_plan.h"
#include "core/html/site_record.h"
#include "core/html/site_survey.h"
#include "core/platform/file_problem.h"
#include "core/platform/file_stamp.h"
#include "core/platform/job_control.h"
#include "core/project/project_settings.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace postloom {

struct MailPageOptions {
    // Threads of the run, the calling one included; 0 means one per
    // processor core and the calling one. The others read the archives,
    // build pages ahead and find the unchanged ones; the calling thread
    // reports the progress in list order and writes every file, so the
    // pages come out the same as with one thread.
    unsigned threads = 0;
    // A survey of the site started earlier in the run; without one (or one
    // of other places) the run surveys the site itself.
    SiteSurveyAhead* survey = nullptr;
    // Called once every mail page is in place and the pages no longer
    // linked are gone, unless the run was stopped, with the stamps of the
    // mail files the pages were made from (as MailPageResult::mailFileStamps).
    // It runs on the calling thread while the whole-thread pages, the month
    // pages and the record of the site are made on another, and the run
    // returns once both are done.
    std::function<void(const std::vector<std::optional<platform::FileStamp>>&)> whenPagesInPlace = {};
};

// A mail that gets no page because its page name is taken by another file.
struct PageNameClash {
    std::string mailFile;  // the mail's stored file name
    std::string pagePath;  // the page it would have had
    // For a page name shared by two or more mails: the last of them in
    // list order, which has the page. Empty when the page would overwrite
    // the index page or a graphic copy (and was not written).
    std::string laterMailFile;
};

struct MailPageResult {
    // Pages whose file was created or replaced.
    int pagesWritten = 0;
    // Pages whose file already held exactly the page; not rewritten.
    int pagesUnchanged = 0;
    // Attachments of MIME mails that could not be saved beside their page
    // (the file or the folder, and the reason).
    std::vector<platform::FileProblem> attachmentsNotSaved;
    // Mails passed over because their page is switched off.
    int pagesSwitchedOff = 0;
    // File names (as stored) of mails whose archive file is gone while the
    // mail folder is there: no page, and the mail keeps its record.
    std::vector<std::string> archivesGone;
    // File names (as stored) of mails whose archive file could not be found
    // when it was opened (the mail folder is missing, or the file went
    // during the run).
    std::vector<std::string> missingArchives;
    // Mails whose archive file exists but cannot be read (stored name and
    // the reason).
    std::vector<platform::FileProblem> unreadableArchives;
    // Stored file names that cannot name a file (empty, ".", "..", a
    // separator inside): no page, the archive is not read.
    std::vector<std::string> unusableFileNames;
    // Full paths of pages that could not be created or written completely,
    // with the reason; an older page there keeps its bytes.
    std::vector<platform::FileProblem> pagesNotWritten;
    // Full paths of pages that were not written because their file is the
    // archive file of a mail (mail folder and page folder are one folder).
    std::vector<std::string> pagesClashingWithArchives;
    // Mails left without a page because the page would replace the index
    // page or a graphic copy, and mails whose page a later mail of the list
    // replaces because their names give the same page name.
    std::vector<PageNameClash> pageNameClashes;
    // Files of the site that no page links any more, removed: pages of
    // mails without a page, and attachments of those or no longer in
    // their mail.
    int pagesRemoved = 0;
    int attachmentsRemoved = 0;
    std::vector<platform::FileProblem> filesNotRemoved;
    // The modern style's stylesheet could not be put in place beside the
    // index page, or the one of an earlier modern run not removed.
    std::optional<platform::FileProblem> stylesheetNotWritten;
    std::optional<platform::FileProblem> stylesheetNotRemoved;
    // Whole-thread pages of the modern style: created or replaced, already
    // as they are, and removed as no thread has them any more. Those that
    // cannot be written or removed are among pagesNotWritten and
    // filesNotRemoved.
    int threadPagesWritten = 0;
    int threadPagesUnchanged = 0;
    int threadPagesRemoved = 0;
    // Month pages and the feed removed as no mail is left for them.
    int viewsRemoved = 0;
    // The site record (beside the index page) could not be written.
    std::optional<platform::FileProblem> recordNotWritten;
    // Template mode with a template that cannot be read: no page is touched.
    bool templateMissing = false;
    // A header or footer include that is switched on but cannot be read
    // (it is left out of every page).
    bool headerMissing = false;
    bool footerMissing = false;
    // The stop flag ended the run before the last mail.
    bool stopped = false;
    // The stamp of each mail file that has a page, by its place in the
    // list, as the run found it before building the pages; none where it
    // could not be looked at. Empty when the run makes no mail pages.
    std::vector<std::optional<platform::FileStamp>> mailFileStamps;
};

// Writes the pages of settings.mailList into the mail page folder, for the
// mails that plan gives a page, and keeps the site record beside the index
// page: a page the record shows made from the same inputs and still in
// place is not built again. After a whole run, the files of the record
// that no page links any more are removed. Relative settings paths resolve
// against projectFolder. Before each mail, whether or not it gets a page,
// reports its position in the list plus one; the stop flag is tested
// before each mail. Pages already written stay after a stop, and nothing
// is removed.
MailPageResult WriteMailPages(const ProjectSettings& settings, const std::string& projectFolder, const SitePlan& plan,
                              JobProgress& progress, const StopFlag& stop, const MailPageOptions& options = {});
// The same with a plan made now.
MailPageResult WriteMailPages(const ProjectSettings& settings, const std::string& projectFolder,
                              JobProgress& progress, const StopFlag& stop, const MailPageOptions& options = {});

}  // namespace postloom
