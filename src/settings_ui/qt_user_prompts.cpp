#include "settings_ui/qt_user_prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace postloom {

Answer QtUserPrompts::ask(QWidget* parent, const QString& caption, const QString& question)
{
    QMessageBox box(QMessageBox::Question, caption, question, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

void QtUserPrompts::inform(QWidget* parent, const QString& caption, const QString& message)
{
    QMessageBox box(QMessageBox::NoIcon, caption, message, QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> QtUserPrompts::chooseFolder(QWidget* parent, const QString& startFolder)
{
    const QString folder = QFileDialog::getExistingDirectory(parent, QStringLiteral("ﾌｫﾙﾀﾞの選択"), startFolder);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

std::optional<QString> QtUserPrompts::chooseFile(QWidget* parent, const FileRequest& request)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Qt's own dialog, because only it shows the filter labels exactly as
    // given, without the pattern list behind them.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDefaultSuffix(request.defaultSuffix);
    QStringList filters;
    for (const FileFilter& filter : request.filters)
        filters.append(QtNameFilter(filter));
    dialog.setNameFilters(filters);
    dialog.selectFile(request.initialFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

QString QtNameFilter(const FileFilter& filter)
{
    QStringList patterns = filter.patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    // Qt's "*.*" wants a dot in the name; the filter means every file.
    for (QString& pattern : patterns) {
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
    }
    return filter.label + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace postloom
