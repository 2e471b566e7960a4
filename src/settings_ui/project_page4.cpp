#include "settings_ui/project_page4.h"

#include "core/html/address_hiding.h"
#include "core/html/text_helpers.h"
#include "settings_ui/gui_text.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace postloom {

namespace {

// The buttons of a group, in the order of the setting's values.
QButtonGroup* RadioGroup(QWidget* page, QVBoxLayout* layout, const QString& title,
                         std::initializer_list<const char*> labels)
{
    auto* const box = new QGroupBox(title, page);
    auto* const rows = new QVBoxLayout(box);
    auto* const group = new QButtonGroup(page);
    int id = 0;
    for (const char* const label : labels) {
        auto* const button = new QRadioButton(QString::fromUtf8(label), box);
        group->addButton(button, id++);
        rows->addWidget(button);
    }
    layout->addWidget(box);
    return group;
}

// A sender without a name and a quoted line, as a page shows them.
const QString kPreviewSender = QStringLiteral("taro@example.jp");
const QString kPreviewQuote = QStringLiteral("山田 <taro@example.jp> さんは書きました:");

}  // namespace

CProjectPage4::CProjectPage4(const ProjectPageContext& context, QWidget* parent)
    : CProjectPage(context, QStringLiteral("ｻｲﾄ"), parent), preview_(new QLabel(this))
{
    auto* const layout = new QVBoxLayout(this);
    pageStyle_ = RadioGroup(this, layout, QStringLiteral(" ﾍﾟｰｼﾞの形式 "),
                            {"ｸﾗｼｯｸ (Shift_JIS、これまでの形式)", "ﾓﾀﾞﾝ (UTF-8、ｽﾏｰﾄﾌｫﾝとﾀﾞｰｸﾓｰﾄﾞに対応)"});
    hideAddresses_ = RadioGroup(this, layout, QStringLiteral(" ﾒｰﾙｱﾄﾞﾚｽ "),
                                {"すべて表示する", "一部を隠す (taro@…)", "表示しない"});

    auto* const previewBox = new QGroupBox(QStringLiteral(" ﾌﾟﾚﾋﾞｭｰ "), this);
    auto* const previewRows = new QVBoxLayout(previewBox);
    preview_->setParent(previewBox);
    preview_->setTextFormat(Qt::PlainText);
    previewRows->addWidget(preview_);
    previewRows->addWidget(new QLabel(QStringLiteral("ﾂﾘｰ表示ではｱﾄﾞﾚｽをすべて表示します"), previewBox));
    layout->addWidget(previewBox);
    layout->addStretch(1);

    for (QButtonGroup* const group : {pageStyle_, hideAddresses_})
        connect(group, &QButtonGroup::buttonClicked, this, [this] { setModified(); });
    connect(hideAddresses_, &QButtonGroup::idToggled, this, [this] { showPreview(); });
    // Filled from the start, so that the layout has room for its lines.
    showPreview();
}

QRadioButton* CProjectPage4::pageStyleButton(int style) const
{
    return static_cast<QRadioButton*>(pageStyle_->button(style));
}

QRadioButton* CProjectPage4::hideAddressesButton(int hiding) const
{
    return static_cast<QRadioButton*>(hideAddresses_->button(hiding));
}

void CProjectPage4::load()
{
    const ProjectSettings& s = settings();
    if (QAbstractButton* const button = pageStyle_->button(s.PageStyle))
        button->setChecked(true);
    if (QAbstractButton* const button = hideAddresses_->button(s.HideAddresses))
        button->setChecked(true);
    showPreview();
}

void CProjectPage4::save()
{
    ProjectSettings& s = settings();
    // A stored value that no button stands for stays as it was.
    if (pageStyle_->checkedId() >= 0)
        s.PageStyle = pageStyle_->checkedId();
    if (hideAddresses_->checkedId() >= 0)
        s.HideAddresses = hideAddresses_->checkedId();
}

void CProjectPage4::showPreview()
{
    const int checked = hideAddresses_->checkedId();
    const AddressHiding hiding = checked >= 0 ? static_cast<AddressHiding>(checked) : AddressHidingOf(settings());
    MailRecord sample;
    sample.from = ToCp932(kPreviewSender);
    const std::string sender = "<" + ShownSenderName(hiding, sample) + ">";
    const std::string quote = HideAddressesInText(ToCp932(kPreviewQuote), hiding, TextEncoding::Cp932);
    preview_->setText(QStringLiteral("送信者:  %1\n本文:  > %2").arg(FromCp932(sender), FromCp932(quote)));
}

}  // namespace postloom
