#include "settings_ui/project_page3.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace postloom {

namespace {

const QString kNotANumber = QStringLiteral("整数を入力してください。");

std::vector<InsertTagRow> MailTagRows()
{
    using S = ProjectSettings;
    return {
        {QStringLiteral("本文"), &S::MailBodyInsertTag},
        {QStringLiteral("ｻﾌﾞｼﾞｪｸﾄ"), &S::MailSubjectInsertTag},
        {QStringLiteral("親へのﾘﾝｸ表示"), &S::MailParentInsertTag},
        {QStringLiteral("子へのﾘﾝｸ表示"), &S::MailChildInsertTag},
        {QStringLiteral("次へのﾘﾝｸ表示"), &S::MailNextInsertTag},
        {QStringLiteral("前へのﾘﾝｸ表示"), &S::MailPrevInsertTag},
        {QStringLiteral("Indexへのﾘﾝｸ表示"), &S::MailIndexInsertTag},
    };
}

}  // namespace

CMailDisplayTab::CMailDisplayTab(const ProjectPageContext& context, QWidget* parent)
    : CDisplayTab(context, PageKind::Mail, kNotANumber, parent),
      dispLink_(new QCheckBox(QStringLiteral("親/子/次/前/Indexへのﾘﾝｸを表示する"), this)),
      dispSubject_(new QCheckBox(QStringLiteral("ｻﾌﾞｼﾞｪｸﾄを表示する"), this))
{
    ownRows()->addWidget(dispLink_, 0, 0);
    ownRows()->addWidget(dispSubject_, 1, 0);
    countChanges(dispLink_);
    countChanges(dispSubject_);
}

void CMailDisplayTab::loadOwn()
{
    dispLink_->setChecked(settings().DispLink != 0);
    dispSubject_->setChecked(settings().DispSubject != 0);
}

void CMailDisplayTab::saveOwn()
{
    settings().DispLink = Flag(*dispLink_);
    settings().DispSubject = Flag(*dispSubject_);
}

CProjectPage3::CProjectPage3(const ProjectPageContext& context, QWidget* parent)
    : CProjectPage(context, QStringLiteral("ﾒｰﾙﾍﾟｰｼﾞ"), parent),
      imagePath_(new QLineEdit(this)),
      imagePathBrowse_(new QPushButton(QStringLiteral("参照"), this)),
      windowType_(new QButtonGroup(this)),
      createType_(new QTabWidget(this)),
      display_(new CMailDisplayTab(context)),
      template_(new CTemplateTab(context, &ProjectSettings::MailTemplateFile, MailTagRows(),
                                 QStringLiteral(" 埋め込みﾀｸﾞ ")))
{
    auto* const layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("ｸﾞﾗﾌｨｯｸﾌｧｲﾙ出力先 (指定しない場合はﾒｰﾙHTML出力先と同じﾊﾟｽ)"), this));
    auto* const imageRow = new QHBoxLayout;
    imageRow->addWidget(imagePath_, 1);
    imageRow->addWidget(imagePathBrowse_);
    layout->addLayout(imageRow);

    auto* const windowGroup = new QGroupBox(QStringLiteral(" 表示形式 "), this);
    auto* const windowRows = new QVBoxLayout(windowGroup);
    int id = 0;
    for (const char* const label : {"同じｳｨﾝﾄﾞｳ内で表示する", "別ｳｨﾝﾄﾞｳを作成して表示する"}) {
        auto* const button = new QRadioButton(QString::fromUtf8(label), windowGroup);
        windowType_->addButton(button, id++);
        windowRows->addWidget(button);
    }
    layout->addWidget(windowGroup);

    createType_->addTab(display_, QString::fromUtf8(kCreateTypeTabs[0]));
    createType_->addTab(template_, QString::fromUtf8(kCreateTypeTabs[1]));
    layout->addWidget(createType_, 1);

    connect(imagePath_, &QLineEdit::textChanged, this, [this] { setModified(); });
    connect(imagePathBrowse_, &QPushButton::clicked, this, [this] { browseFolderInto(*imagePath_); });
    // Of the window type only the click on "the same window" counts; the
    // display tab is modified anyway once the page has been shown.
    connect(windowTypeButton(0), &QRadioButton::clicked, this, [this] { setModified(); });
}

QRadioButton* CProjectPage3::windowTypeButton(int type) const
{
    return static_cast<QRadioButton*>(windowType_->button(type));
}

void CProjectPage3::load()
{
    const ProjectSettings& s = settings();
    if (QAbstractButton* const button = windowType_->button(s.MailWindowType))
        button->setChecked(true);
    imagePathText_.show(*imagePath_, s.MailImagePath);
    createType_->setCurrentIndex(s.MailCreateType);
    display_->load();
    template_->load();
}

bool CProjectPage3::takeValues()
{
    return display_->takeValues();
}

void CProjectPage3::save()
{
    ProjectSettings& s = settings();
    // A stored window type that no button stands for stays as it was.
    if (windowType_->checkedId() >= 0)
        s.MailWindowType = windowType_->checkedId();
    s.MailImagePath = imagePathText_.take(*imagePath_);
    s.MailCreateType = createType_->currentIndex();
    display_->save();
    if (display_->modified())
        setModified();
    template_->save();
    if (template_->modified())
        setModified();
}

}  // namespace postloom
