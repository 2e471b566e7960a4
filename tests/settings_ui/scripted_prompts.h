#pragma once

// Prompts answered from a script: the test queues the answers and the
// dialog results, then reads back what was asked and shown.

#include "settings_ui/user_prompts.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

namespace postloom::test {

struct Shown {
    QString caption;
    QString text;
};

class ScriptedPrompts final : public UserPrompts {
public:
    // A question, notice or dialog that the script did not provide for fails
    // the running test.
    std::deque<Answer> answers;
    // What the folder picker and the file dialog return in turn; an empty
    // text stands for Cancel.
    std::deque<QString> chosenFolders;
    std::deque<QString> chosenFiles;

    std::vector<Shown> questions;
    std::vector<Shown> notices;
    QStringList folderStarts;
    std::vector<FileRequest> fileRequests;

    Answer ask(QWidget* parent, const QString& caption, const QString& question) override;
    void inform(QWidget* parent, const QString& caption, const QString& message) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& startFolder) override;
    std::optional<QString> chooseFile(QWidget* parent, const FileRequest& request) override;
};

}  // namespace postloom::test
