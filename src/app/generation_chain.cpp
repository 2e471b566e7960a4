#include "app/generation_chain.h"

#include "app/app_context.h"
#include "app/command_ids.h"
#include "app/status_texts.h"
#include "core/html/left_over_temporaries.h"
#include "core/html/output_folders.h"
#include "core/report/run_problems.h"

#include <QStringList>

#include <climits>

namespace postloom {

namespace {
const QString kNothingWritten = QStringLiteral("ﾌｧｲﾙは作成しませんでした");
}  // namespace

GenerationChain::GenerationChain(AppContext& context, GenerationHost& host) : context_(context), host_(host)
{
    routes_ = context_.commands().addRoutes(RouteLevel::View,
                                            {
                                                {.id = ID_HTML_CREATE, .handler = [this] { startGraphics(false); }},
                                                {.id = ID_GRAPHIC_COPY, .handler = [this] { startGraphics(true); }},
                                                {.id = ID_INDEX_CREATE, .handler = [this] { startIndexAlone(); }},
                                                {.id = ID_MAILPAGE_CREATE, .handler = [this] { startMailPages(); }},
                                                {.id = ID_UPDATE_GRAPHIC, .handler = [this] { graphicsDone(); }},
                                                {.id = ID_UPDATE_INDEX, .handler = [this] { indexDone(); }},
                                                {.id = ID_UPDATE_HTML, .handler = [this] { mailPagesDone(); }},
                                            });
}

GenerationChain::~GenerationChain() = default;

int GenerationChain::mailCount() const
{
    const auto count = host_.settings().mailList.size();
    return count > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(count);
}

void GenerationChain::sendRange(int upper)
{
    context_.sendToMainWindow([upper](MainWindow& window) { window.dispProgress(0, upper); });
}

void GenerationChain::postRange(int upper)
{
    context_.postToMainWindow([upper](MainWindow& window) { window.dispProgress(0, upper); });
}

void GenerationChain::postProgressEnd()
{
    context_.postToMainWindow([](MainWindow& window) { window.updateProgress(0, 0); });
}

bool GenerationChain::readyToWrite(bool pages)
{
    const ProjectSettings& settings = host_.settings();
    ProblemLog& log = context_.problems();
    const std::vector<std::string_view> keys = PathSettingsWithNul(settings);
    if (!keys.empty()) {
        Problems problems;
        AddPathSettingProblems(keys, problems);
        log.add(problems);
        QStringList names;
        for (const std::string_view key : keys) {
            names << QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
        }
        host_.showError(QStringLiteral("設定 %1 にNUL文字が含まれています。ﾌｧｲﾙは作成しません。")
                            .arg(names.join(QStringLiteral(", "))));
        log.endRun(kNothingWritten);
        return false;
    }
    // The folders are made when missing, as postloom-batch makes them, once
    // a run; one that cannot be made stops what would be written into it.
    if (!chainRunning_ || !pages) {
        const OutputFoldersResult folders = CreateOutputFolders(settings, host_.projectFolder());
        Problems notices;
        Problems problems;
        AddOutputFolderLines(folders, notices, problems);
        log.add(problems, notices);
        pagesBlocked_ = folders.failed.has_value();
        if (folders.failed && (pages || !folders.onlyPagesBlocked)) {
            log.endRun(kNothingWritten);
            return false;
        }
    }
    return !(pages && pagesBlocked_);
}

void GenerationChain::requestStop()
{
    if (!isRunning()) {
        return;
    }
    stopRequested_ = true;
    if (pageWorker_) {
        pageWorker_->requestStop();
    }
}

void GenerationChain::startGraphics(bool single)
{
    if (isRunning()) {
        return;
    }
    stopRequested_ = false;
    context_.problems().beginRun();
    runStart_ = std::chrono::system_clock::now();
    chainRunning_ = !single;
    if (!readyToWrite(false)) {
        chainRunning_ = false;
        return;
    }
    if (!single) {
        planSite();
    }
    sendRange(5);
    host_.setStatusText(kStatusCopyingGraphics);
    singleStep_ = single;
    graphicWorker_ = std::make_unique<CGraphicThread>(context_, host_.settings(), host_.projectFolder());
    graphicWorker_->start();
}

void GenerationChain::startIndexAlone()
{
    if (isRunning()) {
        return;
    }
    stopRequested_ = false;
    context_.problems().beginRun();
    if (!readyToWrite(false)) {
        return;
    }
    planSite();
    host_.setStatusText(kStatusWritingIndex);
    sendRange(mailCount());
    singleStep_ = true;
    startIndex();
}

void GenerationChain::planSite()
{
    plan_ = std::make_unique<const SitePlan>(host_.settings(), host_.projectFolder());
}

void GenerationChain::startIndex()
{
    indexWorker_ = std::make_unique<CIndexThread>(context_, host_.settings(), host_.projectFolder(), *plan_,
                                                  host_.threadTree());
    indexWorker_->start();
}

void GenerationChain::startMailPages()
{
    if (isRunning()) {
        return;
    }
    // Create-all reaches this step with its run going on.
    if (!chainRunning_) {
        context_.problems().beginRun();
        runStart_ = std::chrono::system_clock::now();
        stopRequested_ = false;
    }
    if (!readyToWrite(true)) {
        // The run ends as after the pages, with no page written.
        if (chainRunning_) {
            mailPagesResult_ = {};
            postProgressEnd();
            endMailPages();
        }
        return;
    }
    if (!chainRunning_ || !plan_) {
        planSite();
    }
    host_.setStatusText(kStatusWritingMailPages);
    sendRange(mailCount());
    pageWorker_ = std::make_unique<CHtmlThread>(context_, host_.settings(), host_.projectFolder(), *plan_);
    pageWorker_->start();
}

void GenerationChain::graphicsDone()
{
    if (!graphicWorker_) {
        return;
    }
    postProgressEnd();
    graphicsResult_ = graphicWorker_->result();
    graphicWorker_.reset();
    host_.setStatusText({});
    Problems problems;
    AddGraphicsProblems(graphicsResult_, problems);
    context_.problems().add(problems);
    if (singleStep_) {
        context_.problems().endRun(QStringLiteral("ｸﾞﾗﾌｨｯｸをｺﾋﾟｰしました"));
        return;
    }
    if (stopRequested_) {
        endStoppedChain();
        return;
    }
    host_.setStatusText(kStatusWritingIndex);
    postRange(mailCount());
    startIndex();
}

void GenerationChain::indexDone()
{
    if (!indexWorker_) {
        return;
    }
    host_.setStatusText({});
    indexResult_ = indexWorker_->result();
    indexWorker_.reset();
    postProgressEnd();
    Problems problems;
    AddIndexProblems(indexResult_, host_.settings(), host_.projectFolder(), problems);
    context_.problems().add(problems);
    if (singleStep_) {
        context_.problems().endRun(QStringLiteral("ｲﾝﾃﾞｯｸｽﾍﾟｰｼﾞを作成しました"));
    } else if (stopRequested_) {
        endStoppedChain();
    } else {
        context_.commands().post(ID_MAILPAGE_CREATE);
    }
}

void GenerationChain::mailPagesDone()
{
    if (!pageWorker_) {
        return;
    }
    host_.setStatusText({});
    mailPagesResult_ = pageWorker_->result();
    const SiteSearchResult searchResult = pageWorker_->searchResult();
    pageWorker_.reset();
    postProgressEnd();
    Problems notices;
    AddPageNotices(mailPagesResult_, notices);
    Problems problems;
    AddPageProblems(mailPagesResult_, host_.settings(), host_.projectFolder(), problems);
    AddSearchProblems(searchResult, problems);
    if (mailPagesResult_.stopped) {
        AddStoppedProblem(problems);
    } else {
        AddLeftOverTemporaryLines(RemoveLeftOverTemporaries(host_.settings(), host_.projectFolder(), runStart_),
                                  notices);
    }
    context_.problems().add(problems, notices);
    endMailPages();
}

void GenerationChain::endStoppedChain()
{
    chainRunning_ = false;
    Problems problems;
    AddStoppedProblem(problems);
    context_.problems().add(problems);
    context_.problems().endRun(QStringLiteral("中止しました"));
}

void GenerationChain::endMailPages()
{
    chainRunning_ = false;
    context_.problems().endRun(QStringLiteral("%1通のﾍﾟｰｼﾞを作成しました")
                                   .arg(mailPagesResult_.pagesWritten + mailPagesResult_.pagesUnchanged));
    StartupMarks& marks = context_.marks();
    if (marks.autoRun != 0 && marks.exitAfterRun != 0) {
        context_.commands().post(ID_FILE_SAVE);
        context_.commands().post(ID_APP_EXIT);
    }
    marks = {};
    if (!mailPagesResult_.stopped) {
        host_.pagesFinished();
    }
}

}  // namespace postloom
