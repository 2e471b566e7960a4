#pragma once

// The page generation as the view runs it: the graphics copy, the index page
// and the mail pages, each on a worker of its own, started singly or chained
// by create-all, where the completion notice of one step starts the next.
//
//   ID_HTML_CREATE      graphics, then the index page, then the mail pages
//   ID_GRAPHIC_COPY     graphics only
//   ID_INDEX_CREATE     the index page only
//   ID_MAILPAGE_CREATE  the mail pages (never chains further)
//
// The chain registers the handlers of these commands and of the notices
// ID_UPDATE_GRAPHIC, ID_UPDATE_INDEX and ID_UPDATE_HTML with the dispatcher
// (view level); the enable rules of the commands are the document's. The
// step from the index page to the mail pages posts ID_MAILPAGE_CREATE, so
// it passes that rule: when it fails the chain ends there.
//
// One run at a time: a start command that arrives while a worker of the
// chain runs is ignored (the view also greys them with isRunning()). Two
// writers over the same pages at once would only race each other.
//
// At the end of the mail pages of an unattended run with "exit", the chain
// posts Save and Exit; the first mail-page run clears both start-up marks.
//
// Every step puts what went wrong into the problem log, worded as
// postloom-batch words it; a run (create-all, or one step alone) starts a
// new list and ends with the status bar's summary.

#include "app/command_dispatcher.h"
#include "app/page_workers.h"

#include <QString>
#include <QStringView>

#include <chrono>
#include <memory>
#include <string>

namespace postloom {

class AppContext;

// What the chain needs of the view and its document.
class GenerationHost {
public:
    virtual ~GenerationHost() = default;
    virtual const ProjectSettings& settings() const = 0;
    // The folder that relative settings paths resolve against.
    virtual std::string projectFolder() const = 0;
    // The thread tree as the user arranged it; copied when the index step
    // starts.
    virtual const ThreadTree& threadTree() const = 0;
    virtual void setStatusText(QStringView text) = 0;
    // A problem that stops the run before it writes anything.
    virtual void showError(const QString& message) = 0;
    // The mail pages of a run have ended (also when none could be written),
    // after the run's summary; not after a stop.
    virtual void pagesFinished() {}
};

class GenerationChain {
public:
    GenerationChain(AppContext& context, GenerationHost& host);
    GenerationChain(const GenerationChain&) = delete;
    GenerationChain& operator=(const GenerationChain&) = delete;
    // Stops the running worker, if any, and waits for its end.
    ~GenerationChain();

    // Asks the running step to stop: the mail pages stop before the next
    // mail; the graphics copy and the index page, which are short, run to
    // their end, and a create-all then goes no further.
    void requestStop();

    // Set when the running step was started alone (graphics or index only).
    bool singleStep() const { return singleStep_; }
    bool isRunning() const { return graphicWorker_ || indexWorker_ || pageWorker_; }

    // The outcome of the latest run of each step.
    const GraphicsCopyResult& graphicsResult() const { return graphicsResult_; }
    const IndexPageResult& indexResult() const { return indexResult_; }
    const MailPageResult& mailPagesResult() const { return mailPagesResult_; }

private:
    // Makes the missing output folders at the start of a run. False, after
    // telling the user, when the settings forbid writing or the folder of
    // what comes next (the pages, or the index page) cannot be made.
    bool readyToWrite(bool pages);
    // The end of the mail-page step, also when no page could be written.
    void endMailPages();
    // A create-all stopped between two steps.
    void endStoppedChain();
    void startGraphics(bool single);
    void startIndexAlone();
    void startMailPages();
    void graphicsDone();
    void indexDone();
    void mailPagesDone();

    void startIndex();
    // The pages a run links, decided once when the run starts.
    void planSite();
    int mailCount() const;
    void sendRange(int upper);
    void postRange(int upper);
    void postProgressEnd();

    AppContext& context_;
    GenerationHost& host_;
    bool singleStep_ = false;
    // Create-all runs: its three steps make one run of the problem log.
    bool chainRunning_ = false;
    // The mail page folder of this run could not be made.
    bool pagesBlocked_ = false;
    // The user stopped the run.
    bool stopRequested_ = false;
    // When the run began: temporary files older than that are left-overs.
    std::chrono::system_clock::time_point runStart_;
    std::unique_ptr<const SitePlan> plan_;
    std::unique_ptr<CGraphicThread> graphicWorker_;
    std::unique_ptr<CIndexThread> indexWorker_;
    std::unique_ptr<CHtmlThread> pageWorker_;
    GraphicsCopyResult graphicsResult_;
    IndexPageResult indexResult_;
    MailPageResult mailPagesResult_;
    // Last, so the routes go before the workers do.
    CommandDispatcher::Registration routes_;
};

}  // namespace postloom
