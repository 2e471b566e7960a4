#include "app/desktop/import_command.h"

#include "app/command_ids.h"
#include "app/desktop/postloom_app.h"
#include "core/import/import_report.h"
#include "core/import/mail_import.h"
#include "settings_ui/gui_text.h"

#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <QWidget>

#include <memory>

namespace postloom {

namespace {

const FileRequest kMboxRequest{
    .defaultSuffix = {},
    .initialFile = {},
    .filters = {{QStringLiteral("mboxﾌｧｲﾙ (*.mbox;*.mbx)"), QStringLiteral("*.mbox;*.mbx")},
                {QStringLiteral("すべてのﾌｧｲﾙ (*.*)"), QStringLiteral("*.*")}},
};

// Runs the import on a thread of its own; the window keeps painting but
// takes no command until it ends.
ImportResult ImportOnThread(QWidget& window, const std::string& source, const std::string& folder)
{
    ImportResult result;
    NoProgress progress;
    const StopFlag stop{false};
    std::unique_ptr<QThread> thread(QThread::create(
        [&] { result = ImportMails(source, folder, ImportOptions{}, progress, stop); }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    window.setEnabled(false);
    thread->start();
    loop.exec();
    thread->wait();
    window.setEnabled(true);
    return result;
}

}  // namespace

void RunImportCommand(CPostloomApp& app, ImportFrom from)
{
    DesktopPrompts& prompts = app.gate();
    QWidget* const window = &app.frame();
    const std::optional<QString> source = from == ImportFrom::MboxFile
                                              ? prompts.chooseFile(window, kMboxRequest)
                                              : prompts.chooseFolder(window, QDir::homePath());
    if (!source || source->isEmpty())
        return;
    const std::optional<QString> folder = prompts.chooseFolder(window, QDir::homePath());
    if (!folder || folder->isEmpty())
        return;

    ProblemLog& log = app.context().problems();
    log.beginRun();
    const ImportResult result = ImportOnThread(*window, ToCp932(*source), ToCp932(*folder));
    ProblemLines problems;
    AddImportProblems(result, problems);
    log.add(problems);
    log.endRun(QStringLiteral("%1通をｲﾝﾎﾟｰﾄしました (%2通は取り込み済み)")
                   .arg(result.imported)
                   .arg(result.alreadyThere));
    if (result.failure || result.imported == 0)
        return;

    const Answer answer = prompts.ask(window, QStringLiteral("ｲﾝﾎﾟｰﾄ"),
                                      QStringLiteral("取り込んだﾒｰﾙのﾌｫﾙﾀﾞを読むﾌﾟﾛｼﾞｪｸﾄを作成しますか?"));
    if (answer != Answer::Yes || !app.view().newProject(false))
        return;
    CPostloomDoc& document = app.document();
    ProjectSettings& settings = document.settings();
    settings.TargetPath = ToCp932(QDir::toNativeSeparators(*folder));
    settings.MailExt = "*.alm";
    document.setModified(true);
    // The sheet shows the folder and takes the rest of the settings (the
    // pages' folders, their look); the mails are read when it closes.
    app.context().commands().send(ID_PROJECT_PROPERTY);
    if (!document.locked())
        document.startReading();
}

}  // namespace postloom
