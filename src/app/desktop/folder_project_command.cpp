#include "app/desktop/folder_project_command.h"

#include "app/command_ids.h"
#include "app/desktop/postloom_app.h"
#include "core/html/output_paths.h"
#include "core/mail/mail_folder_survey.h"
#include "core/project/folder_project.h"
#include "settings_ui/gui_text.h"

#include <QDir>
#include <QFileInfo>

namespace postloom {

namespace {

const QString kCaption = QStringLiteral("ﾌｫﾙﾀﾞから新規作成");

}  // namespace

FolderProjectCommand::FolderProjectCommand(CPostloomApp& app) : app_(app)
{
    route_ = app_.context().commands().addRoutes(
        RouteLevel::Application, {{.id = ID_FILE_NEW_FROM_FOLDER,
                                   .enabled = [this] { return !app_.document().locked(); },
                                   .handler = [this] { run(); }}});
}

FolderProjectCommand::~FolderProjectCommand()
{
    forgetPending();
}

void FolderProjectCommand::run()
{
    const std::optional<QString> folder = app_.gate().chooseFolder(&app_.frame(), QDir::homePath());
    if (folder && !folder->isEmpty())
        startWith(*folder);
}

void FolderProjectCommand::startWith(const QString& folder)
{
    DesktopPrompts& prompts = app_.gate();
    QWidget* const window = &app_.frame();
    const QString absolute = QFileInfo(folder).absoluteFilePath();
    const QString shown = QDir::toNativeSeparators(absolute);
    const MailFolderSurvey survey = SurveyMailFolder(ToCp932(absolute));
    switch (survey.kind) {
    case MailFolderKind::MailFiles:
        fill(absolute, survey.pattern);
        return;
    case MailFolderKind::Maildir:
    case MailFolderKind::Mbox: {
        const bool maildir = survey.kind == MailFolderKind::Maildir;
        const QString question =
            (maildir ? QStringLiteral("%1 は Maildir です。") : QStringLiteral("%1 には mbox ﾌｧｲﾙがあります。"))
                .arg(shown) +
            QStringLiteral("\nﾒｰﾙを1通ずつのﾌｧｲﾙにしてﾒｰﾙのﾌｫﾙﾀﾞに取り込み、そのﾌｫﾙﾀﾞからﾌﾟﾛｼﾞｪｸﾄを作成しますか?");
        if (prompts.ask(window, kCaption, question) != Answer::Yes)
            return;
        const QString source = maildir ? absolute : FromCp932(survey.mboxPath);
        app_.importCommand().runFor(source, maildir ? ImportFrom::Folder : ImportFrom::MboxFile,
                                    [this](const QString& imported) { startWith(imported); });
        return;
    }
    case MailFolderKind::NoMail:
        prompts.showError(window, QStringLiteral("%1 にはﾒｰﾙのﾌｧｲﾙがありません。\n"
                                                 "ﾒｰﾙが1通ずつﾌｧｲﾙになっているﾌｫﾙﾀﾞ、Maildir、"
                                                 "またはmboxﾌｧｲﾙのあるﾌｫﾙﾀﾞを選んでください。")
                                      .arg(shown));
        return;
    case MailFolderKind::Unreadable:
        prompts.showError(window, QStringLiteral("%1 を読めません。").arg(shown));
        return;
    }
}

void FolderProjectCommand::fill(const QString& folder, std::string pattern)
{
    forgetPending();
    if (!app_.view().newProject(false))
        return;
    CPostloomDoc& document = app_.document();
    FillFolderProject(document.settings(), ToCp932(folder), std::move(pattern));
    document.setModified(true);
    if (!document.editProperties()) {
        // Nothing was made: the window is as after ﾌｧｲﾙ → 新規作成.
        document.newDocument();
        return;
    }
    afterReading_ = QObject::connect(&document, &CPostloomDoc::readingFinished, &document, [this] { readingDone(); });
    // A new mail folder typed on the sheet has started the reading already.
    if (!document.busy())
        document.startReading();
}

void FolderProjectCommand::readingDone()
{
    QObject::disconnect(afterReading_);
    if (app_.document().settings().mailList.empty()) {
        saveNew();
        return;
    }
    afterTree_ = QObject::connect(&app_.view(), &CPostloomView::treeFinished, &app_.view(), [this] {
        QObject::disconnect(afterTree_);
        saveNew();
    });
    if (!app_.context().commands().send(ID_THREAD_EXPAND))
        forgetPending();
}

void FolderProjectCommand::saveNew()
{
    CPostloomDoc& document = app_.document();
    const OutputPaths paths(document.settings(), document.projectFolder());
    const QString proposed = FromCp932(ProposedProjectPath(paths.Resolve(document.settings().TargetPath)));
    if (const std::optional<QString> chosen = app_.gate().chooseProjectToSave(&app_.frame(), proposed))
        document.saveDocument(*chosen);
}

void FolderProjectCommand::forgetPending()
{
    QObject::disconnect(afterReading_);
    QObject::disconnect(afterTree_);
}

}  // namespace postloom
