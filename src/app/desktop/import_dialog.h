#pragma once

// The dialog "ｲﾝﾎﾟｰﾄ" after the source is chosen: the mail folder the mails
// go to, which may be a folder that does not exist yet (it is made with its
// parents), and for an mbox how its "From " lines are quoted.

#include "core/import/mail_import.h"
#include "settings_ui/user_prompts.h"

#include <QDialog>
#include <QString>

#include <optional>

class QDialogButtonBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace postloom {

struct ImportRequest {
    QString source;  // absolute path of the mbox file or the folder
    bool mbox = false;
};

struct ImportChoice {
    QString folder;  // absolute
    MboxVariant mboxVariant = MboxVariant::Mboxrd;
};

class CImportDialog final : public QDialog {
    Q_OBJECT

public:
    // prompts serves the folder picker and the question about a new folder.
    CImportDialog(QWidget* parent, const ImportRequest& request, UserPrompts& prompts);

    // The folder offered first: beside the source, named after it.
    static QString SuggestedFolder(const QString& source);

    // What was chosen; a relative folder counts from the source's folder.
    ImportChoice choice() const;

    QLineEdit* folderEdit() const { return folderEdit_; }
    QPushButton* browseButton() const { return browse_; }
    QRadioButton* mboxrdButton() const { return mboxrd_; }
    QRadioButton* mboxoButton() const { return mboxo_; }
    QPushButton* okButton() const;

    // OK: a folder that does not exist is made only when the user agrees.
    void accept() override;

private:
    void browse();
    void updateOk();

    ImportRequest request_;
    UserPrompts& prompts_;
    QLineEdit* folderEdit_ = nullptr;
    QPushButton* browse_ = nullptr;
    QRadioButton* mboxrd_ = nullptr;
    QRadioButton* mboxo_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace postloom
