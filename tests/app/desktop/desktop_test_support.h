#pragma once

// What the desktop program's tests share: prompts answered from a script, a
// copy of the sample project, and the program built for a test.

#include "app/desktop/postloom_app.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>
#include <vector>

namespace postloom::test {

inline constexpr int kPatience = 60000;

// Answers from queues; anything asked without a queued answer is recorded
// and answered No / Cancel / Discard.
class ScriptedDesktopPrompts final : public DesktopPrompts {
public:
    std::deque<Answer> answers;
    std::deque<SaveChoice> saveChoices;
    std::deque<QString> projectsToOpen;
    std::deque<QString> projectsToSave;
    // What the file and folder dialogs return in turn; none left is Cancel.
    std::deque<QString> chosenFiles;
    std::deque<QString> chosenFolders;
    // What the import dialog returns in turn; none left is Cancel.
    std::deque<ImportChoice> importChoices;
    std::vector<ImportRequest> importRequests;  // every import dialog asked for

    QStringList asked;   // every question, save question and dialog
    QStringList errors;  // every error and notice
    QStringList warnings;
    QStringList opened;  // paths handed to the desktop
    QStringList suggestedSaves;  // what each save dialog proposed

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
};

// The bytes of a file; empty when it cannot be read.
QByteArray ReadBytes(const QString& path);
// Replaces the file's bytes; false when that fails.
bool WriteBytes(const QString& path, const QByteArray& bytes);

// A copy of examples/sample in a folder of its own.
class SampleCopy {
public:
    SampleCopy();
    bool valid() const { return valid_; }
    QString folder() const { return dir_.path(); }
    QString project() const { return dir_.filePath(QStringLiteral("sample.plp")); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    // Switches the copy to the classic page style, for a test that reads
    // the links of the pages by their classic captions; false when the
    // project file cannot be rewritten.
    bool useClassicPages() const;

private:
    QTemporaryDir dir_;
    bool valid_ = false;
};

bool CopyFolder(const QString& from, const QString& to);

// The program with scripted prompts and a recent-files store of its own.
struct TestProgram {
    explicit TestProgram(const QStringList& arguments = {}, bool headless = false);

    QTemporaryDir storeDir;
    ScriptedDesktopPrompts* prompts = nullptr;  // owned by app
    std::unique_ptr<CPostloomApp> app;
};

}  // namespace postloom::test
