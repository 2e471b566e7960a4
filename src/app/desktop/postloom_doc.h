#pragma once

// The open project: its settings and mails, its file, and the first half of
// the processing (reading the mail folder and ordering the mails, each on a
// worker). It answers the enable rules of the project commands and supplies
// the texts of the status-bar panes.
//
// While any worker runs (its own, or the view's, which it learns through the
// worker probe), every command that would start another worker or change
// the project, its settings, its mails or the tree is disabled.
//
// While a project is open, a lock file beside it ("NAME.plp.lock") tells a
// second copy of the program that it is open here; a lock left by a copy
// that crashed is taken over. An unattended run holds the same file as
// postloom-batch does (core/platform/project_lock.h): it waits for another
// unattended run and goes on beside a window. A save never silently
// overwrites a project file that changed on disk since it was read or
// saved.

#include "app/app_context.h"
#include "app/command_dispatcher.h"
#include "app/desktop/desktop_prompts.h"
#include "app/pipeline_workers.h"
#include "core/project/project_file.h"
#include "core/project/project_settings.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QLockFile;
class QWidget;

namespace postloom::platform {
class RunLock;
}

namespace postloom {

class CProjectSheet;

inline const QString kUntitledProject = QStringLiteral("無題.plp");

// The lock file of the project file at projectPath.
QString ProjectLockPath(const QString& projectPath);

class CPostloomDoc final : public QObject {
    Q_OBJECT

public:
    // Runs the property sheet modally and returns its result; the tests
    // drive the sheet instead.
    using SheetRunner = std::function<int(CProjectSheet&)>;

    CPostloomDoc(AppContext& context, DesktopPrompts& prompts, QObject* parent = nullptr);
    // Stops the reading, waits for the workers; releases the lock.
    ~CPostloomDoc() override;

    ProjectSettings& settings() { return *settings_; }
    const ProjectSettings& settings() const { return *settings_; }

    bool busy() const { return busy_; }
    bool treeBuilt() const { return treeBuilt_; }
    void setTreeBuilt(bool built);
    const QString& statusText() const { return statusText_; }
    void setStatusText(QStringView text);
    // Modified by a change on the undo stack that is not undone back to the
    // state last saved, or by any other change since then.
    bool isModified() const { return modified_ || !undo_.isClean(); }
    // Not modified: the project counts as saved as it is now.
    void setModified(bool modified);
    // The changes of the tree made by hand, in order; the view pushes them.
    QUndoStack& undoStack() { return undo_; }
    // Empties the undo stack when the tree they changed goes. A change not
    // saved keeps the project modified.
    void forgetUndo();
    // "%d通" of the mail count.
    QString mailCountText() const;

    // Absolute path of the project file; empty for a new project.
    const QString& pathName() const { return path_; }
    // "無題.plp" for a new project, the file name otherwise.
    QString title() const;
    // CP932; relative settings paths resolve against it: the folder of the
    // project file, or the working directory for a new project.
    std::string projectFolder() const;

    void setWorkerProbe(std::function<bool()> probe) { workerProbe_ = std::move(probe); }
    void setSheetRunner(SheetRunner runner) { sheetRunner_ = std::move(runner); }
    void setDialogParent(QWidget* parent) { dialogParent_ = parent; }
    // Set while the program closes: nothing new may start.
    void setClosing(bool closing);
    // The next project opened is opened for an unattended run: its lock is
    // taken as an unattended run takes it, with a line on stderr instead of
    // a question.
    void setUnattendedRun(bool unattended) { unattendedRun_ = unattended; }
    // The unattended run ended and the window stays: the project's lock
    // becomes a window's.
    void endUnattendedRun();

    // An import runs: nothing that changes the project may start meanwhile.
    void setImporting(bool importing);
    // Any worker of the document or of the view, or an import, runs, or
    // the program closes.
    bool locked() const;
    // The document's own workers have not ended yet.
    bool hasLiveWorkers() const;

