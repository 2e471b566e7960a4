#include "settings_ui/project_page2.h"

#include "core/platform/file_system.h"
#include "settings_ui/folder_checks.h"
#include "settings_ui/tree_samples.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cctype>
#include <optional>

namespace postloom {

namespace {

struct GraphicDefinition {
    const char* label;
    std::string ProjectSettings::*key;
    std::optional<TreeSample> sample;
    const char* missing;  // told when the file does not exist
};

const std::array<GraphicDefinition, CProjectPage2::kGraphicRowCount> kGraphics{{
    {"最初のﾂﾘｰ", &ProjectSettings::FirstTree, TreeSample::First, "最初のﾂﾘｰ用のｸﾞﾗﾌｨｯｸﾌｧｲﾙは存在しません"},
    {"中間のﾂﾘｰ", &ProjectSettings::ContTree, TreeSample::Middle, "中間のﾂﾘｰ用のｸﾞﾗﾌｨｯｸﾌｧｲﾙは存在しません"},
    {"最後のﾂﾘｰ", &ProjectSettings::LastTree, TreeSample::Last, "最後のﾂﾘｰ用のｸﾞﾗﾌｨｯｸﾌｧｲﾙは存在しません"},
    {"次へのﾂﾘｰ", &ProjectSettings::NextTree, TreeSample::LeadingOn, "次へのﾂﾘｰ用のｸﾞﾗﾌｨｯｸﾌｧｲﾙは存在しません"},
    {"空白", &ProjectSettings::NullTree, std::nullopt, "空白用のｸﾞﾗﾌｨｯｸﾌｧｲﾙは存在しません"},
}};

const QString kCreateCaption = QStringLiteral("ﾊﾟｽ作成確認");
const QString kGraphicFolderQuestion = QStringLiteral("ｸﾞﾗﾌｨｯｸﾌｧｲﾙのｺﾋﾟｰ先のﾊﾟｽは存在しません\n作成しますか");
const QString kDifferentDrives =
    QStringLiteral("ｲﾝﾃﾞｯｸｽHTMLﾌｧｲﾙを作成するﾊﾟｽとｸﾞﾗﾌｨｯｸﾌｧｲﾙのｺﾋﾟｰ先のﾊﾟｽが同じﾄﾞﾗｲﾌﾞではありません");
const QString kCannotCreate = QStringLiteral("ﾊﾟｽを作成できませんでした\n%1\n%2");
const QString kNotAPositiveNumber = QStringLiteral("正の整数を入力してください。");

template <std::size_t N>
void Fill(QComboBox& list, const std::array<const char*, N>& labels)
{
    for (const char* const label : labels)
        list.addItem(QString::fromUtf8(label));
}

char DriveOf(const std::string& path)
{
    return path.empty() ? '\0' : static_cast<char>(std::toupper(static_cast<unsigned char>(path.front())));
}

}  // namespace

GraphicFolder ResolveGraphicFolder(std::string_view imagePath, std::string_view indexPath,
                                   std::string_view projectFolder, PathStyle style)
{
    GraphicFolder result{.folder = FullPath(imagePath, projectFolder, style)};
    if (style == PathStyle::Windows)
        result.sameDrive = DriveOf(result.folder) == DriveOf(FullPath(indexPath, projectFolder, style));
    return result;
}

CIndexDisplayTab::CIndexDisplayTab(const ProjectPageContext& context, QWidget* parent)
    : CDisplayTab(context, PageKind::Index, kNotAPositiveNumber, parent),
      dispTitle_(new QCheckBox(QStringLiteral("ﾀｲﾄﾙを表示する"), this)),
      titleSizeLabel_(new QLabel(QStringLiteral("文字ｻｲｽﾞ"), this)),
      titleSize_(new QComboBox(this)),
      position_(new QButtonGroup(this))
{
    Fill(*titleSize_, kTitleSizeLabels);
    auto* const positions = new QHBoxLayout;
    int id = 0;
    for (const char* const label : {"左寄せ", "中央", "右寄せ"}) {
        auto* const button = new QRadioButton(QString::fromUtf8(label), this);
        position_->addButton(button, id++);
        positions->addWidget(button);
    }
    positions->addStretch();

    QGridLayout* const rows = ownRows();
    rows->addWidget(dispTitle_, 0, 0, 1, 3);
    rows->addWidget(titleSizeLabel_, 1, 0);
    rows->addWidget(titleSize_, 1, 1);
    rows->addLayout(positions, 2, 0, 1, 3);
    rows->setColumnStretch(2, 1);

    countChanges(dispTitle_);
    connect(titleSize_, &QComboBox::activated, this, [this] { setModified(); });
    connect(position_, &QButtonGroup::idClicked, this, [this] { setModified(); });
}

QRadioButton* CIndexDisplayTab::positionButton(int position) const
{
    return static_cast<QRadioButton*>(position_->button(position));
}

void CIndexDisplayTab::loadOwn()
{
    const ProjectSettings& s = settings();
    dispTitle_->setChecked(s.DispIndexTitle != 0);
    titleSize_->setCurrentIndex(s.TitleFontSize);
    if (QAbstractButton* const button = position_->button(s.TitlePosition))
        button->setChecked(true);
}

void CIndexDisplayTab::saveOwn()
{
    ProjectSettings& s = settings();
    s.DispIndexTitle = Flag(*dispTitle_);
    s.TitleFontSize = SelectedOr(*titleSize_, s.TitleFontSize);
    // A stored alignment that no button stands for stays as it was.
    if (position_->checkedId() >= 0)
        s.TitlePosition = position_->checkedId();
}

void CIndexDisplayTab::enableOwn()
{
    const bool on = dispTitle_->isChecked();
    titleSizeLabel_->setEnabled(on);
    titleSize_->setEnabled(on);
    for (QAbstractButton* const button : position_->buttons())
        button->setEnabled(on);
}

CProjectPage2::CProjectPage2(const ProjectPageContext& context, QWidget* parent)
    : CProjectPage(context, QStringLiteral("ｲﾝﾃﾞｯｸｽﾍﾟｰｼﾞ"), parent),
      imagePath_(new QLineEdit(this)),
      imagePathBrowse_(new QPushButton(QStringLiteral("参照"), this)),
      drawGraphic_(new QCheckBox(QStringLiteral("ﾂﾘｰをｸﾞﾗﾌｨｯｸで描く"), this)),
      outDate_(new QCheckBox(QStringLiteral("日付を付加する"), this)),
      outFrom_(new QCheckBox(QStringLiteral("送信者を付加する"), this)),
      outPattern_(new QComboBox(this)),
      dateFont_(new QComboBox(this)),
      fromFont_(new QComboBox(this)),
      createType_(new QTabWidget(this)),
      display_(new CIndexDisplayTab(context)),
      template_(new CTemplateTab(context, &ProjectSettings::IndexTemplateFile,
                                 {{QStringLiteral("本文埋め込み先ﾀｸﾞ"), &ProjectSettings::IndexInsertTag}}, QString()))
{
    auto* const layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("ｸﾞﾗﾌｨｯｸﾌｧｲﾙ出力先 (指定しない場合はｲﾝﾃﾞｯｸｽHTMLﾌｧｲﾙと同じﾊﾟｽ)"), this));
    auto* const imageRow = new QHBoxLayout;
    imageRow->addWidget(imagePath_, 1);
    imageRow->addWidget(imagePathBrowse_);
    layout->addLayout(imageRow);
    layout->addWidget(drawGraphic_);

    auto* const graphicGrid = new QGridLayout;
    for (std::size_t i = 0; i < kGraphics.size(); ++i) {
        Graphic& graphic = graphics_[i];
        const int r = static_cast<int>(i);
        if (kGraphics[i].sample) {
            graphic.picture = new QLabel(this);
            graphic.picture->setPixmap(TreeSamplePicture(*kGraphics[i].sample));
            graphic.picture->setFixedSize(kTreeSampleSize, kTreeSampleSize);
            graphicGrid->addWidget(graphic.picture, r, 0);
        }
        graphic.label = new QLabel(QString::fromUtf8(kGraphics[i].label), this);
        graphic.edit = new QLineEdit(this);
        graphic.browse = new QPushButton(QStringLiteral("参照"), this);
        graphicGrid->addWidget(graphic.label, r, 1);
        graphicGrid->addWidget(graphic.edit, r, 2);
        graphicGrid->addWidget(graphic.browse, r, 3);
        graphicGrid->setRowMinimumHeight(r, kTreeSampleSize);
        connect(graphic.edit, &QLineEdit::textChanged, this, [this] { setModified(); });
        connect(graphic.browse, &QPushButton::clicked, this, [this, &graphic] { browseGraphic(graphic); });
    }
    graphicGrid->setColumnMinimumWidth(0, kTreeSampleSize);
    graphicGrid->setColumnStretch(2, 1);
    graphicGrid->setVerticalSpacing(0);
    layout->addLayout(graphicGrid);

    Fill(*outPattern_, kOutPatternLabels);
    Fill(*dateFont_, kRelativeFontSizes);
    Fill(*fromFont_, kRelativeFontSizes);
    auto* const extras = new QGroupBox(QStringLiteral("付加情報"), this);
    auto* const extraGrid = new QGridLayout(extras);
    extraGrid->addWidget(outDate_, 0, 0);
    extraGrid->addWidget(new QLabel(QStringLiteral("文字ｻｲｽﾞ"), extras), 0, 1);
    extraGrid->addWidget(dateFont_, 0, 2);
    extraGrid->addWidget(outFrom_, 1, 0);
    extraGrid->addWidget(new QLabel(QStringLiteral("文字ｻｲｽﾞ"), extras), 1, 1);
    extraGrid->addWidget(fromFont_, 1, 2);
    extraGrid->addWidget(new QLabel(QStringLiteral("ﾊﾟﾀｰﾝ"), extras), 2, 0);
    extraGrid->addWidget(outPattern_, 2, 1, 1, 2);
    extraGrid->setColumnStretch(3, 1);
    layout->addWidget(extras);

    createType_->addTab(display_, QString::fromUtf8(kCreateTypeTabs[0]));
    createType_->addTab(template_, QString::fromUtf8(kCreateTypeTabs[1]));
    layout->addWidget(createType_, 1);

    connect(imagePath_, &QLineEdit::textChanged, this, [this] { setModified(); });
    connect(imagePathBrowse_, &QPushButton::clicked, this, [this] { browseFolderInto(*imagePath_); });
    connect(drawGraphic_, &QCheckBox::clicked, this, [this] {
        setModified();
        enableGraphics();
    });
    connect(createType_, &QTabWidget::currentChanged, this, [this] { setModified(); });
}

