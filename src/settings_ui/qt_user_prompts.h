#pragma once

#include "settings_ui/user_prompts.h"

namespace postloom {

// The prompts as the program shows them: QMessageBox and QFileDialog.
class QtUserPrompts final : public UserPrompts {
public:
    Answer ask(QWidget* parent, const QString& caption, const QString& question) override;
    void inform(QWidget* parent, const QString& caption, const QString& message) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& startFolder) override;
    std::optional<QString> chooseFile(QWidget* parent, const FileRequest& request) override;
};

// The name filter QFileDialog needs for filter: the label as given, and
// the patterns, separated by blanks, in the parentheses that the dialog
// reads them from and hides.
QString QtNameFilter(const FileFilter& filter);

}  // namespace postloom
