#include "app/generation_chain.h"

#include "app/app_context.h"
#include "app/command_ids.h"
#include "app/status_texts.h"
#include "core/html/output_folders.h"
#include "core/text/codec.h"

#include <QStringList>

#include <climits>

namespace postloom {

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

namespace {

QString Shown(const std::string& cp932)
{
    return QString::fromStdString(text::Cp932ToUtf8(cp932));
}

}  // namespace

bool GenerationChain::readyToWrite()
{
    const ProjectSettings& settings = host_.settings();
    const std::vector<std::string_view> keys = PathSettingsWithNul(settings);
    if (!keys.empty()) {
        QStringList names;
        for (const std::string_view key : keys) {
            names << QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
        }
        host_.showError(QStringLiteral("設定 %1 にNUL文字が含まれています。ﾌｧｲﾙは作成しません。").arg(names.join(QStringLiteral(", "))));
        return false;
    }
    // An unattended run makes the folders it writes into; a user at the
    // window makes them on the settings pages.
    if (context_.marks().autoRun != 0) {
        const OutputFoldersResult folders = CreateOutputFolders(settings, host_.projectFolder());
        for (const std::string& folder : folders.created) {
            host_.showNotice(QStringLiteral("created the missing folder %1").arg(Shown(folder)));
        }
        if (folders.failed) {
            host_.showNotice(QStringLiteral("cannot create the folder %1: %2")
                                 .arg(Shown(folders.failed->path), QString::fromStdString(folders.failed->reason)));
        }
    }
    return true;
}

void GenerationChain::startGraphics(bool single)
{
    if (isRunning() || !readyToWrite()) {
        return;
    }
    sendRange(5);
    host_.setStatusText(kStatusCopyingGraphics);
    singleStep_ = single;
    graphicWorker_ = std::make_unique<CGraphicThread>(context_, host_.settings(), host_.projectFolder());
    graphicWorker_->start();
}

void GenerationChain::startIndexAlone()
{
    if (isRunning() || !readyToWrite()) {
        return;
    }
    host_.setStatusText(kStatusWritingIndex);
    sendRange(mailCount());
    singleStep_ = true;
    startIndex();
}

void GenerationChain::startIndex()
{
    indexWorker_ =
        std::make_unique<CIndexThread>(context_, host_.settings(), host_.projectFolder(), host_.threadTree());
    indexWorker_->start();
}

void GenerationChain::startMailPages()
{
    if (isRunning() || !readyToWrite()) {
        return;
    }
    host_.setStatusText(kStatusWritingMailPages);
    sendRange(mailCount());
    pageWorker_ = std::make_unique<CHtmlThread>(context_, host_.settings(), host_.projectFolder());
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
    if (singleStep_) {
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
    if (!singleStep_) {
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
    pageWorker_.reset();
    postProgressEnd();
    StartupMarks& marks = context_.marks();
    if (marks.autoRun != 0 && marks.exitAfterRun != 0) {
        context_.commands().post(ID_FILE_SAVE);
        context_.commands().post(ID_APP_EXIT);
    }
    marks = {};
}

}  // namespace postloom
