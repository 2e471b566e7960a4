#pragma once

// The workers of the page generation, started by the view: the graphics
// copy, the index page and the mail pages. Each posts its completion notice
// at the end of every run.

#include "app/worker_thread.h"
#include "core/html/graphics_copy.h"
#include "core/html/index_page_writer.h"
#include "core/html/mail_page_writer.h"
#include "core/html/site_search.h"
#include "core/project/project_settings.h"
#include "core/threading/thread_tree.h"

#include <string>

namespace postloom {

// Copies the tree graphics and the background images. Reports 0 to 4, one
// per tree graphic, while DrawGraphic is on. Posts ID_UPDATE_GRAPHIC.
class CGraphicThread final : public WorkerThread {
public:
    CGraphicThread(AppContext& context, const ProjectSettings& settings, std::string projectFolder);
    ~CGraphicThread() override;

    // Valid once ID_UPDATE_GRAPHIC has arrived.
    const GraphicsCopyResult& result() const { return result_; }

private:
    void work() override;

    const ProjectSettings& settings_;
    const std::string projectFolder_;
    GraphicsCopyResult result_;
};

// Writes the index page from a copy of the thread tree taken when the
// worker is made, on the user-interface thread, so the tree the view shows
// (and the user may rearrange meanwhile) is never read from the worker's
// thread. Reports 0, 1, 2, ... one per entry listed. Posts ID_UPDATE_INDEX.
class CIndexThread final : public WorkerThread {
public:
    CIndexThread(AppContext& context, const ProjectSettings& settings, std::string projectFolder,
                 const SitePlan& plan, const ThreadTree& tree);
    ~CIndexThread() override;

    // Valid once ID_UPDATE_INDEX has arrived.
    const IndexPageResult& result() const { return result_; }

private:
    void work() override;

    const ProjectSettings& settings_;
    const std::string projectFolder_;
    const SitePlan& plan_;
    const ThreadTree tree_;
    IndexPageResult result_;
};

// The index and the mail pages link the mails that plan, which outlives
// the worker, gives a page.
//
// Writes the mail pages and then, for a modern site, its search. Reports,
// before each mail of mailList, the mail's index plus 1, once for the pages
// and once for the search. Stops before the next mail when asked to. Posts
// ID_UPDATE_HTML, also after a stop.
class CHtmlThread final : public WorkerThread {
public:
    CHtmlThread(AppContext& context, const ProjectSettings& settings, std::string projectFolder,
                const SitePlan& plan, MailPageOptions options = {});
    ~CHtmlThread() override;

    // Valid once ID_UPDATE_HTML has arrived.
    const MailPageResult& result() const { return result_; }
    const SiteSearchResult& searchResult() const { return searchResult_; }

private:
    void work() override;

    const ProjectSettings& settings_;
    const std::string projectFolder_;
    const SitePlan& plan_;
    const MailPageOptions options_;
    MailPageResult result_;
    SiteSearchResult searchResult_;
};

}  // namespace postloom
