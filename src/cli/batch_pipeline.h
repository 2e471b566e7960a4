#pragma once

// The unattended conversion on the core alone: load the project, read new
// mails, sort, build the threads, copy the graphics, write the index page and
// the mail pages, and save the project when reading appended mails. It makes
// the same files as the desktop program's unattended run and, on top, tells
// what went wrong.

#include "core/html/graphics_copy.h"
#include "core/html/index_page_writer.h"
#include "core/html/mail_page_writer.h"
#include "core/html/site_plan.h"
#include "core/html/site_search.h"
#include "core/mail/folder_reader.h"
#include "core/platform/job_control.h"
#include "core/report/problem.h"

#include <functional>
#include <string>
#include <vector>

namespace postloom::batch {

enum class Stage { Load, Read, Sort, Thread, Graphics, Index, Pages, Search, Save, Import };

// Human name of a stage, for progress displays.
const char* StageName(Stage stage);

// Hands out the progress sink of each stage as the pipeline reaches it.
class StageProgress {
public:
    virtual ~StageProgress() = default;
    virtual JobProgress& Begin(Stage stage) = 0;
    virtual void End(Stage stage) = 0;
};

struct BatchReport {
    bool projectLoaded = false;
    std::size_t mailsInProject = 0;   // after reading
    FolderReadResult read;
    bool noMails = false;             // the run ended after sorting
    GraphicsCopyResult graphics;
    IndexPageResult index;
    MailPageResult pages;
    SiteSearchResult search;
    bool saveNeeded = false;
    bool saved = false;

    // Every problem, in the order the stages met them; empty when
    // everything went well.
    Problems problems;
    // What the run did on its own that the user should know of (folders
    // it created, a backup it kept); no problem.
    Problems notices;
    bool ok() const { return problems.empty(); }
};

// projectPath may be relative to the working directory. The stop flag ends
// the current stage at its next test and skips the rest (no save). parts
// leaves files of a modern site out, for timing the others.
BatchReport RunBatch(const std::string& projectPath, StageProgress& progress, const StopFlag& stop,
                     SiteParts parts = {});

}  // namespace postloom::batch
