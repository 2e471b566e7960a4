#pragma once

// The folder the project file dialogs open in: the one where the user last
// chose a project, kept in the program's settings store between runs.

class QSettings;
class QString;

namespace postloom {

// The folder of the project last chosen in a file dialog; empty before the
// first choice and once that folder is gone, so the dialog uses its own.
QString LastDialogFolder(const QSettings& store);

// Keeps the folder of file, just chosen in a file dialog.
void RememberDialogFolder(QSettings& store, const QString& file);

}  // namespace postloom
