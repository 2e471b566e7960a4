#include "app/desktop/desktop_prompts.h"

#include "app/desktop/dialog_folder.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>
#include <QUrl>

#include <cstdio>

namespace postloom {

namespace {

const QString kProjectFilter = QStringLiteral("Postloom ﾌﾟﾛｼﾞｪｸﾄﾌｧｲﾙ (*.plp)");
const QString kProgramTitle = QStringLiteral("Postloom");

// Yes and No with the focus on No: Enter keeps things as they are.
Answer AskDefaultNo(QWidget* parent, const QString& question)
{
    QMessageBox box(QMessageBox::Warning, kProgramTitle, question, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

}  // namespace

void WriteLineToStderr(const QString& message)
{
    std::fprintf(stderr, "postloom: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

Answer DesktopPrompts::askOpenInUse(QWidget* parent, const QString& question)
{
    return ask(parent, kProgramTitle, question);
}

Answer DesktopPrompts::askOverwriteChanged(QWidget* parent, const QString& question)
{
    return ask(parent, kProgramTitle, question);
}

Answer DesktopPrompts::askReloadDropsWork(QWidget* parent, const QString& question)
{
    return ask(parent, kProgramTitle, question);
}

Answer QtDesktopPrompts::ask(QWidget* parent, const QString& caption, const QString& question)
{
    return settingsPrompts_.ask(parent, caption, question);
}

void QtDesktopPrompts::inform(QWidget* parent, const QString& caption, const QString& message)
{
    settingsPrompts_.inform(parent, caption, message);
}

std::optional<QString> QtDesktopPrompts::chooseFolder(QWidget* parent, const QString& startFolder)
{
    return settingsPrompts_.chooseFolder(parent, startFolder);
}

std::optional<QString> QtDesktopPrompts::chooseFile(QWidget* parent, const FileRequest& request)
{
    return settingsPrompts_.chooseFile(parent, request);
}

SaveChoice QtDesktopPrompts::askSaveChanges(QWidget* parent, const QString& documentTitle)
{
    const auto answer = QMessageBox::question(parent, kProgramTitle,
                                              QStringLiteral("%1 への変更を保存しますか?").arg(documentTitle),
                                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                              QMessageBox::Yes);
    if (answer == QMessageBox::Yes) {
        return SaveChoice::Save;
    }
    return answer == QMessageBox::No ? SaveChoice::Discard : SaveChoice::Cancel;
}

void QtDesktopPrompts::showError(QWidget* parent, const QString& message)
{
    QMessageBox::critical(parent, kProgramTitle, message);
}

void QtDesktopPrompts::showWarning(QWidget* parent, const QString& message)
{
    QMessageBox::warning(parent, kProgramTitle, message);
}

std::optional<QString> QtDesktopPrompts::chooseProjectToOpen(QWidget* parent)
{
    QSettings store;
    const QString file =
        QFileDialog::getOpenFileName(parent, QStringLiteral("開く"), LastDialogFolder(store), kProjectFilter);
    if (file.isEmpty()) {
        return std::nullopt;
    }
    RememberDialogFolder(store, file);
    return file;
}

std::optional<QString> QtDesktopPrompts::chooseProjectToSave(QWidget* parent, const QString& suggested)
{
    QSettings store;
    QFileDialog dialog(parent, QStringLiteral("名前を付けて保存"), LastDialogFolder(store), kProjectFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("plp"));
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString file = dialog.selectedFiles().constFirst();
    RememberDialogFolder(store, file);
    return file;
}

void QtDesktopPrompts::openWithDesktop(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

std::optional<ImportChoice> QtDesktopPrompts::chooseImportTarget(QWidget* parent, const ImportRequest& request)
{
    CImportDialog dialog(parent, request, settingsPrompts_);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

Answer QtDesktopPrompts::askOpenInUse(QWidget* parent, const QString& question)
{
    return AskDefaultNo(parent, question);
}

Answer QtDesktopPrompts::askOverwriteChanged(QWidget* parent, const QString& question)
{
    return AskDefaultNo(parent, question);
}

Answer QtDesktopPrompts::askReloadDropsWork(QWidget* parent, const QString& question)
{
    return AskDefaultNo(parent, question);
}

void UnattendedGate::fail(const QString& message)
{
    WriteLineToStderr(message);
    failed_ = true;
    if (onFailure) {
        onFailure();
    }
}

Answer UnattendedGate::ask(QWidget* parent, const QString& caption, const QString& question)
{
    if (!unattended_) {
        return interactive_.ask(parent, caption, question);
    }
    fail(QStringLiteral("would ask \"%1\"; answered No").arg(question));
    return Answer::No;
}

void UnattendedGate::inform(QWidget* parent, const QString& caption, const QString& message)
{
    if (!unattended_) {
        interactive_.inform(parent, caption, message);
        return;
    }
    fail(message);
}

std::optional<QString> UnattendedGate::chooseFolder(QWidget* parent, const QString& startFolder)
{
    if (!unattended_) {
        return interactive_.chooseFolder(parent, startFolder);
    }
    fail(QStringLiteral("would ask for a folder"));
    return std::nullopt;
}

std::optional<QString> UnattendedGate::chooseFile(QWidget* parent, const FileRequest& request)
{
    if (!unattended_) {
        return interactive_.chooseFile(parent, request);
    }
    fail(QStringLiteral("would ask for a file"));
    return std::nullopt;
}

SaveChoice UnattendedGate::askSaveChanges(QWidget* parent, const QString& documentTitle)
{
    if (!unattended_) {
        return interactive_.askSaveChanges(parent, documentTitle);
    }
    fail(QStringLiteral("%1 has changes that were not saved").arg(documentTitle));
    return SaveChoice::Discard;
}

void UnattendedGate::showError(QWidget* parent, const QString& message)
{
    if (!unattended_) {
        interactive_.showError(parent, message);
        return;
    }
    fail(message);
}

void UnattendedGate::showWarning(QWidget* parent, const QString& message)
{
    if (!unattended_) {
        interactive_.showWarning(parent, message);
        return;
    }
    WriteLineToStderr(message);
}

std::optional<QString> UnattendedGate::chooseProjectToOpen(QWidget* parent)
{
    if (!unattended_) {
        return interactive_.chooseProjectToOpen(parent);
    }
    fail(QStringLiteral("would ask for a project file"));
    return std::nullopt;
}

std::optional<QString> UnattendedGate::chooseProjectToSave(QWidget* parent, const QString& suggested)
{
    if (!unattended_) {
        return interactive_.chooseProjectToSave(parent, suggested);
    }
    fail(QStringLiteral("would ask where to save %1").arg(suggested));
    return std::nullopt;
}

void UnattendedGate::openWithDesktop(const QString& path)
{
    interactive_.openWithDesktop(path);
}

std::optional<ImportChoice> UnattendedGate::chooseImportTarget(QWidget* parent, const ImportRequest& request)
{
    if (!unattended_) {
        return interactive_.chooseImportTarget(parent, request);
    }
    fail(QStringLiteral("would ask where to import %1").arg(request.source));
    return std::nullopt;
}

Answer UnattendedGate::askOpenInUse(QWidget* parent, const QString& question)
{
    if (!unattended_) {
        return interactive_.askOpenInUse(parent, question);
    }
    return ask(parent, kProgramTitle, QString(question).replace(QLatin1Char('\n'), QLatin1Char(' ')));
}

Answer UnattendedGate::askOverwriteChanged(QWidget* parent, const QString& question)
{
    if (!unattended_) {
        return interactive_.askOverwriteChanged(parent, question);
    }
    fail(QStringLiteral("%1: not overwritten").arg(question));
    return Answer::No;
}

Answer UnattendedGate::askReloadDropsWork(QWidget* parent, const QString& question)
{
    if (!unattended_) {
        return interactive_.askReloadDropsWork(parent, question);
    }
    return Answer::Yes;
}

}  // namespace postloom
