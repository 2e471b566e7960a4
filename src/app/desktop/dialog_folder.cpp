#include "app/desktop/dialog_folder.h"

#include <QFileInfo>
#include <QSettings>
#include <QString>

namespace postloom {

namespace {

const QString kFolderKey = QStringLiteral("FileDialog/LastFolder");

}  // namespace

QString LastDialogFolder(const QSettings& store)
{
    const QString folder = store.value(kFolderKey).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void RememberDialogFolder(QSettings& store, const QString& file)
{
    if (!file.isEmpty()) {
        store.setValue(kFolderKey, QFileInfo(file).absolutePath());
    }
}

}  // namespace postloom
