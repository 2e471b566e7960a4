#pragma once

// What the settings pages ask of the user: questions, notices and the file
// and folder dialogs. The program shows real dialogs (QtUserPrompts); tests
// answer from a script, so no modal loop ever waits for them.

#include <QString>

#include <optional>
#include <vector>

class QWidget;

namespace postloom {

enum class Answer { Yes, No };

struct FileFilter {
    QString label;     // shown exactly as given
    QString patterns;  // separated by ";"; "*.*" stands for every name
};

// An open-file dialog. The name chosen may be one that does not exist yet
// (an index file is chosen before it is written).
struct FileRequest {
    QString defaultSuffix;  // appended to a name typed without one
    QString initialFile;    // absolute path preselected in the dialog
    std::vector<FileFilter> filters;
};

class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // A question with the buttons Yes and No and the question icon.
    virtual Answer ask(QWidget* parent, const QString& caption, const QString& question) = 0;
    // A notice with an OK button.
    virtual void inform(QWidget* parent, const QString& caption, const QString& message) = 0;
    // The folder picker "ﾌｫﾙﾀﾞの選択", opened at startFolder; the chosen
    // absolute folder, nullopt on Cancel.
    virtual std::optional<QString> chooseFolder(QWidget* parent, const QString& startFolder) = 0;
    // The chosen absolute path, nullopt on Cancel.
    virtual std::optional<QString> chooseFile(QWidget* parent, const FileRequest& request) = 0;
};

}  // namespace postloom
