#pragma once

// The two tabs that the index page and the mail page both carry under their
// tab control: the display tab (how the program builds the page) and the
// template tab (the template file and its insert tags), and the file
// dialogs the two pages open.

#include "core/project/project_settings.h"
#include "settings_ui/gui_text.h"
#include "settings_ui/project_page.h"
#include "settings_ui/user_prompts.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace postloom {

// Which page's settings a dialog edits.
enum class PageKind { Index, Mail };

// The two tabs of both pages' tab controls; the index is the create type.
inline constexpr std::array<const char*, 2> kCreateTypeTabs{"PostLOOMで作成", "ﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙを使用する"};

// Caption of the notices that name no caption of their own.
inline const QString kApplicationName = QStringLiteral("Postloom");

// The open-file dialogs of the settings pages, started at initialFile.
FileRequest ImageFileRequest(const QString& initialFile);
FileRequest TemplateFileRequest(const QString& initialFile);
FileRequest IncludeFileRequest(const QString& initialFile);

// A settings path as the file dialogs start at it: resolved against the
// project folder.
QString ResolvedForDialog(const std::string& projectFolder, const QString& path);

std::int32_t Flag(const QCheckBox& box);
// The selected entry of list; the stored value when none is selected (a
// value no entry stands for stays as it was).
std::int32_t SelectedOr(const QComboBox& list, std::int32_t stored);

// The parts both display tabs share: the base font size, the background
// image and the button that opens the appearance details. Each page's tab
// puts its own rows above them.
class CDisplayTab : public QWidget {
public:
    bool modified() const { return modified_; }

    // Fills the controls from the working copy. Filling the number field
    // counts as a change, so a tab that has been shown is modified.
    void load();
    // False when the number field holds no number: the user has been told
    // and the focus is on the field. (The field puts its last number back
    // when it is hidden, so a field without one is always on display.)
    bool takeValues();
    void save();

    QCheckBox* baseFontCheck() const { return baseFont_; }
    QSpinBox* baseFontSizeField() const { return baseFontSize_; }
    QCheckBox* backGroundCheck() const { return backGround_; }
    QLineEdit* backGroundFileEdit() const { return backGroundFile_; }
    QPushButton* backGroundBrowse() const { return backGroundBrowse_; }
    QPushButton* detailsButton() const { return details_; }

protected:
    // numberMessage: what the user is told when the number field is empty.
    CDisplayTab(const ProjectPageContext& context, PageKind kind, QString numberMessage, QWidget* parent);

    virtual void loadOwn() = 0;
    virtual void saveOwn() = 0;
    // Enables the tab's own controls after their check boxes.
    virtual void enableOwn() = 0;

    // Where the tab's own rows go, above the shared ones.
    QGridLayout* ownRows() const { return ownRows_; }
    ProjectSettings& settings() const { return context_.settings; }
    void setModified() { modified_ = true; }
    // A change of a control counts as an edit; so does a click.
    void countChanges(QCheckBox* box);

private:
    void enable();
    void browseBackGround();
    void openDetails();

    ProjectPageContext context_;
    PageKind kind_;
    QString numberMessage_;
    QGridLayout* ownRows_;
    QCheckBox* baseFont_;
    QSpinBox* baseFontSize_;
    QCheckBox* backGround_;
    QLineEdit* backGroundFile_;
    QPushButton* backGroundBrowse_;
    QPushButton* details_;
    ShownText backGroundFileText_;
    bool modified_ = false;
};

// One insert tag of a template tab.
struct InsertTagRow {
    QString label;
    std::string ProjectSettings::*tag;
};

// The template file and the insert tags, each tag shown read-only and
// changed through the tag editor.
class CTemplateTab final : public QWidget {
public:
    // groupTitle: the frame around the tag rows; none when empty.
    CTemplateTab(const ProjectPageContext& context, std::string ProjectSettings::*templateFile,
                 std::vector<InsertTagRow> rows, const QString& groupTitle, QWidget* parent = nullptr);

    bool modified() const { return modified_; }
    void load();
    void save();

    QLineEdit* templateFileEdit() const { return templateFile_; }
    QPushButton* templateBrowse() const { return templateBrowse_; }
    QLineEdit* tagField(std::size_t row) const { return tags_.at(row).field; }
    QPushButton* changeButton(std::size_t row) const { return tags_.at(row).change; }
    // The tag bytes the tab holds for row.
    const std::string& tag(std::size_t row) const { return tags_.at(row).bytes; }

private:
    struct Tag {
        InsertTagRow row;
        QLineEdit* field;
        QPushButton* change;
        std::string bytes;
    };

    void browseTemplate();
    void changeTag(Tag& tag);

    ProjectPageContext context_;
    std::string ProjectSettings::*templateFileKey_;
    QLineEdit* templateFile_;
    QPushButton* templateBrowse_;
    std::vector<Tag> tags_;
    ShownText templateFileText_;
    bool modified_ = false;
};

}  // namespace postloom
