#include "app/desktop/postloom_doc.h"

#include "core/report/run_problems.h"

#include "app/command_ids.h"
#include "app/status_texts.h"
#include "core/html/output_paths.h"
#include "core/mail/mail_parser.h"
#include "core/platform/file_system.h"
#include "core/platform/project_lock.h"
#include "core/project/project_file.h"
#include "settings_ui/gui_text.h"
#include "settings_ui/project_sheet_pages.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <algorithm>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace postloom {

namespace {

// Locked, or null: held by another copy (error LockFailedError) or not
// possible there. A lock whose owner no longer runs on this machine is
// taken over. Age alone never makes a lock stale: a project stays open for
// hours.
std::unique_ptr<QLockFile> TryLock(const QString& projectPath, QLockFile::LockError& error)
{
    auto lock = std::make_unique<QLockFile>(ProjectLockPath(projectPath));
    lock->setStaleLockTime(0);
    if (lock->tryLock()) {
        error = QLockFile::NoError;
        return lock;
    }
    error = lock->error();
    return nullptr;
}

QString InUseQuestion(const QString& projectPath, const QString& shown)
{
    qint64 pid = 0;
    QString host;
    const QString question = QStringLiteral("%1 は他の Postloom で開かれています。").arg(shown);
    if (!QLockFile(ProjectLockPath(projectPath)).getLockInfo(&pid, &host, nullptr)) {
        return question + QStringLiteral("開きますか?");
    }
    return question + QStringLiteral("(ﾎｽﾄ %1、ﾌﾟﾛｾｽ %2)\n開きますか?").arg(host).arg(pid);
}

// A drop rewrites the reply headers kept in the record; the mail file keeps
// the ones the mail came with. A file that cannot be read tells nothing.
bool PlacedByHand(const MailRecord& mail, const OutputPaths& paths)
{
    if (!IsUsableFileName(mail.fileName)) {
        return false;
    }
    MailRecord fromFile;
    if (ParseMailFile(fromFile, paths.MailSourcePath(mail), mail.fileName) != MailFileRead::Mail) {
        return false;
    }
    // Reading cuts the values as the project file stores them.
    return fromFile.inReplyTo != mail.inReplyTo ||
           fromFile.noReplyHeaders != mail.noReplyHeaders || fromFile.references.empty() != mail.references.empty();
}

}  // namespace

QString ProjectLockPath(const QString& projectPath)
{
    return projectPath + QStringLiteral(".lock");
}

CPostloomDoc::CPostloomDoc(AppContext& context, DesktopPrompts& prompts, QObject* parent)
    : QObject(parent), context_(context), prompts_(prompts), settings_(std::make_unique<ProjectSettings>())
{
    const auto unlocked = [this] { return !locked(); };
    const auto withMails = [this] { return !locked() && !settings_->mailList.empty(); };
    const auto withTree = [this] { return !locked() && treeBuilt_; };
    routes_ = context_.commands().addRoutes(
        RouteLevel::Document,
        {
            {.id = ID_FILE_NEW, .enabled = unlocked},
            {.id = ID_FILE_OPEN, .enabled = unlocked},
            {.id = ID_FILE_IMPORT, .enabled = unlocked},
            {.id = ID_FILE_IMPORT_FOLDER, .enabled = unlocked},
            {.id = ID_FILE_SAVE, .enabled = [this] { return !locked() && isModified(); }, .handler = [this] { save(); }},
            {.id = ID_FILE_SAVE_AS, .enabled = unlocked, .handler = [this] { saveAs(); }},
            {.id = ID_PROJECT_PROPERTY, .enabled = unlocked, .handler = [this] { editProperties(); }},
            {.id = ID_THREAD_EXPAND, .enabled = withMails},
            {.id = ID_MAIL_RELOAD, .enabled = withMails},
            {.id = ID_HTML_CREATE, .enabled = withTree},
            {.id = ID_INDEX_CREATE, .enabled = withTree},
            {.id = ID_MAILPAGE_CREATE, .enabled = withTree},
            {.id = ID_GRAPHIC_COPY, .enabled = [this] { return !locked() && settings_->DrawGraphic != 0; }},
            {.id = ID_INDEX_OPEN,
             .enabled = [this] { return indexFileReadable(); },
             .handler =
                 [this] {
                     const OutputPaths paths(*settings_, projectFolder());
                     prompts_.openWithDesktop(FromCp932(paths.IndexFileFullPath()));
                 }},
            {.id = ID_MAIL_READ_FIN, .handler = [this] { readFinished(); }},
            {.id = ID_MAIL_SORT_FIN, .handler = [this] { sortFinished(); }},
        });
    // The title's mark, Save and the 編集 menu follow every step.
    connect(&undo_, &QUndoStack::indexChanged, this, &CPostloomDoc::stateChanged);
    connect(&undo_, &QUndoStack::cleanChanged, this, &CPostloomDoc::stateChanged);
}

