#include "settings_ui/project_page1.h"

#include "core/html/output_paths.h"
#include "core/mail/folder_reader.h"
#include "core/platform/file_system.h"
#include "settings_ui/folder_checks.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

namespace postloom {

namespace {

const QString kCreateCaption = QStringLiteral("ﾊﾟｽ作成確認");
const QString kIndexFolderQuestion = QStringLiteral("ｲﾝﾃﾞｯｸｽHTMLﾌｧｲﾙを作成するﾊﾟｽは存在しません\n作成しますか");
const QString kMimeDecodeNotice = QStringLiteral(
    "MIMEのﾃﾞｺｰﾄﾞの設定は、これから読み込むﾒｰﾙに適用されます。\n"
    "読み込み済みのﾒｰﾙにも適用するには、ﾒｰﾙの再読込を行ってください。");
const QString kMailFolderQuestion = QStringLiteral("ﾒｰﾙHTMLﾌｧｲﾙを作成するﾊﾟｽは存在しません\n作成しますか");
const QString kDifferentDrives =
    QStringLiteral("ｲﾝﾃﾞｯｸｽHTMLﾌｧｲﾙを作成するﾊﾟｽとﾒｰﾙHTMLﾌｧｲﾙを作成するﾊﾟｽが同じﾄﾞﾗｲﾌﾞではありません");
const QString kCannotCreate = QStringLiteral("ﾊﾟｽを作成できませんでした\n%1\n%2");
const QString kNoMatchCaption = QStringLiteral("ﾒｰﾙﾌｧｲﾙの確認");
const QString kNoMatchQuestion =
    QStringLiteral("ﾒｰﾙの有るﾊﾟｽに「%1」に該当するﾌｧｲﾙがありません。\nﾒｰﾙは読み込まれません。このまま続けますか");

// Long enough that a word typed at speed lists the folder once.
constexpr int kCountPauseMs = 300;

struct ClientType {
    const char* label;    // UTF-8
    const char* pattern;  // what it puts into MailExt
};

// The entries of the client-type list, in list order.
constexpr ClientType kClientTypes[] = {
    {"AL-Mail32 (*.alm)", "*.alm"},
    {"AL-Mail16 (*.wml)", "*.wml"},
    {"すべてのﾌｧｲﾙ (*.*)", "*.*"},
};

std::int32_t Flag(const QCheckBox& box)
{
    return box.isChecked() ? 1 : 0;
}

}  // namespace

CProjectPage1::CProjectPage1(const ProjectPageContext& context, QWidget* parent)
    : CProjectPage(context, QStringLiteral("ﾌｧｲﾙ"), parent),
      title_(new QLineEdit(this)),
      mailExt_(new QLineEdit(this)),
      clientType_(new QComboBox(this)),
      targetPath_(new QLineEdit(this)),
      targetPathBrowse_(new QPushButton(QStringLiteral("参照"), this)),
      indexPath_(new QLineEdit(this)),
      indexPathBrowse_(new QPushButton(QStringLiteral("参照"), this)),
      mailPath_(new QLineEdit(this)),
      mailPathBrowse_(new QPushButton(QStringLiteral("参照"), this)),
      cutMLTitle_(new QCheckBox(QStringLiteral("Subjectから最初の[***]を取り除く"), this)),
      toLower_(new QCheckBox(QStringLiteral("ﾌｧｲﾙ/ﾃﾞｨﾚｸﾄﾘ名をすべて小文字で扱う"), this)),
      mimeDecode_(new QCheckBox(QStringLiteral("MIMEをﾃﾞｺｰﾄﾞする(&M)"), this)),
      metaCharset_(new QCheckBox(QStringLiteral("文字ｺｰﾄﾞを宣言する(&C)"), this)),
      directParent_(new QCheckBox(QStringLiteral("返信先の直下に置く(&D)"), this)),
      matchCount_(new QLabel(this))
{
    for (const ClientType& type : kClientTypes)
        clientType_->addItem(QString::fromUtf8(type.label), QString::fromUtf8(type.pattern));
    clientType_->setCurrentIndex(-1);

    auto* const clientRow = new QHBoxLayout;
    clientRow->addWidget(mailExt_, 1);
    clientRow->addSpacing(12);
    clientRow->addWidget(new QLabel(QStringLiteral("ﾒｰﾙｸﾗｲｱﾝﾄの種類"), this));
    clientRow->addWidget(clientType_, 1);

    auto* const grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("ﾀｲﾄﾙ"), this), 0, 0);
    grid->addWidget(title_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("ﾒｰﾙﾌｧｲﾙの拡張子"), this), 1, 0);
    grid->addLayout(clientRow, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("ﾒｰﾙの有るﾊﾟｽ"), this), 2, 0);
    grid->addWidget(targetPath_, 2, 1);
    grid->addWidget(targetPathBrowse_, 2, 2);
    grid->addWidget(matchCount_, 3, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("ｲﾝﾃﾞｯｸｽHTMLﾌｧｲﾙ名"), this), 4, 0);
    grid->addWidget(indexPath_, 4, 1);
    grid->addWidget(indexPathBrowse_, 4, 2);
    grid->addWidget(new QLabel(QStringLiteral("ﾒｰﾙHTML出力先 (ｲﾝﾃﾞｯｸｽHTMLﾌｧｲﾙからの相対パス)"), this), 5, 0, 1, 3);
    grid->addWidget(mailPath_, 6, 1);
    grid->addWidget(mailPathBrowse_, 6, 2);
    grid->addWidget(cutMLTitle_, 7, 0, 1, 3);
    grid->addWidget(toLower_, 8, 0, 1, 3);
    grid->addWidget(mimeDecode_, 9, 0, 1, 3);
    grid->addWidget(metaCharset_, 10, 0, 1, 3);
    grid->addWidget(directParent_, 11, 0, 1, 3);
    grid->setRowStretch(12, 1);
    grid->setColumnStretch(1, 1);

    // Every change of a field's text counts, also the fill at the first
    // display; of the check boxes only a click does.
    for (QLineEdit* const edit : {title_, mailExt_, targetPath_, indexPath_, mailPath_})
        connect(edit, &QLineEdit::textChanged, this, [this] { setModified(); });
    for (QCheckBox* const box : {cutMLTitle_, toLower_, mimeDecode_, metaCharset_, directParent_})
        connect(box, &QCheckBox::clicked, this, [this] { setModified(); });
    // Subjects and senders are decoded as the mails are read: the records
    // already read keep theirs until the mails are read again.
    connect(mimeDecode_, &QCheckBox::clicked, this, [this] { prompts().inform(this, QString(), kMimeDecodeNotice); });
    connect(clientType_, &QComboBox::activated, this, &CProjectPage1::chooseClientType);
    connect(targetPathBrowse_, &QPushButton::clicked, this, [this] { browseFolder(*targetPath_); });
    connect(mailPathBrowse_, &QPushButton::clicked, this, [this] { browseFolder(*mailPath_); });
    connect(indexPathBrowse_, &QPushButton::clicked, this, &CProjectPage1::browseIndexFile);

    countTimer_.setSingleShot(true);
    countTimer_.setInterval(kCountPauseMs);
    connect(&countTimer_, &QTimer::timeout, this, &CProjectPage1::updateMatchCount);
    for (QLineEdit* const edit : {mailExt_, targetPath_})
        connect(edit, &QLineEdit::textChanged, &countTimer_, qOverload<>(&QTimer::start));
}

