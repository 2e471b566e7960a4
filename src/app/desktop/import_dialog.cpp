#include "app/desktop/import_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace postloom {

namespace {

const QString kCaption = QStringLiteral("ｲﾝﾎﾟｰﾄ");

}  // namespace

CImportDialog::CImportDialog(QWidget* parent, const ImportRequest& request, UserPrompts& prompts)
    : QDialog(parent), request_(request), prompts_(prompts)
{
    setWindowTitle(kCaption);
    auto* const layout = new QVBoxLayout(this);

    auto* const source = new QLabel(
        (request_.mbox ? QStringLiteral("mboxﾌｧｲﾙ: %1") : QStringLiteral("ﾌｫﾙﾀﾞ: %1"))
            .arg(QDir::toNativeSeparators(request_.source)),
        this);
    source->setTextFormat(Qt::PlainText);
    layout->addWidget(source);

    auto* const target = new QGroupBox(QStringLiteral("取り込み先のﾒｰﾙのﾌｫﾙﾀﾞ"), this);
    auto* const targetLayout = new QGridLayout(target);
    folderEdit_ = new QLineEdit(QDir::toNativeSeparators(SuggestedFolder(request_.source)), target);
    browse_ = new QPushButton(QStringLiteral("参照..."), target);
    auto* const targetNote = new QLabel(QStringLiteral("存在しないﾌｫﾙﾀﾞは作成します"), target);
    targetLayout->addWidget(folderEdit_, 0, 0);
    targetLayout->addWidget(browse_, 0, 1);
    targetLayout->addWidget(targetNote, 1, 0, 1, 2);
    layout->addWidget(target);
    connect(browse_, &QPushButton::clicked, this, &CImportDialog::browse);
    connect(folderEdit_, &QLineEdit::textChanged, this, &CImportDialog::updateOk);

    if (request_.mbox) {
        auto* const format = new QGroupBox(QStringLiteral("mboxの形式"), this);
        auto* const formatLayout = new QVBoxLayout(format);
        mboxrd_ = new QRadioButton(QStringLiteral("mboxrd (&R)"), format);
        mboxo_ = new QRadioButton(QStringLiteral("mboxo (&O)"), format);
        mboxrd_->setChecked(true);
        auto* const formatNote = new QLabel(
            QStringLiteral("本文の「>From 」の戻し方です。Pythonのmailboxなどが書いたmboxはmboxoを選んでください"), format);
        formatNote->setWordWrap(true);
        formatLayout->addWidget(mboxrd_);
        formatLayout->addWidget(mboxo_);
        formatLayout->addWidget(formatNote);
        layout->addWidget(format);
    }

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    connect(buttons_, &QDialogButtonBox::accepted, this, &CImportDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &CImportDialog::reject);
    layout->addWidget(buttons_);
    updateOk();
}

QString CImportDialog::SuggestedFolder(const QString& source)
{
    const QFileInfo info(source);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("_mail"));
}

ImportChoice CImportDialog::choice() const
{
    const QString typed = QDir::fromNativeSeparators(folderEdit_->text().trimmed());
    ImportChoice chosen;
    chosen.folder = QDir::cleanPath(QFileInfo(request_.source).dir().absoluteFilePath(typed));
    if (mboxo_ != nullptr && mboxo_->isChecked())
        chosen.mboxVariant = MboxVariant::Mboxo;
    return chosen;
}

QPushButton* CImportDialog::okButton() const
{
    return buttons_->button(QDialogButtonBox::Ok);
}

void CImportDialog::accept()
{
    const QString folder = choice().folder;
    const QFileInfo info(folder);
    if (!info.exists() &&
        prompts_.ask(this, kCaption, QStringLiteral("%1 は存在しません\n作成しますか").arg(QDir::toNativeSeparators(folder))) !=
            Answer::Yes)
        return;
    QDialog::accept();
}

void CImportDialog::browse()
{
    // The picker shows only folders that exist: it starts at the nearest
    // one, and a new folder's name can be typed after the choice.
    QFileInfo start(choice().folder);
    while (!start.isDir() && !start.isRoot() && start.absoluteFilePath() != start.absolutePath())
        start = QFileInfo(start.absolutePath());
    if (const std::optional<QString> chosen = prompts_.chooseFolder(this, start.absoluteFilePath()))
        folderEdit_->setText(QDir::toNativeSeparators(*chosen));
}

void CImportDialog::updateOk()
{
    okButton()->setEnabled(!folderEdit_->text().trimmed().isEmpty());
}

}  // namespace postloom