CPostloomDoc::~CPostloomDoc()
{
    routes_ = {};
    stopReading();
    readWorker_.reset();
    sortWorker_.reset();
    lock_.reset();
    runLock_.reset();
}

void CPostloomDoc::setTreeBuilt(bool built)
{
    treeBuilt_ = built;
    Q_EMIT stateChanged();
}

void CPostloomDoc::setStatusText(QStringView text)
{
    statusText_ = text.toString();
    Q_EMIT stateChanged();
}

void CPostloomDoc::setModified(bool modified)
{
    modified_ = modified;
    if (!modified) {
        undo_.setClean();
    }
    Q_EMIT stateChanged();
}

void CPostloomDoc::forgetUndo()
{
    modified_ = isModified();
    undo_.clear();
    Q_EMIT stateChanged();
}

void CPostloomDoc::setClosing(bool closing)
{
    closing_ = closing;
    Q_EMIT stateChanged();
}

QString CPostloomDoc::mailCountText() const
{
    return QStringLiteral("%1通").arg(settings_->mailList.size());
}

QString CPostloomDoc::title() const
{
    return path_.isEmpty() ? kUntitledProject : QFileInfo(path_).fileName();
}

std::string CPostloomDoc::projectFolder() const
{
    if (path_.isEmpty()) {
        return platform::CurrentDirectory();
    }
    return ToCp932(QFileInfo(path_).absolutePath());
}

void CPostloomDoc::setImporting(bool importing)
{
    importing_ = importing;
    Q_EMIT stateChanged();
}

bool CPostloomDoc::locked() const
{
    return busy_ || importing_ || closing_ || readWorker_ || sortWorker_ || (workerProbe_ && workerProbe_());
}

bool CPostloomDoc::hasLiveWorkers() const
{
    return (readWorker_ && !readWorker_->isFinished()) || sortWorker_;
}

void CPostloomDoc::setPath(const QString& path)
{
    path_ = path;
    Q_EMIT stateChanged();
}

void CPostloomDoc::resetSettings()
{
    auto fresh = std::make_unique<ProjectSettings>();
    fresh->Reset();
    settings_ = std::move(fresh);
}

void CPostloomDoc::newDocument()
{
    Q_EMIT resetTree();
    forgetUndo();
    resetSettings();
    // Loaded projects keep the output they always had; a new one starts
    // with the features made after that.
    ApplyNewProjectValues(*settings_);
    treeBuilt_ = false;
    modified_ = false;
    damagedOnLoad_ = false;
    lock_.reset();
    runLock_.reset();
    diskStamp_.reset();
    setPath({});
}

void CPostloomDoc::endUnattendedRun()
{
    const bool held = runLock_ && runLock_->held();
    runLock_.reset();
    if (held && !path_.isEmpty()) {
        QLockFile::LockError ignored = QLockFile::NoError;
        lock_ = TryLock(path_, ignored);
    }
}

std::optional<std::unique_ptr<QLockFile>> CPostloomDoc::lockFor(const QString& absolute)
{
    if (absolute == path_ && lock_) {
        return std::move(lock_);
    }
    QLockFile::LockError error = QLockFile::NoError;
    std::unique_ptr<QLockFile> lock = TryLock(absolute, error);
    if (error == QLockFile::LockFailedError &&
        prompts_.askOpenInUse(dialogParent_, InUseQuestion(absolute, QDir::toNativeSeparators(absolute))) !=
            Answer::Yes) {
        return std::nullopt;
    }
    return lock;
}

