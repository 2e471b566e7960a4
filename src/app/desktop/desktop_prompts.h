#pragma once

// What the desktop program asks of the user and hands to the desktop: the
// settings pages' questions and dialogs, plus the program's own questions,
// error messages, project file dialogs and the shell's "open". The program
// shows real dialogs; the tests answer from a script; an unattended run
// answers nothing and ends instead (UnattendedGate).

#include "app/desktop/import_dialog.h"
#include "settings_ui/qt_user_prompts.h"
#include "settings_ui/user_prompts.h"

#include <QString>

#include <functional>
#include <optional>

namespace postloom {

enum class SaveChoice { Save, Discard, Cancel };

// Writes "postloom: " and message as one line on stderr.
void WriteLineToStderr(const QString& message);

class DesktopPrompts : public UserPrompts {
public:
    // Whether the changes of the project documentTitle are to be saved.
    virtual SaveChoice askSaveChanges(QWidget* parent, const QString& documentTitle) = 0;
    // An error message box with OK.
    virtual void showError(QWidget* parent, const QString& message) = 0;
    // A warning message box with OK: something was wrong, the work goes on.
    virtual void showWarning(QWidget* parent, const QString& message) = 0;
    // The project file dialogs; nullopt on Cancel.
    virtual std::optional<QString> chooseProjectToOpen(QWidget* parent) = 0;
    virtual std::optional<QString> chooseProjectToSave(QWidget* parent, const QString& suggested) = 0;
    // The desktop's "open" of a file (the program that the file type
    // belongs to shows it).
    virtual void openWithDesktop(const QString& path) = 0;
    // The import dialog for the source chosen; nullopt on Cancel.
    virtual std::optional<ImportChoice> chooseImportTarget(QWidget* parent, const ImportRequest& request) = 0;

    // Questions whose default answer, No, leaves everything as it is; Yes
    // goes ahead. Unless overridden they are asked like any other question.
    // Another copy of the program has the project open: open it anyway?
    virtual Answer askOpenInUse(QWidget* parent, const QString& question);
    // The project file changed on disk since it was read or saved:
    // overwrite it?
    virtual Answer askOverwriteChanged(QWidget* parent, const QString& question);
    // Reading the mails again drops what was changed by hand: read them?
    virtual Answer askReloadDropsWork(QWidget* parent, const QString& question);
};

class QtDesktopPrompts final : public DesktopPrompts {
public:
    Answer ask(QWidget* parent, const QString& caption, const QString& question) override;
    void inform(QWidget* parent, const QString& caption, const QString& message) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& startFolder) override;
    std::optional<QString> chooseFile(QWidget* parent, const FileRequest& request) override;
    SaveChoice askSaveChanges(QWidget* parent, const QString& documentTitle) override;
    void showError(QWidget* parent, const QString& message) override;
    void showWarning(QWidget* parent, const QString& message) override;
    std::optional<QString> chooseProjectToOpen(QWidget* parent) override;
    std::optional<QString> chooseProjectToSave(QWidget* parent, const QString& suggested) override;
    void openWithDesktop(const QString& path) override;
    std::optional<ImportChoice> chooseImportTarget(QWidget* parent, const ImportRequest& request) override;
    Answer askOpenInUse(QWidget* parent, const QString& question) override;
    Answer askOverwriteChanged(QWidget* parent, const QString& question) override;
    Answer askReloadDropsWork(QWidget* parent, const QString& question) override;

private:
    QtUserPrompts settingsPrompts_;
};

// Passes everything to the interactive prompts, except while an unattended
// run is under way: then nothing is asked or shown, nothing waits; what
// would have been asked or shown goes to stderr and counts as a failure of
// the run (reported through onFailure), except a warning, which only goes to
// stderr. The shell's "open" always passes. Two questions have answers of
// their own there: a project file changed on disk is not overwritten (a
// failure); the mails are read again without asking. (An unattended run
// never asks whether to open a project open elsewhere: it takes the lock
// as an unattended run, CPostloomDoc::setUnattendedRun.)
class UnattendedGate final : public DesktopPrompts {
public:
    explicit UnattendedGate(DesktopPrompts& interactive) : interactive_(interactive) {}

    void setUnattended(bool unattended) { unattended_ = unattended; }
    bool unattended() const { return unattended_; }
    bool failed() const { return failed_; }
    // Called after a failure has been written to stderr.
    std::function<void()> onFailure;
    // Writes message to stderr and counts it as a failure.
    void fail(const QString& message);

    Answer ask(QWidget* parent, const QString& caption, const QString& question) override;
    void inform(QWidget* parent, const QString& caption, const QString& message) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& startFolder) override;
    std::optional<QString> chooseFile(QWidget* parent, const FileRequest& request) override;
    SaveChoice askSaveChanges(QWidget* parent, const QString& documentTitle) override;
    void showError(QWidget* parent, const QString& message) override;
    void showWarning(QWidget* parent, const QString& message) override;
    std::optional<QString> chooseProjectToOpen(QWidget* parent) override;
    std::optional<QString> chooseProjectToSave(QWidget* parent, const QString& suggested) override;
    void openWithDesktop(const QString& path) override;
    std::optional<ImportChoice> chooseImportTarget(QWidget* parent, const ImportRequest& request) override;
    Answer askOpenInUse(QWidget* parent, const QString& question) override;
    Answer askOverwriteChanged(QWidget* parent, const QString& question) override;
    Answer askReloadDropsWork(QWidget* parent, const QString& question) override;

private:
    DesktopPrompts& interactive_;
    bool unattended_ = false;
    bool failed_ = false;
};

}  // namespace postloom