void CProjectPage1::load()
{
    const ProjectSettings& s = settings();
    titleText_.show(*title_, s.Title);
    mailExtText_.show(*mailExt_, s.MailExt);
    targetPathText_.show(*targetPath_, s.TargetPath);
    indexPathText_.show(*indexPath_, s.IndexPath);
    mailPathText_.show(*mailPath_, s.MailPath);
    cutMLTitle_->setChecked(s.CutMLTitle != 0);
    toLower_->setChecked(s.ToLower != 0);
    mimeDecode_->setChecked(s.MimeDecode != 0);
    metaCharset_->setChecked(s.MetaCharset != 0);
    directParent_->setChecked(s.DirectParent != 0);
    updateMatchCount();
}

void CProjectPage1::save()
{
    ProjectSettings& s = settings();
    s.CutMLTitle = Flag(*cutMLTitle_);
    s.ToLower = Flag(*toLower_);
    s.MimeDecode = Flag(*mimeDecode_);
    s.MetaCharset = Flag(*metaCharset_);
    s.DirectParent = Flag(*directParent_);
    s.MailExt = mailExtText_.take(*mailExt_);
    s.MailPath = mailPathText_.take(*mailPath_);
    s.TargetPath = targetPathText_.take(*targetPath_);
    s.IndexPath = indexPathText_.take(*indexPath_);
    s.Title = titleText_.take(*title_);
}