std::unique_ptr<platform::RunLock> CPostloomDoc::takeRunLock(const QString& absolute)
{
    const QString shown = QDir::toNativeSeparators(absolute);
    platform::RunLockWait wait;
    wait.onWait = [&shown](const platform::LockOwner& run) {
        WriteLineToStderr(QStringLiteral("waiting for another unattended run of %1 to end (process %2 on %3)")
                              .arg(shown)
                              .arg(run.pid)
                              .arg(QString::fromLocal8Bit(run.host)));
    };
    auto lock = std::make_unique<platform::RunLock>(
        platform::RunLock::Take(QFile::encodeName(ProjectLockPath(absolute)).toStdString(), wait));
    switch (lock->state()) {
    case platform::RunLockState::WindowHolds:
        WriteLineToStderr(QStringLiteral("%1 is open in a Postloom window (process %2 on %3); the run goes on, "
                                         "and the window asks before it saves over what this run saves")
                              .arg(shown)
                              .arg(lock->window().pid)
                              .arg(QString::fromLocal8Bit(lock->window().host)));
        break;
    case platform::RunLockState::NotPossible:
        WriteLineToStderr(QStringLiteral("cannot lock %1 (%2); the run goes on without the lock")
                              .arg(shown, QString::fromLocal8Bit(std::strerror(lock->error()))));
        break;
    case platform::RunLockState::Held:
    case platform::RunLockState::Stopped:
        break;
    }
    return lock;
}

namespace {

// The second line of the message that refuses a project file.
QString RefusalText(const LoadResult& loaded)
{
    switch (loaded.failure) {
    case LoadFailure::NotAFile:
        return QStringLiteral("ﾌｫﾙﾀﾞか特殊なﾌｧｲﾙです。");
    case LoadFailure::NotAProject:
        return QStringLiteral("Postloom ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙではありません。");
    case LoadFailure::None:
    case LoadFailure::Missing:
    case LoadFailure::Unreadable:
        break;
    }
    return QStringLiteral("ﾌｧｲﾙを読み込めませんでした。\n%1").arg(FromCp932(loaded.systemError));
}

}  // namespace

bool CPostloomDoc::openDocument(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString shown = QDir::toNativeSeparators(absolute);
    // Taken before the file is read: another unattended run may be about
    // to save it.
    std::unique_ptr<platform::RunLock> runLock = unattendedRun_ ? takeRunLock(absolute) : nullptr;
    auto fresh = std::make_unique<ProjectSettings>();
    fresh->Reset();
    // A missing file opens as an empty project of that name, which Save
    // then creates. An existing file is only taken when it is a project.
    const LoadResult loaded = LoadProject(*fresh, ToCp932(absolute));
    if (loaded.failure != LoadFailure::None && loaded.failure != LoadFailure::Missing) {
        prompts_.showError(dialogParent_, QStringLiteral("%1 を開けません。\n%2").arg(shown, RefusalText(loaded)));
        return false;
    }
    std::optional<std::unique_ptr<QLockFile>> lock =
        unattendedRun_ ? std::optional<std::unique_ptr<QLockFile>>(nullptr) : lockFor(absolute);
    if (!lock) {
        return false;
    }
    Q_EMIT resetTree();
    forgetUndo();
    settings_ = std::move(fresh);
    // The lock of the project that was open goes with it.
    lock_ = std::move(*lock);
    runLock_ = std::move(runLock);
    diskStamp_ = loaded.stamp;
    // What a damaged file still held is kept, and the project counts as
    // modified so that the repaired one is saved (an unattended run saves
    // only a modified project); that save keeps the old file first.
    damagedOnLoad_ = loaded.damaged();
    modified_ = damagedOnLoad_;
    setPath(absolute);
    if (loaded.noMailData) {
        prompts_.showWarning(
            dialogParent_,
            QStringLiteral("%1 にはﾒｰﾙ一覧がありません。ﾌｧｲﾙが途中で切れている可能性があります。").arg(shown));
    } else if (loaded.mailBlockDamaged) {
        prompts_.showWarning(dialogParent_,
                             QStringLiteral("%1 のﾒｰﾙ一覧が壊れています。読み込めたﾒｰﾙを残しました。").arg(shown));
    }
    startReading(true, !unattendedRun_ && context_.marks().autoRun == 0);
    Problems problems;
    AddLoadProblems(loaded, ToCp932(absolute), problems);
    context_.problems().add(problems);
    return true;
}