    // The new-document step: reset settings, title "無題.plp", no reading;
    // the lock of the project that was open is released.
    void newDocument();
    // Opens the project file and starts reading. A file that exists but
    // cannot be read, or is no project, is refused with a message saying why
    // and the open project stays. A missing file gives an empty project under
    // that name. A damaged file (cut short, or a broken mail list) opens with
    // what it held, with a warning, modified. A project that another copy
    // holds open is opened only when the user says so (it stays unlocked
    // here), except for an unattended run. Opened interactively, the tree
    // is built once the mails are read. False when refused or declined.
    bool openDocument(const QString& path);
    // Saves to path; on failure shows why and keeps the modified mark. The
    // first save over a file that loaded damaged keeps the old file as
    // "NAME.bak" and says so. When the project's own file changed on disk
    // since it was read or saved, the user is asked first; No keeps that
    // file and returns false.
    bool saveDocument(const QString& path);
    // Save, or Save As for a project without a file.
    bool save();
    bool saveAs();
    // Asks whether a modified project is to be saved first; false when the
    // user cancelled or the save failed.
    bool saveModified();

    // Empties the tree (readingStarts), then reads the mail folder.
    // buildTree: an interactive open, which builds the tree once the mails
    // are read (the unattended chain builds it as its own step).
    void startReading(bool withStatusText = true, bool buildTree = false);
    // Whether the mails hold changes made by hand that reading them again
    // would drop: a page switched off, a mail moved, or one dropped onto
    // another place (its reply headers differ from its file's).
    bool holdsHandWork() const;
    // Before ID_MAIL_RELOAD: asks when holdsHandWork(); true to go on.
    bool confirmReload();
    // Asks a running reading worker to stop. Once it has ended,
    // finishStoppedReading() leaves the reading state with what was read.
    void stopReading();
    void finishStoppedReading();

    // ID_PROJECT_PROPERTY. True when the sheet ended with OK.
    bool editProperties();
    // ID_INDEX_OPEN's rule: the index file exists and may be read.
    bool indexFileReadable() const;

Q_SIGNALS:
    // A mark, a text, the title or the mail count changed.
    void stateChanged();
    // The mails are about to change under the tree (open, new, reading):
    // the view empties it first.
    void resetTree();
    // Reading and sorting have ended (ID_MAIL_SORT_FIN).
    void readingFinished();

private:

    void readFinished();
    void sortFinished();
    void setPath(const QString& path);
    void resetSettings();
    // The lock for the project file at absolute: the one held already when
    // it is that file's; null, with the user's consent, when another copy
    // holds it, and when none can be made there (a read-only folder).
    // nullopt when the user declines to open the file.
    std::optional<std::unique_ptr<QLockFile>> lockFor(const QString& absolute);
    // The lock of an unattended run for the project file at absolute; says
    // on stderr what it waited for or went on without.
    std::unique_ptr<platform::RunLock> takeRunLock(const QString& absolute);

    AppContext& context_;
    DesktopPrompts& prompts_;
    std::unique_ptr<ProjectSettings> settings_;
    std::unique_ptr<CFileReadThread> readWorker_;
    std::unique_ptr<CDataSortThread> sortWorker_;
    bool treeBuilt_ = false;
    // The running reading ends in ID_THREAD_EXPAND.
    bool buildTreeAfterReading_ = false;
    bool busy_ = false;
    bool importing_ = false;
    bool modified_ = false;
    bool closing_ = false;
    // The project file loaded damaged and has not been saved since.
    bool damagedOnLoad_ = false;
    QString statusText_;
    QUndoStack undo_;
    QString path_;
    // Held while path_ is open here; null when another copy held it.
    std::unique_ptr<QLockFile> lock_;
    // In place of lock_ while path_ is open for an unattended run.
    bool unattendedRun_ = false;
    std::unique_ptr<platform::RunLock> runLock_;
    // path_ as it was last read or written here; nullopt while it does not exist.
    std::optional<ProjectFileStamp> diskStamp_;
    std::function<bool()> workerProbe_;
    SheetRunner sheetRunner_;
    QWidget* dialogParent_ = nullptr;
    CommandDispatcher::Registration routes_;
};

}  // namespace postloom