bool CProjectPage1::checkOnLeave()
{
    const std::string indexPath = indexPathText_.take(*indexPath_);
    const std::string mailPath = mailPathText_.take(*mailPath_);
    const FilePageFolders folders =
        ResolveFilePageFolders(indexPath, mailPath, toLower_->isChecked(), projectFolder());
    if (!indexPath.empty() && !ensureFolder(folders.indexFolder, kIndexFolderQuestion, *indexPath_))
        return false;
    if (mailPath.empty())
        return true;
    if (!folders.sameDrive) {
        prompts().inform(this, QString(), kDifferentDrives);
        mailPath_->setFocus();
        return false;
    }
    return ensureFolder(folders.mailFolder, kMailFolderQuestion, *mailPath_);
}

std::optional<std::size_t> CProjectPage1::matchingFiles() const
{
    const std::string folder = targetPathText_.take(*targetPath_);
    if (folder.empty())
        return std::nullopt;
    return CountMailFiles(OutputPaths(settings(), projectFolder()).Resolve(folder), mailExtText_.take(*mailExt_));
}

void CProjectPage1::updateMatchCount()
{
    countTimer_.stop();
    const std::optional<std::size_t> count = matchingFiles();
    if (count) {
        // Thousands grouped with ",", whatever the user's locale.
        QLocale numbers = QLocale::c();
        numbers.setNumberOptions(QLocale::DefaultNumberOptions);
        matchCount_->setText(QStringLiteral("該当ﾌｧｲﾙ: %1").arg(numbers.toString(static_cast<qulonglong>(*count))));
    } else {
        matchCount_->setText(targetPath_->text().isEmpty() ? QString() : QStringLiteral("ﾌｫﾙﾀﾞがありません"));
    }
}

bool CProjectPage1::takeValues()
{
    // Asked when the folder or the pattern was changed here: a project
    // whose folder is empty for now is not asked about at every OK. A
    // missing folder is no surprise (it may be made later); an existing
    // one that gives no mail is.
    const bool edited = mailExtText_.take(*mailExt_) != settings().MailExt ||
                        targetPathText_.take(*targetPath_) != settings().TargetPath;
    if (!edited || matchingFiles().value_or(1) != 0)
        return true;
    if (prompts().ask(this, kNoMatchCaption, kNoMatchQuestion.arg(mailExt_->text())) == Answer::Yes)
        return true;
    mailExt_->setFocus();
    return false;
}

bool CProjectPage1::ensureFolder(const std::string& folder, const QString& question, QLineEdit& field)
{
    if (platform::IsDirectory(folder))
        return true;
    if (prompts().ask(this, kCreateCaption, question) == Answer::No) {
        field.setFocus();
        return false;
    }
    if (const std::optional<QString> reason = CreateFolderGivingReason(folder)) {
        prompts().inform(this, QString(), kCannotCreate.arg(FromCp932(folder), *reason));
        field.setFocus();
        return false;
    }
    return true;
}

void CProjectPage1::chooseClientType(int index)
{
    if (index < 0)
        return;
    mailExt_->setText(clientType_->itemData(index).toString());
    setModified();
}

void CProjectPage1::browseFolder(QLineEdit& field)
{
    const std::optional<QString> folder = prompts().chooseFolder(this, resolved(ToCp932(field.text())));
    if (!folder)
        return;
    field.setText(QDir::toNativeSeparators(*folder));
    setModified();
}

void CProjectPage1::browseIndexFile()
{
    const std::string current = ToCp932(indexPath_->text());
    const FileRequest request{
        .defaultSuffix = QStringLiteral("html"),
        .initialFile = resolved(current.empty() ? std::string("index.html") : current),
        .filters = {{QStringLiteral("htmlﾌｧｲﾙ(*.html)"), QStringLiteral("*.html")},
                    {QStringLiteral("すべてのﾌｧｲﾙ(*.*)"), QStringLiteral("*.*")}},
    };
    const std::optional<QString> file = prompts().chooseFile(this, request);
    if (!file)
        return;
    indexPath_->setText(QDir::toNativeSeparators(*file));
    setModified();
}

QString CProjectPage1::resolved(const std::string& path) const
{
    return FromCp932(OutputPaths(settings(), projectFolder()).Resolve(path));
}

}  // namespace postloom