bool CPostloomDoc::saveDocument(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const bool ownFile = absolute == path_;
    // Another copy (or any program) saved meanwhile: its work is in that
    // file. A file deleted meanwhile holds nothing to lose.
    if (ownFile) {
        const std::optional<ProjectFileStamp> onDisk = StampProjectFile(ToCp932(absolute));
        if (onDisk && onDisk != diskStamp_ &&
            prompts_.askOverwriteChanged(
                dialogParent_, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙは他のﾌﾟﾛｸﾞﾗﾑで変更されています。上書きしますか?")) !=
                Answer::Yes) {
            return false;
        }
    }
    // Only the file that loaded damaged is kept; a save under another name
    // leaves it untouched anyway.
    const SaveOptions options{.keepBackup = damagedOnLoad_ && ownFile};
    const SaveResult saved = SaveProject(*settings_, ToCp932(absolute), options);
    Problems notices;
    Problems problems;
    AddSaveLines(saved, ToCp932(absolute), notices, problems);
    context_.problems().add(problems, notices);
    if (!saved.ok) {
        prompts_.showError(dialogParent_, QStringLiteral("%1 を保存できませんでした。\n%2")
                                              .arg(QDir::toNativeSeparators(absolute), FromCp932(saved.error)));
        return false;
    }
    damagedOnLoad_ = false;
    settings_->mailListChanged = 0;
    modified_ = false;
    undo_.setClean();
    diskStamp_ = StampProjectFile(ToCp932(absolute));
    if (!ownFile) {
        // Saved under another name: that file is the open project now. When
        // another copy has it open, this one stays unlocked.
        QLockFile::LockError ignored = QLockFile::NoError;
        lock_ = TryLock(absolute, ignored);
    }
    setPath(absolute);
    if (!saved.backupPath.empty()) {
        prompts_.showWarning(dialogParent_, QStringLiteral("元のﾌｧｲﾙを %1 に残しました。")
                                                .arg(QDir::toNativeSeparators(FromCp932(saved.backupPath))));
    }
    return true;
}

bool CPostloomDoc::save()
{
    return path_.isEmpty() ? saveAs() : saveDocument(path_);
}

bool CPostloomDoc::saveAs()
{
    const std::optional<QString> chosen = prompts_.chooseProjectToSave(dialogParent_, path_.isEmpty() ? title() : path_);
    return chosen && saveDocument(*chosen);
}

bool CPostloomDoc::saveModified()
{
    if (!isModified()) {
        return true;
    }
    switch (prompts_.askSaveChanges(dialogParent_, title())) {
    case SaveChoice::Save:
        return save();
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Cancel:
        break;
    }
    return false;
}

void CPostloomDoc::startReading(bool withStatusText, bool buildTree)
{
    buildTreeAfterReading_ = buildTree;
    Q_EMIT resetTree();
    forgetUndo();
    if (withStatusText) {
        statusText_ = kStatusReading.toString();
    }
    context_.problems().beginRun();
    const OutputPaths paths(*settings_, projectFolder());
    readWorker_ = std::make_unique<CFileReadThread>(context_, *settings_, paths.Resolve(settings_->TargetPath));
    readWorker_->start();
    busy_ = true;
    treeBuilt_ = false;
    Q_EMIT stateChanged();
}

bool CPostloomDoc::holdsHandWork() const
{
    const MailList& mails = settings_->mailList;
    // The move commands exchange orderKeys, which reading sets to the date.
    const bool marked = std::any_of(mails.begin(), mails.end(), [](const auto& mail) {
        return mail->outputHtml == 0 || mail->orderKey != mail->date;
    });
    if (marked) {
        return true;
    }
    const OutputPaths paths(*settings_, projectFolder());
    return std::any_of(mails.begin(), mails.end(), [&paths](const auto& mail) { return PlacedByHand(*mail, paths); });
}

bool CPostloomDoc::confirmReload()
{
    return !holdsHandWork() ||
           prompts_.askReloadDropsWork(dialogParent_,
                                       QStringLiteral("手動で変更した順序とﾍﾟｰｼﾞの設定は失われます。再読込しますか?")) ==
               Answer::Yes;
}

void CPostloomDoc::stopReading()
{
    if (readWorker_) {
        readWorker_->requestStop();
    }
}

void CPostloomDoc::finishStoppedReading()
{
    if (!readWorker_ || !readWorker_->isFinished()) {
        return;
    }
    Problems problems;
    AddReadProblems(readWorker_->result(), OutputPaths(*settings_, projectFolder()).Resolve(settings_->TargetPath),
                    problems);
    AddStoppedProblem(problems);
    context_.problems().add(problems);
    readWorker_.reset();
    buildTreeAfterReading_ = false;
    busy_ = false;
    statusText_.clear();
    modified_ = modified_ || settings_->mailListChanged != 0;
    context_.postToMainWindow([](MainWindow& window) { window.updateProgress(0, 0); });
    context_.problems().endRun(mailCountText());
    Q_EMIT stateChanged();
}

void CPostloomDoc::readFinished()
{
    if (!readWorker_) {
        return;
    }
    statusText_.clear();
    Problems problems;
    AddReadProblems(readWorker_->result(), OutputPaths(*settings_, projectFolder()).Resolve(settings_->TargetPath),
                    problems);
    context_.problems().add(problems);
    readWorker_.reset();
    // Reading never takes back a change made before it (settings from the
    // property sheet, page flags): it only adds its own.
    modified_ = modified_ || settings_->mailListChanged != 0;
    statusText_ = kStatusSorting.toString();
    sortWorker_ = std::make_unique<CDataSortThread>(context_, *settings_);
    sortWorker_->start();
    Q_EMIT stateChanged();
}

void CPostloomDoc::sortFinished()
{
    if (!sortWorker_) {
        return;
    }
    statusText_.clear();
    busy_ = false;
    sortWorker_.reset();
    context_.postToMainWindow([](MainWindow& window) { window.updateProgress(0, 0); });
    if (context_.marks().autoRun != 0) {
        context_.commands().post(ID_THREAD_EXPAND);
    }
    const bool buildTree = std::exchange(buildTreeAfterReading_, false);
    context_.problems().endRun(mailCountText());
    Q_EMIT stateChanged();
    Q_EMIT readingFinished();
    // Started at once, so that the open runs on without a moment in which
    // it looks done.
    if (buildTree && context_.commands().isEnabled(ID_THREAD_EXPAND)) {
        context_.commands().send(ID_THREAD_EXPAND);
    }
}

bool CPostloomDoc::editProperties()
{
    const std::unique_ptr<CProjectSheet> sheet =
        CreateProjectSheet(*settings_, projectFolder(), prompts_, dialogParent_);
    const int result = sheetRunner_ ? sheetRunner_(*sheet) : sheet->exec();
    if (result != QDialog::Accepted) {
        return false;
    }
    const ProjectSheetHandBack back = sheet->handBack(*settings_);
    if (!back.applied) {
        return true;
    }
    if (back.targetPathChanged) {
        startReading(false);
    }
    setModified(true);
    return true;
}

bool CPostloomDoc::indexFileReadable() const
{
    if (settings_->IndexPath.empty()) {
        return false;
    }
    const OutputPaths paths(*settings_, projectFolder());
    return ::access(platform::NativePath(paths.IndexFileFullPath()).c_str(), R_OK) == 0;
}

}  // namespace postloom
