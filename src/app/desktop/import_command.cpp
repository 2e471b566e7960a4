#include "app/desktop/import_command.h"

#include "app/command_ids.h"
#include "app/desktop/postloom_app.h"
#include "app/worker_thread.h"
#include "core/import/import_report.h"
#include "core/import/mail_import.h"
#include "settings_ui/gui_text.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include <utility>

namespace postloom {

namespace {

const FileRequest kMboxRequest{
    .defaultSuffix = {},
    .initialFile = {},
    .filters = {{QStringLiteral("mboxﾌｧｲﾙ (*.mbox;*.mbx)"), QStringLiteral("*.mbox;*.mbx")},
                {QStringLiteral("すべてのﾌｧｲﾙ (*.*)"), QStringLiteral("*.*")}},
};

constexpr QStringView kStatusImporting = u"ｲﾝﾎﾟｰﾄ中";

QString Summary(const ImportResult& result)
{
    QString summary = QStringLiteral("%1通をｲﾝﾎﾟｰﾄしました (%2通は取り込み済み").arg(result.imported).arg(result.alreadyThere);
    // How many quoted lines lost a ">" tells a wrong format at a glance.
    if (result.source == ImportSource::Mbox)
        summary += QStringLiteral("、>Fromの引用を外した行 %1 [%2]")
                       .arg(result.unquotedLines)
                       .arg(result.mboxVariant == MboxVariant::Mboxo ? QStringLiteral("mboxo")
                                                                     : QStringLiteral("mboxrd"));
    return summary + QStringLiteral(")");
}

}  // namespace

// Carries one import on a thread of its own. Sends the job's range and its
// positions; posts ID_IMPORT_FIN at its end, also after a stop.
class CImportThread final : public WorkerThread {
public:
    CImportThread(AppContext& context, std::string source, std::string folder, ImportOptions options)
        : WorkerThread(context, {.name = "CImportThread",
                                 .noticeId = ID_IMPORT_FIN,
                                 .notice = NoticeRule::Always,
                                 .positions = PositionRule::FromJob,
                                 .rangeFromJob = true}),
          source_(std::move(source)),
          folder_(std::move(folder)),
          options_(options)
    {
    }
    ~CImportThread() override { shutDown(); }

    // Valid once ID_IMPORT_FIN has arrived.
    const ImportResult& result() const { return result_; }

private:
    void work() override { result_ = ImportMails(source_, folder_, options_, progress(), stopFlag()); }

    const std::string source_;
    const std::string folder_;
    const ImportOptions options_;
    ImportResult result_;
};

ImportCommand::ImportCommand(CPostloomApp& app) : app_(app)
{
    route_ = app_.context().commands().addRoutes(RouteLevel::Application,
                                                 {{.id = ID_IMPORT_FIN, .handler = [this] { finished(); }}});
}

ImportCommand::~ImportCommand() = default;

void ImportCommand::run(ImportFrom from)
{
    if (worker_)
        return;
    DesktopPrompts& prompts = app_.gate();
    QWidget* const window = &app_.frame();
    const std::optional<QString> source = from == ImportFrom::MboxFile
                                              ? prompts.chooseFile(window, kMboxRequest)
                                              : prompts.chooseFolder(window, QDir::homePath());
    if (!source || source->isEmpty())
        return;
    runFor(*source, from, {});
}

void ImportCommand::runFor(const QString& source, ImportFrom from, std::function<void(const QString&)> then)
{
    if (worker_)
        return;
    DesktopPrompts& prompts = app_.gate();
    QWidget* const window = &app_.frame();
    const ImportRequest request{QFileInfo(source).absoluteFilePath(), from == ImportFrom::MboxFile};
    const std::optional<ImportChoice> choice = prompts.chooseImportTarget(window, request);
    if (!choice || choice->folder.isEmpty())
        return;

    app_.context().problems().beginRun();
    folder_ = choice->folder;
    then_ = std::move(then);
    worker_ = std::make_unique<CImportThread>(app_.context(), ToCp932(request.source), ToCp932(folder_),
                                              ImportOptions{.mboxVariant = choice->mboxVariant});
    CPostloomDoc& document = app_.document();
    document.setStatusText(kStatusImporting);
    document.setImporting(true);
    worker_->start();
}

void ImportCommand::stop()
{
    if (worker_)
        worker_->requestStop();
}

void ImportCommand::finished()
{
    if (!worker_)
        return;
    const ImportResult result = worker_->result();
    worker_.reset();
    CPostloomDoc& document = app_.document();
    document.setImporting(false);
    document.setStatusText({});
    app_.context().sendToMainWindow([](MainWindow& window) { window.updateProgress(0, 0); });

    Problems problems;
    Problems notices;
    AddImportProblems(result, problems);
    AddImportNotices(result, notices);
    ProblemLog& log = app_.context().problems();
    log.add(problems, notices);
    log.endRun(Summary(result));
    const std::function<void(const QString&)> then = std::exchange(then_, {});
    if (then && !result.failure && !result.stopped && result.imported + result.alreadyThere > 0) {
        then(QFileInfo(folder_).absoluteFilePath());
        return;
    }
    if (result.failure || result.stopped || result.imported == 0)
        return;

    QWidget* const window = &app_.frame();
    const Answer answer = app_.gate().ask(window, QStringLiteral("ｲﾝﾎﾟｰﾄ"),
                                          QStringLiteral("取り込んだﾒｰﾙのﾌｫﾙﾀﾞを読むﾌﾟﾛｼﾞｪｸﾄを作成しますか?"));
    if (answer != Answer::Yes || !app_.view().newProject(false))
        return;
    ProjectSettings& settings = document.settings();
    settings.TargetPath = ToCp932(QDir::toNativeSeparators(folder_));
    settings.MailExt = "*.alm";
    document.setModified(true);
    // The sheet shows the folder and takes the rest of the settings (the
    // pages' folders, their look); the mails are read when it closes.
    app_.context().commands().send(ID_PROJECT_PROPERTY);
    if (!document.locked())
        document.startReading();
}

}  // namespace postloom
