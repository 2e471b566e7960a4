#pragma once

// The index page "ｲﾝﾃﾞｯｸｽﾍﾟｰｼﾞ": the folder and the files of the tree
// graphics, what each entry carries besides the subject, and under a tab
// control either the look of the page the program builds or its template.

#include "core/html/output_paths.h"
#include "settings_ui/gui_text.h"
#include "settings_ui/page_tabs.h"
#include "settings_ui/project_page.h"

#include <QString>

#include <array>
#include <string>
#include <string_view>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace postloom {

// The orders of subject, date and sender in an index entry, by OutPattern.
inline constexpr std::array<const char*, 6> kOutPatternLabels{
    "題名 日付 送信者", "題名 送信者 日付", "日付 題名 送信者", "日付 送信者 題名", "送信者 題名 日付", "送信者 日付 題名",
};
// Relative font sizes of date and sender; the entry's index is the value.
inline constexpr std::array<const char*, 7> kRelativeFontSizes{"-3", "-2", "-1", "0", "+1", "+2", "+3"};
// Heading levels of the title; the entry's index is TitleFontSize.
inline constexpr std::array<const char*, 6> kTitleSizeLabels{
    "最大 <H1>", "やや大きい <H2>", "大きい <H3>", "小さい <H4>", "やや小さい <H5>", "最小 <H6>",
};

// The graphics folder that the index page's check looks at.
struct GraphicFolder {
    std::string folder;  // absolute
    // Windows style: on the same drive as the index file, so that the
    // links to the graphics can be relative. Always true on Posix.
    bool sameDrive = true;
};

// imagePath as typed on the page; indexPath as the working copy holds it.
GraphicFolder ResolveGraphicFolder(std::string_view imagePath, std::string_view indexPath,
                                   std::string_view projectFolder, PathStyle style = kNativePathStyle);

// The display tab of the index page: the title heading on top of the shared rows.
class CIndexDisplayTab final : public CDisplayTab {
public:
    explicit CIndexDisplayTab(const ProjectPageContext& context, QWidget* parent = nullptr);

    QCheckBox* dispTitleCheck() const { return dispTitle_; }
    QLabel* titleSizeLabel() const { return titleSizeLabel_; }
    QComboBox* titleSizeList() const { return titleSize_; }
    // 0 left, 1 centre, 2 right.
    QRadioButton* positionButton(int position) const;

private:
    void loadOwn() override;
    void saveOwn() override;
    void enableOwn() override;

    QCheckBox* dispTitle_;
    QLabel* titleSizeLabel_;
    QComboBox* titleSize_;
    QButtonGroup* position_;
};

class CProjectPage2 final : public CProjectPage {
public:
    // The five tree graphic rows, in the order of their checks.
    enum GraphicRow { kFirst, kCont, kLast, kNext, kNull, kGraphicRowCount };

    explicit CProjectPage2(const ProjectPageContext& context, QWidget* parent = nullptr);

    // With graphics on: every graphic file exists (the first one missing is
    // reported) and the graphics folder exists or is created on request.
    bool checkOnLeave() override;
    bool takeValues() override;
    void save() override;

    QLineEdit* imagePathEdit() const { return imagePath_; }
    QPushButton* imagePathBrowse() const { return imagePathBrowse_; }
    QCheckBox* drawGraphicCheck() const { return drawGraphic_; }
    QLabel* graphicPicture(GraphicRow row) const { return graphics_.at(row).picture; }
    QLabel* graphicLabel(GraphicRow row) const { return graphics_.at(row).label; }
    QLineEdit* graphicEdit(GraphicRow row) const { return graphics_.at(row).edit; }
    QPushButton* graphicBrowse(GraphicRow row) const { return graphics_.at(row).browse; }
    QCheckBox* outDateCheck() const { return outDate_; }
    QCheckBox* outFromCheck() const { return outFrom_; }
    QComboBox* outPatternList() const { return outPattern_; }
    QComboBox* dateFontList() const { return dateFont_; }
    QComboBox* fromFontList() const { return fromFont_; }
    QTabWidget* createTypeTabs() const { return createType_; }
    CIndexDisplayTab* displayTab() const { return display_; }
    CTemplateTab* templateTab() const { return template_; }

protected:
    void load() override;

private:
    struct Graphic {
        QLabel* picture = nullptr;  // the blank piece has none
        QLabel* label = nullptr;
        QLineEdit* edit = nullptr;
        QPushButton* browse = nullptr;
        ShownText text;
    };

    void enableGraphics();
    void browseGraphic(Graphic& graphic);

    QLineEdit* imagePath_;
    QPushButton* imagePathBrowse_;
    QCheckBox* drawGraphic_;
    std::array<Graphic, kGraphicRowCount> graphics_;
    QCheckBox* outDate_;
    QCheckBox* outFrom_;
    QComboBox* outPattern_;
    QComboBox* dateFont_;
    QComboBox* fromFont_;
    QTabWidget* createType_;
    CIndexDisplayTab* display_;
    CTemplateTab* template_;
    ShownText imagePathText_;
};

}  // namespace postloom