void CProjectPage2::load()
{
    const ProjectSettings& s = settings();
    imagePathText_.show(*imagePath_, s.IndexImagePath);
    drawGraphic_->setChecked(s.DrawGraphic != 0);
    for (std::size_t i = 0; i < kGraphics.size(); ++i)
        graphics_[i].text.show(*graphics_[i].edit, s.*kGraphics[i].key);
    outDate_->setChecked(s.OutDate != 0);
    outFrom_->setChecked(s.OutFrom != 0);
    outPattern_->setCurrentIndex(s.OutPattern);
    dateFont_->setCurrentIndex(s.DateFont);
    fromFont_->setCurrentIndex(s.FromFont);
    enableGraphics();
    {
        // Showing the stored choice is not a change of the tab.
        const QSignalBlocker blocker(createType_);
        createType_->setCurrentIndex(s.IndexCreateType);
    }
    display_->load();
    template_->load();
}

void CProjectPage2::enableGraphics()
{
    const bool on = drawGraphic_->isChecked();
    for (Graphic& graphic : graphics_) {
        if (graphic.picture)
            graphic.picture->setEnabled(on);
        graphic.label->setEnabled(on);
        graphic.edit->setEnabled(on);
        graphic.browse->setEnabled(on);
    }
}

bool CProjectPage2::checkOnLeave()
{
    if (!drawGraphic_->isChecked())
        return true;
    for (std::size_t i = 0; i < kGraphics.size(); ++i) {
        Graphic& graphic = graphics_[i];
        // An empty name is missing too: the tree cannot be drawn without
        // every piece.
        const std::string file = FullPath(graphic.text.take(*graphic.edit), projectFolder(), kNativePathStyle);
        if (!platform::IsRegularFile(file)) {
            prompts().inform(this, kApplicationName, QString::fromUtf8(kGraphics[i].missing));
            graphic.edit->setFocus();
            return false;
        }
    }

    const std::string imagePath = imagePathText_.take(*imagePath_);
    if (imagePath.empty())
        return true;
    const GraphicFolder folder = ResolveGraphicFolder(imagePath, settings().IndexPath, projectFolder());
    if (!folder.sameDrive) {
        prompts().inform(this, QString(), kDifferentDrives);
        imagePath_->setFocus();
        return false;
    }
    if (platform::IsDirectory(folder.folder))
        return true;
    if (prompts().ask(this, kCreateCaption, kGraphicFolderQuestion) == Answer::No) {
        imagePath_->setFocus();
        return false;
    }
    if (const std::optional<QString> reason = CreateFolderGivingReason(folder.folder)) {
        prompts().inform(this, QString(), kCannotCreate.arg(FromCp932(folder.folder), *reason));
        imagePath_->setFocus();
        return false;
    }
    return true;
}

