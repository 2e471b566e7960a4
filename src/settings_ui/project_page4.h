#pragma once

// The site page "ｻｲﾄ": what holds for every page of the site, index and
// mails alike: the page style and how mail addresses are shown, with a
// preview of a sender and a quoted line as the pages will show them. Any
// values are accepted: the page has no check on leaving.

#include "settings_ui/project_page.h"

class QButtonGroup;
class QLabel;
class QRadioButton;

namespace postloom {

class CProjectPage4 final : public CProjectPage {
public:
    explicit CProjectPage4(const ProjectPageContext& context, QWidget* parent = nullptr);

    void save() override;

    // 0 classic, 1 modern.
    QRadioButton* pageStyleButton(int style) const;
    // 0 shown, 1 masked, 2 removed.
    QRadioButton* hideAddressesButton(int hiding) const;
    QLabel* preview() const { return preview_; }

protected:
    void load() override;

private:
    void showPreview();

    QButtonGroup* pageStyle_;
    QButtonGroup* hideAddresses_;
    QLabel* preview_;
};

}  // namespace postloom
