#pragma once

// The project property sheet "ﾌﾟﾛﾊﾟﾃｨ ｼｰﾄ": a modal dialog whose pages edit
// a working copy of the document's settings. Nothing reaches the document
// before the sheet has ended with OK; then handBack() copies the working
// copy back when a page reports a change.

#include "core/project/project_settings.h"
#include "settings_ui/project_page.h"
#include "settings_ui/user_prompts.h"

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

class QPushButton;
class QRect;
class QScrollArea;
class QTabWidget;

namespace postloom {

// What the document has to do after the sheet.
struct ProjectSheetHandBack {
    bool applied = false;            // the settings were taken over: mark the project modified
    bool targetPathChanged = false;  // the mail folder is another one: read mails again
};

class CProjectSheet final : public QDialog {
public:
    // The working copy starts as a copy of document's settings (never its
    // mails); projectFolder is the folder of the project file (CP932).
    CProjectSheet(const ProjectSettings& document, std::string projectFolder, UserPrompts& prompts,
                  QWidget* parent = nullptr);
    ~CProjectSheet() override;

    // What a page needs to be built for this sheet.
    ProjectPageContext pageContext();
    // Pages are shown as tabs in the order they are added; the first one is
    // on display when the sheet opens.
    void addPage(std::unique_ptr<CProjectPage> page);

    const ProjectSettings& workingCopy() const { return workingCopy_; }
    // Set when the sheet ends: whether any page is modified.
    bool changed() const { return changed_; }

    // After the sheet has ended. With OK and a change, copies the settings
    // of the working copy into document (its mails stay) and tells whether
    // TargetPath differs (byte comparison); otherwise leaves document alone.
    ProjectSheetHandBack handBack(ProjectSettings& document) const;

    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    QTabWidget* tabs() const { return tabs_; }
    // Holds the tabs; it scrolls when the screen is too small for them,
    // while OK and ｷｬﾝｾﾙ stay in view below it.
    QScrollArea* scrollArea() const { return scroll_; }

    // Makes the sheet no larger than available (a screen's free area, frame
    // included) and places it inside, centred on its parent where there is
    // room. Done by itself when the sheet is first shown.
    void fitToScreen(const QRect& available);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void pressOk();
    void pageChosen(int index);
    void showPage(int index);

    ProjectSettings workingCopy_;
    std::string projectFolder_;
    UserPrompts& prompts_;
    QScrollArea* scroll_;
    QTabWidget* tabs_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    std::vector<CProjectPage*> pages_;  // owned by tabs_
    int displayed_ = -1;                // the page the user is on
    bool changed_ = false;
    bool fitted_ = false;
};

}  // namespace postloom