bool CProjectPage2::takeValues()
{
    return display_->takeValues();
}

void CProjectPage2::save()
{
    ProjectSettings& s = settings();
    s.IndexImagePath = imagePathText_.take(*imagePath_);
    s.DrawGraphic = Flag(*drawGraphic_);
    for (std::size_t i = 0; i < kGraphics.size(); ++i)
        s.*kGraphics[i].key = graphics_[i].text.take(*graphics_[i].edit);
    s.OutDate = Flag(*outDate_);
    s.OutFrom = Flag(*outFrom_);
    s.OutPattern = SelectedOr(*outPattern_, s.OutPattern);
    s.DateFont = SelectedOr(*dateFont_, s.DateFont);
    s.FromFont = SelectedOr(*fromFont_, s.FromFont);
    s.IndexCreateType = createType_->currentIndex();
    display_->save();
    if (display_->modified())
        setModified();
    template_->save();
    if (template_->modified())
        setModified();
}

void CProjectPage2::browseGraphic(Graphic& graphic)
{
    const std::optional<QString> file = prompts().chooseFile(
        this, ImageFileRequest(ResolvedForDialog(projectFolder(), graphic.edit->text())));
    if (!file)
        return;
    graphic.edit->setText(QDir::toNativeSeparators(*file));
    setModified();
}

}  // namespace postloom
