#pragma once

// The mail page "ﾒｰﾙﾍﾟｰｼﾞ": the folder of the mail pages' graphics, whether
// a linked page opens in the same browser window, and under a tab control
// either the look of the pages the program builds or their template with
// its seven insert tags. Any values are accepted: the page has no check on
// leaving.

#include "settings_ui/gui_text.h"
#include "settings_ui/page_tabs.h"
#include "settings_ui/project_page.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace postloom {

// The display tab of the mail pages: links and subject on top of the shared rows.
class CMailDisplayTab final : public CDisplayTab {
public:
    explicit CMailDisplayTab(const ProjectPageContext& context, QWidget* parent = nullptr);

    QCheckBox* dispLinkCheck() const { return dispLink_; }
    QCheckBox* dispSubjectCheck() const { return dispSubject_; }

private:
    void loadOwn() override;
    void saveOwn() override;
    void enableOwn() override {}

    QCheckBox* dispLink_;
    QCheckBox* dispSubject_;
};

class CProjectPage3 final : public CProjectPage {
public:
    explicit CProjectPage3(const ProjectPageContext& context, QWidget* parent = nullptr);

    bool takeValues() override;
    void save() override;

    QLineEdit* imagePathEdit() const { return imagePath_; }
    QPushButton* imagePathBrowse() const { return imagePathBrowse_; }
    // 0 the same window, 1 a new window.
    QRadioButton* windowTypeButton(int type) const;
    QTabWidget* createTypeTabs() const { return createType_; }
    CMailDisplayTab* displayTab() const { return display_; }
    CTemplateTab* templateTab() const { return template_; }

protected:
    void load() override;

private:

    QLineEdit* imagePath_;
    QPushButton* imagePathBrowse_;
    QButtonGroup* windowType_;
    QTabWidget* createType_;
    CMailDisplayTab* display_;
    CTemplateTab* template_;
    ShownText imagePathText_;
};

}  // namespace postloom
