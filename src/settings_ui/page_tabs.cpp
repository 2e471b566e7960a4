#include "settings_ui/page_tabs.h"

#include "core/html/output_paths.h"
#include "settings_ui/appearance_dialog.h"
#include "settings_ui/number_field.h"
#include "settings_ui/tag_edit_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <utility>

namespace postloom {

namespace {

const FileFilter kEveryFile{QStringLiteral("すべてのﾌｧｲﾙ(*.*)"), QStringLiteral("*.*")};

constexpr int kBaseFontSizeMin = 1;
constexpr int kBaseFontSizeMax = 7;

// The settings behind the shared rows of a display tab.
struct DisplayKeys {
    std::int32_t ProjectSettings::*baseFont;
    std::int32_t ProjectSettings::*baseFontSize;
    std::int32_t ProjectSettings::*backGround;
    std::string ProjectSettings::*backGroundFile;
};

DisplayKeys KeysOf(PageKind kind)
{
    using S = ProjectSettings;
    if (kind == PageKind::Index)
        return {&S::IndexBaseFont, &S::IndexBaseFontSize, &S::IndexBackGround, &S::IndexBackGroundFile};
    return {&S::MailBaseFont, &S::MailBaseFontSize, &S::MailBackGround, &S::MailBackGroundFile};
}

}  // namespace

FileRequest ImageFileRequest(const QString& initialFile)
{
    return FileRequest{
        .defaultSuffix = QStringLiteral("gif"),
        .initialFile = initialFile,
        .filters = {{QStringLiteral("ｸﾞﾗﾌｨｯｸﾌｧｲﾙ(*.gif;*.jpg)"), QStringLiteral("*.gif;*.jpg")}, kEveryFile},
    };
}

FileRequest TemplateFileRequest(const QString& initialFile)
{
    return FileRequest{
        .defaultSuffix = QStringLiteral("html"),
        .initialFile = initialFile,
        .filters = {{QStringLiteral("HTMLﾌｧｲﾙ(*.html;*.htm)"), QStringLiteral("*.html;*.htm")}, kEveryFile},
    };
}

FileRequest IncludeFileRequest(const QString& initialFile)
{
    return FileRequest{
        .defaultSuffix = QStringLiteral("html"),
        .initialFile = initialFile,
        .filters = {{QStringLiteral("HTMLﾌｧｲﾙ(*.html;*.htm)"), QStringLiteral("*.html;*.htm")},
                    {QStringLiteral("ﾃｷｽﾄﾌｧｲﾙ(*.txt)"), QStringLiteral("*.txt")},
                    kEveryFile},
    };
}

QString ResolvedForDialog(const std::string& projectFolder, const QString& path)
{
    return FromCp932(FullPath(ToCp932(path), projectFolder, kNativePathStyle));
}

std::int32_t Flag(const QCheckBox& box)
{
    return box.isChecked() ? 1 : 0;
}

std::int32_t SelectedOr(const QComboBox& list, std::int32_t stored)
{
    return list.currentIndex() < 0 ? stored : list.currentIndex();
}

CDisplayTab::CDisplayTab(const ProjectPageContext& context, PageKind kind, QString numberMessage, QWidget* parent)
    : QWidget(parent),
      context_(context),
      kind_(kind),
      numberMessage_(std::move(numberMessage)),
      ownRows_(new QGridLayout),
      baseFont_(new QCheckBox(QStringLiteral("ﾃﾞﾌｫﾙﾄのﾌｫﾝﾄｻｲｽﾞを指定する"), this)),
      baseFontSize_(new CNumberField(kBaseFontSizeMin, kBaseFontSizeMax, this)),
      backGround_(new QCheckBox(QStringLiteral("背景ｲﾒｰｼﾞ"), this)),
      backGroundFile_(new QLineEdit(this)),
      backGroundBrowse_(new QPushButton(QStringLiteral("参照"), this)),
      details_(new QPushButton(QStringLiteral("詳細設定"), this))
{
    auto* const sizeRow = new QHBoxLayout;
    sizeRow->addWidget(baseFontSize_);
    sizeRow->addStretch();
    auto* const shared = new QGridLayout;
    shared->addWidget(baseFont_, 0, 0);
    shared->addLayout(sizeRow, 0, 1);
    shared->addWidget(backGround_, 1, 0);
    shared->addWidget(backGroundFile_, 1, 1);
    shared->addWidget(backGroundBrowse_, 1, 2);
    shared->setColumnStretch(1, 1);
    auto* const detailsRow = new QHBoxLayout;
    detailsRow->addStretch();
    detailsRow->addWidget(details_);
    auto* const layout = new QVBoxLayout(this);
    layout->addLayout(ownRows_);
    layout->addLayout(shared);
    layout->addStretch();
    layout->addLayout(detailsRow);

    countChanges(baseFont_);
    countChanges(backGround_);
    connect(baseFontSize_, &QSpinBox::textChanged, this, [this] { setModified(); });
    connect(backGroundFile_, &QLineEdit::textChanged, this, [this] { setModified(); });
    connect(backGroundBrowse_, &QPushButton::clicked, this, &CDisplayTab::browseBackGround);
    connect(details_, &QPushButton::clicked, this, &CDisplayTab::openDetails);
}

void CDisplayTab::countChanges(QCheckBox* box)
{
    connect(box, &QCheckBox::clicked, this, [this] {
        setModified();
        enable();
    });
}

void CDisplayTab::load()
{
    const ProjectSettings& s = settings();
    const DisplayKeys keys = KeysOf(kind_);
    baseFont_->setChecked(s.*keys.baseFont != 0);
    baseFontSize_->setValue(s.*keys.baseFontSize);
    backGround_->setChecked(s.*keys.backGround != 0);
    backGroundFileText_.show(*backGroundFile_, s.*keys.backGroundFile);
    loadOwn();
    enable();
    // The fill of the number field is a change of it, whatever it shows.
    setModified();
}

bool CDisplayTab::takeValues()
{
    if (baseFontSize_->hasAcceptableInput())
        return true;
    context_.prompts.inform(this, kApplicationName, numberMessage_);
    baseFontSize_->setFocus();
    return false;
}

void CDisplayTab::save()
{
    ProjectSettings& s = settings();
    const DisplayKeys keys = KeysOf(kind_);
    saveOwn();
    s.*keys.baseFont = Flag(*baseFont_);
    s.*keys.baseFontSize = baseFontSize_->value();
    s.*keys.backGround = Flag(*backGround_);
    s.*keys.backGroundFile = backGroundFileText_.take(*backGroundFile_);
}

void CDisplayTab::enable()
{
    baseFontSize_->setEnabled(baseFont_->isChecked());
    backGroundFile_->setEnabled(backGround_->isChecked());
    backGroundBrowse_->setEnabled(backGround_->isChecked());
    enableOwn();
}

void CDisplayTab::browseBackGround()
{
    const QString initialFile = ResolvedForDialog(context_.projectFolder, backGroundFile_->text());
    const std::optional<QString> file = context_.prompts.chooseFile(this, ImageFileRequest(initialFile));
    if (!file)
        return;
    backGroundFile_->setText(QDir::toNativeSeparators(*file));
    setModified();
}

void CDisplayTab::openDetails()
{
    CAppearanceDialog details(context_, kind_, ChooseColourWithQt, this);
    // The dialog writes into the working copy itself; having filled its
    // fields, it always counts as a change.
    if (details.exec() == QDialog::Accepted)
        setModified();
}

CTemplateTab::CTemplateTab(const ProjectPageContext& context, std::string ProjectSettings::*templateFile,
                           std::vector<InsertTagRow> rows, const QString& groupTitle, QWidget* parent)
    : QWidget(parent),
      context_(context),
      templateFileKey_(templateFile),
      templateFile_(new QLineEdit(this)),
      templateBrowse_(new QPushButton(QStringLiteral("参照"), this))
{
    auto* const layout = new QVBoxLayout(this);
    auto* const fileRow = new QGridLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("ﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙ名"), this), 0, 0);
    fileRow->addWidget(templateFile_, 0, 1);
    fileRow->addWidget(templateBrowse_, 0, 2);
    fileRow->setColumnStretch(1, 1);
    layout->addLayout(fileRow);

    QWidget* tagParent = this;
    QGridLayout* tagGrid = nullptr;
    if (groupTitle.isEmpty()) {
        tagGrid = new QGridLayout;
        layout->addLayout(tagGrid);
    } else {
        auto* const group = new QGroupBox(groupTitle, this);
        tagGrid = new QGridLayout(group);
        layout->addWidget(group);
        tagParent = group;
    }
    tagGrid->setColumnStretch(1, 1);
    layout->addStretch();

    tags_.reserve(rows.size());
    for (InsertTagRow& row : rows) {
        auto* const field = new QLineEdit(tagParent);
        field->setReadOnly(true);
        auto* const change = new QPushButton(QStringLiteral("変更"), tagParent);
        const int r = static_cast<int>(tags_.size());
        tagGrid->addWidget(new QLabel(row.label, tagParent), r, 0);
        tagGrid->addWidget(field, r, 1);
        tagGrid->addWidget(change, r, 2);
        tags_.push_back(Tag{std::move(row), field, change, {}});
    }
    // The rows are all in place: their addresses no longer move.
    for (Tag& tag : tags_)
        connect(tag.change, &QPushButton::clicked, this, [this, &tag] { changeTag(tag); });

    connect(templateFile_, &QLineEdit::textChanged, this, [this] { modified_ = true; });
    connect(templateBrowse_, &QPushButton::clicked, this, &CTemplateTab::browseTemplate);
}

void CTemplateTab::load()
{
    const ProjectSettings& s = context_.settings;
    templateFileText_.show(*templateFile_, s.*templateFileKey_);
    for (Tag& tag : tags_) {
        tag.bytes = s.*tag.row.tag;
        tag.field->setText(FromCp932(tag.bytes));
    }
}

void CTemplateTab::save()
{
    ProjectSettings& s = context_.settings;
    s.*templateFileKey_ = templateFileText_.take(*templateFile_);
    for (const Tag& tag : tags_)
        s.*tag.row.tag = tag.bytes;
}

void CTemplateTab::browseTemplate()
{
    const QString initialFile = ResolvedForDialog(context_.projectFolder, templateFile_->text());
    const std::optional<QString> file = context_.prompts.chooseFile(this, TemplateFileRequest(initialFile));
    if (!file)
        return;
    templateFile_->setText(QDir::toNativeSeparators(*file));
    modified_ = true;
}

void CTemplateTab::changeTag(Tag& tag)
{
    std::optional<std::string> changed = EditInsertTag(this, tag.bytes);
    if (!changed)
        return;
    tag.bytes = std::move(*changed);
    tag.field->setText(FromCp932(tag.bytes));
}

}  // namespace postloom
