// The File page in its sheet: what it shows, what it writes back, its
// browse buttons and the folder checks before it may be left.

#include "scripted_prompts.h"

#include "core/text/codec.h"
#include "settings_ui/project_page1.h"
#include "settings_ui/project_sheet_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>
#include <system_error>

namespace postloom::test {

namespace {

std::string Sjis(const QString& text)
{
    return text::Utf8ToCp932(text.toStdString());
}

std::string Bytes(const QString& path)
{
    return path.toStdString();
}

// The sheet as the document opens it, shown, with the File page on display.
struct FileSheet {
    FileSheet(const ProjectSettings& document, const QString& projectFolder)
        : sheet(CreateProjectSheet(document, Bytes(projectFolder), prompts)),
          page(dynamic_cast<CProjectPage1*>(sheet->tabs()->widget(0)))
    {
        sheet->show();
    }

    // True when OK closed the sheet.
    bool pressOk()
    {
        sheet->okButton()->click();
        return !sheet->isVisible() && sheet->result() == QDialog::Accepted;
    }

    ScriptedPrompts prompts;
    std::unique_ptr<CProjectSheet> sheet;
    CProjectPage1* page;
};

const QString kCreateCaption = QStringLiteral("ﾊﾟｽ作成確認");
const QString kIndexQuestion = QStringLiteral("ｲﾝﾃﾞｯｸｽHTMLﾌｧｲﾙを作成するﾊﾟｽは存在しません\n作成しますか");
const QString kMailQuestion = QStringLiteral("ﾒｰﾙHTMLﾌｧｲﾙを作成するﾊﾟｽは存在しません\n作成しますか");

}  // namespace

class FilePageTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;

    QString in(const QString& name) const { return dir_->filePath(name); }
    QString projectFolder() const { return dir_->path(); }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void firstDisplayShowsTheWorkingCopy()
    {
        ProjectSettings document;
        document.Title = Sjis(QStringLiteral("週報アーカイブ"));
        document.MailExt = "*.alm";
        document.TargetPath = Sjis(QStringLiteral("/home/表/mail"));  // 表 ends in the byte 0x5C
        document.IndexPath = "/srv/web/index.html";
        document.MailPath = "pages";
        document.CutMLTitle = 1;
        document.ToLower = 0;
        FileSheet f(document, in(QStringLiteral("p")));

        QCOMPARE(f.sheet->tabs()->tabText(0), QStringLiteral("ﾌｧｲﾙ"));
        QCOMPARE(f.page->titleEdit()->text(), QStringLiteral("週報アーカイブ"));
        QCOMPARE(f.page->mailExtEdit()->text(), QStringLiteral("*.alm"));
        QCOMPARE(f.page->targetPathEdit()->text(), QStringLiteral("/home/表/mail"));
        QCOMPARE(f.page->indexPathEdit()->text(), QStringLiteral("/srv/web/index.html"));
        QCOMPARE(f.page->mailPathEdit()->text(), QStringLiteral("pages"));
        QVERIFY(f.page->cutMLTitleCheck()->isChecked());
        QVERIFY(!f.page->toLowerCheck()->isChecked());

        QComboBox* const list = f.page->clientTypeList();
        QCOMPARE(list->currentIndex(), -1);
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->itemText(0), QStringLiteral("AL-Mail32 (*.alm)"));
        QCOMPARE(list->itemText(1), QStringLiteral("AL-Mail16 (*.wml)"));
        QCOMPARE(list->itemText(2), QStringLiteral("すべてのﾌｧｲﾙ (*.*)"));

        QStringList texts;
        for (const QLabel* label : f.page->findChildren<QLabel*>())
            texts << label->text();
        for (const QAbstractButton* button : f.page->findChildren<QAbstractButton*>())
            texts << button->text();
        for (const QString& expected :
             {QStringLiteral("ﾀｲﾄﾙ"), QStringLiteral("ﾒｰﾙﾌｧｲﾙの拡張子"), QStringLiteral("ﾒｰﾙｸﾗｲｱﾝﾄの種類"),
              QStringLiteral("ﾒｰﾙの有るﾊﾟｽ"), QStringLiteral("ｲﾝﾃﾞｯｸｽHTMLﾌｧｲﾙ名"),
              QStringLiteral("ﾒｰﾙHTML出力先 (ｲﾝﾃﾞｯｸｽHTMLﾌｧｲﾙからの相対パス)"),
              QStringLiteral("Subjectから最初の[***]を取り除く"), QStringLiteral("ﾌｧｲﾙ/ﾃﾞｨﾚｸﾄﾘ名をすべて小文字で扱う")})
            QVERIFY2(texts.contains(expected), qPrintable(expected));
        QCOMPARE(texts.count(QStringLiteral("参照")), 3);
    }

    void okWritesEverySettingOfThePage()
    {
        QVERIFY(QDir().mkpath(in(QStringLiteral("web/pages"))));
        ProjectSettings document;
        document.Title = "old";
        document.TargetPath = "/old/mail";
        document.DrawGraphic = 1;
        document.DateFont = 5;
        document.ToLower = 0;
        FileSheet f(document, projectFolder());

        f.page->titleEdit()->setText(QStringLiteral("新しい表題"));
        f.page->mailExtEdit()->setText(QStringLiteral("*.txt"));
        f.page->targetPathEdit()->setText(QStringLiteral("受信箱"));
        f.page->indexPathEdit()->setText(QStringLiteral("web/index.html"));
        f.page->mailPathEdit()->setText(QStringLiteral("pages"));
        f.page->cutMLTitleCheck()->click();
        f.page->toLowerCheck()->click();
        QVERIFY(f.pressOk());
        QVERIFY(f.prompts.questions.empty());

        const ProjectSheetHandBack back = f.sheet->handBack(document);
        QVERIFY(back.applied);
        QVERIFY(back.targetPathChanged);
        QCOMPARE(document.Title, Sjis(QStringLiteral("新しい表題")));
        QCOMPARE(document.MailExt, std::string("*.txt"));
        QCOMPARE(document.TargetPath, Sjis(QStringLiteral("受信箱")));
        QCOMPARE(document.IndexPath, std::string("web/index.html"));
        QCOMPARE(document.MailPath, std::string("pages"));
        QCOMPARE(document.CutMLTitle, 1);
        QCOMPARE(document.ToLower, 1);
        QCOMPARE(document.DrawGraphic, 1);
        QCOMPARE(document.DateFont, 5);
    }

    void mimeFlagsAreShownWrittenAndExplained()
    {
        ProjectSettings document;
        document.MimeDecode = 0;
        document.MetaCharset = 1;
        FileSheet f(document, projectFolder());
        QCOMPARE(f.page->mimeDecodeCheck()->text(), QStringLiteral("MIMEをﾃﾞｺｰﾄﾞする(&M)"));
        QCOMPARE(f.page->metaCharsetCheck()->text(), QStringLiteral("文字ｺｰﾄﾞを宣言する(&C)"));
        QVERIFY(!f.page->mimeDecodeCheck()->isChecked());
        QVERIFY(f.page->metaCharsetCheck()->isChecked());

        // Turning decoding on or off tells that only mails read from now on
        // follow it; the charset declaration needs no word.
        f.page->metaCharsetCheck()->click();
        QVERIFY(f.prompts.notices.empty());
        f.page->mimeDecodeCheck()->click();
        QCOMPARE(f.prompts.notices.size(), std::size_t{1});
        QVERIFY(f.prompts.notices.front().text.contains(QStringLiteral("ﾒｰﾙの再読込")));
        QVERIFY(f.pressOk());

        const ProjectSheetHandBack back = f.sheet->handBack(document);
        QVERIFY(back.applied);
        QCOMPARE(document.MimeDecode, 1);
        QCOMPARE(document.MetaCharset, 0);
    }

    void directParentIsShownAndWrittenBack()
    {
        ProjectSettings document;
        QCOMPARE(document.DirectParent, 0);
        {
            FileSheet f(document, projectFolder());
            QCOMPARE(f.page->directParentCheck()->text(), QStringLiteral("返信先の直下に置く(&D)"));
            QVERIFY(!f.page->directParentCheck()->isChecked());
            // A click alone counts as a change, and asks nothing.
            f.page->directParentCheck()->click();
            QVERIFY(f.prompts.notices.empty());
            QVERIFY(f.pressOk());
            const ProjectSheetHandBack back = f.sheet->handBack(document);
            QVERIFY(back.applied);
            QVERIFY(!back.targetPathChanged);
            QCOMPARE(document.DirectParent, 1);
        }
        FileSheet f(document, projectFolder());
        QVERIFY(f.page->directParentCheck()->isChecked());
        f.page->directParentCheck()->click();
        QVERIFY(f.pressOk());
        QVERIFY(f.sheet->handBack(document).applied);
        QCOMPARE(document.DirectParent, 0);
    }

    void cancelLeavesTheDocumentAlone()
    {
        ProjectSettings document;
        document.Title = "title";
        document.ToLower = 1;
        ProjectSettings before;
        before.CopySettingsFrom(document);
        FileSheet f(document, projectFolder());

        f.page->titleEdit()->setText(QStringLiteral("changed"));
        f.page->targetPathEdit()->setText(QStringLiteral("/elsewhere"));
        f.page->toLowerCheck()->click();
        f.sheet->cancelButton()->click();

        const ProjectSheetHandBack back = f.sheet->handBack(document);
        QVERIFY(!back.applied);
        QVERIFY(!back.targetPathChanged);
        QVERIFY(document.SettingsEqual(before));
    }

    void changeRules_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("applied");

        QTest::newRow("all-empty-ok-at-once") << QString() << QString() << false;
        QTest::newRow("shown-title-counts") << QStringLiteral("ML") << QString() << true;
        QTest::newRow("check-box-click") << QString() << QStringLiteral("click") << true;
        QTest::newRow("title-typed") << QString() << QStringLiteral("title") << true;
        QTest::newRow("only-index-typed") << QString() << QStringLiteral("index") << true;
    }

    void changeRules()
    {
        QFETCH(QString, title);
        QFETCH(QString, action);
        QFETCH(bool, applied);

        ProjectSettings document;
        document.Title = Bytes(title);
        FileSheet f(document, projectFolder());
        if (action == QStringLiteral("click"))
            f.page->toLowerCheck()->click();
        else if (action == QStringLiteral("title"))
            f.page->titleEdit()->setText(QStringLiteral("t"));
        else if (action == QStringLiteral("index"))
            f.page->indexPathEdit()->setText(in(QStringLiteral("index.html")));
        QVERIFY(f.pressOk());
        QVERIFY(f.prompts.questions.empty());
        QVERIFY(f.prompts.notices.empty());

        const ProjectSheetHandBack back = f.sheet->handBack(document);
        QCOMPARE(back.applied, applied);
        QVERIFY(!back.targetPathChanged);
        if (action == QStringLiteral("index"))
            QCOMPARE(document.IndexPath, Bytes(in(QStringLiteral("index.html"))));
    }

    void textThatDoesNotConvertSurvivesUntouched()
    {
        ProjectSettings document;
        document.Title = "\x85\x40 list";  // unassigned in CP932
        document.MailExt = "*.alm";
        FileSheet f(document, projectFolder());
        QVERIFY(f.pressOk());
        QVERIFY(f.sheet->handBack(document).applied);
        QCOMPARE(document.Title, std::string("\x85\x40 list"));
    }

    void clientTypeFillsMailExt_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("AL-Mail32") << 0 << QStringLiteral("*.alm");
        QTest::newRow("AL-Mail16") << 1 << QStringLiteral("*.wml");
        QTest::newRow("all-files") << 2 << QStringLiteral("*.*");
    }

    void clientTypeFillsMailExt()
    {
        QFETCH(int, item);
        QFETCH(QString, pattern);

        ProjectSettings document;
        FileSheet f(document, projectFolder());
        f.page->mailExtEdit()->setText(QStringLiteral("*.typed"));
        f.page->clientTypeList()->setCurrentIndex(item);
        emit f.page->clientTypeList()->activated(item);
        QCOMPARE(f.page->mailExtEdit()->text(), pattern);
        QVERIFY(f.pressOk());
        QVERIFY(f.sheet->handBack(document).applied);
        QCOMPARE(document.MailExt, Bytes(pattern));
    }

    void folderBrowseStartsAtTheFieldAndTakesTheChoice_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("mail-folder") << QStringLiteral("target");
        QTest::newRow("mail-page-folder") << QStringLiteral("mail");
    }

    void folderBrowseStartsAtTheFieldAndTakesTheChoice()
    {
        QFETCH(QString, field);
        const bool target = field == QStringLiteral("target");
        ProjectSettings document;
        (target ? document.TargetPath : document.MailPath) = "sub/dir";
        FileSheet f(document, projectFolder());
        QLineEdit* const edit = target ? f.page->targetPathEdit() : f.page->mailPathEdit();
        QPushButton* const browse = target ? f.page->targetPathBrowse() : f.page->mailPathBrowse();

        f.prompts.chosenFolders = {QString(), projectFolder()};
        browse->click();
        QCOMPARE(edit->text(), QStringLiteral("sub/dir"));
        browse->click();
        QCOMPARE(edit->text(), projectFolder());
        QCOMPARE(f.prompts.folderStarts, QStringList({in(QStringLiteral("sub/dir")), in(QStringLiteral("sub/dir"))}));
    }

    void indexBrowseOffersHtmlFiles()
    {
        ProjectSettings document;
        FileSheet f(document, projectFolder());
        f.prompts.chosenFiles = {QString(), in(QStringLiteral("top.html"))};
        f.page->indexPathBrowse()->click();
        QCOMPARE(f.page->indexPathEdit()->text(), QString());
        f.page->indexPathBrowse()->click();
        QCOMPARE(f.page->indexPathEdit()->text(), in(QStringLiteral("top.html")));
        f.prompts.chosenFiles = {QString()};
        f.page->indexPathEdit()->setText(QStringLiteral("site/../main.html"));
        f.page->indexPathBrowse()->click();

        QCOMPARE(f.prompts.fileRequests.size(), std::size_t{3});
        const FileRequest& first = f.prompts.fileRequests[0];
        QCOMPARE(first.defaultSuffix, QStringLiteral("html"));
        QCOMPARE(first.initialFile, in(QStringLiteral("index.html")));
        QCOMPARE(first.filters.size(), std::size_t{2});
        QCOMPARE(first.filters[0].label, QStringLiteral("htmlﾌｧｲﾙ(*.html)"));
        QCOMPARE(first.filters[0].patterns, QStringLiteral("*.html"));
        QCOMPARE(first.filters[1].label, QStringLiteral("すべてのﾌｧｲﾙ(*.*)"));
        QCOMPARE(first.filters[1].patterns, QStringLiteral("*.*"));
        QCOMPARE(f.prompts.fileRequests[2].initialFile, in(QStringLiteral("main.html")));
    }

    void missingIndexFolderIsCreatedOnlyWhenTheUserAgrees()
    {
        ProjectSettings document;
        document.IndexPath = Bytes(in(QStringLiteral("site/web/index.html")));
        FileSheet f(document, projectFolder());

        f.prompts.answers = {Answer::No};
        QVERIFY(!f.pressOk());
        QVERIFY(f.sheet->isVisible());
        QCOMPARE(f.prompts.questions.size(), std::size_t{1});
        QCOMPARE(f.prompts.questions[0].caption, kCreateCaption);
        QCOMPARE(f.prompts.questions[0].text, kIndexQuestion);
        QVERIFY(!QDir(in(QStringLiteral("site"))).exists());

        f.prompts.answers = {Answer::Yes};
        QVERIFY(f.pressOk());
        QVERIFY(QDir(in(QStringLiteral("site/web"))).exists());
        QVERIFY(f.prompts.notices.empty());
    }

    void missingMailFolderFollowsTheIndexFolderAndToLower()
    {
        QVERIFY(QDir().mkpath(in(QStringLiteral("web"))));
        ProjectSettings document;
        document.IndexPath = "web/index.html";
        document.MailPath = "Pages/Thread";
        document.ToLower = 1;
        FileSheet f(document, projectFolder());

        f.prompts.answers = {Answer::Yes};
        QVERIFY(f.pressOk());
        QCOMPARE(f.prompts.questions.size(), std::size_t{1});
        QCOMPARE(f.prompts.questions[0].caption, kCreateCaption);
        QCOMPARE(f.prompts.questions[0].text, kMailQuestion);
        // The pages are written to the lower-cased folder: that is the one made.
        QVERIFY(QDir(in(QStringLiteral("web/pages/thread"))).exists());
        QVERIFY(!QDir(in(QStringLiteral("web/Pages"))).exists());
    }

    void bothFoldersMissingAreAskedForInTurn()
    {
        ProjectSettings document;
        document.IndexPath = "web/index.html";
        document.MailPath = "../mail";
        FileSheet f(document, projectFolder());

        f.prompts.answers = {Answer::Yes, Answer::No};
        QVERIFY(!f.pressOk());
        QCOMPARE(f.prompts.questions.size(), std::size_t{2});
        QCOMPARE(f.prompts.questions[0].text, kIndexQuestion);
        QCOMPARE(f.prompts.questions[1].text, kMailQuestion);
        QVERIFY(QDir(in(QStringLiteral("web"))).exists());
        QVERIFY(!QDir(in(QStringLiteral("mail"))).exists());

        // The index folder exists now; only the mail folder is asked for.
        f.prompts.answers = {Answer::Yes};
        QVERIFY(f.pressOk());
        QCOMPARE(f.prompts.questions.size(), std::size_t{3});
        QVERIFY(QDir(in(QStringLiteral("mail"))).exists());
    }

    void mailFolderWithoutIndexFileLiesInTheProjectFolder()
    {
        ProjectSettings document;
        document.MailPath = "out";
        FileSheet f(document, projectFolder());
        f.prompts.answers = {Answer::Yes};
        QVERIFY(f.pressOk());
        QCOMPARE(f.prompts.questions.size(), std::size_t{1});
        QCOMPARE(f.prompts.questions[0].text, kMailQuestion);
        QVERIFY(QDir(in(QStringLiteral("out"))).exists());
    }

    void folderThatCannotBeCreatedIsReportedAndKeepsThePage()
    {
        QFile blocker(in(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ProjectSettings document;
        document.IndexPath = Bytes(in(QStringLiteral("blocker/web/index.html")));
        FileSheet f(document, projectFolder());

        f.prompts.answers = {Answer::Yes};
        QVERIFY(!f.pressOk());
        QVERIFY(f.sheet->isVisible());
        QCOMPARE(f.prompts.notices.size(), std::size_t{1});
        const QString reason = QString::fromLocal8Bit(std::generic_category().message(ENOTDIR));
        QCOMPARE(f.prompts.notices[0].text,
                 QStringLiteral("ﾊﾟｽを作成できませんでした\n%1\n%2").arg(in(QStringLiteral("blocker/web")), reason));

        // Corrected, the page can be left.
        f.page->indexPathEdit()->setText(in(QStringLiteral("index.html")));
        QVERIFY(f.pressOk());
        QCOMPARE(f.sheet->handBack(document).applied, true);
        QCOMPARE(document.IndexPath, Bytes(in(QStringLiteral("index.html"))));
    }

    void matchCountFollowsTheFolderAndThePatternAsTheUserTypes()
    {
        QVERIFY(QDir().mkpath(in(QStringLiteral("mail"))));
        for (const char* name : {"1.alm", "2.alm", "3.ALM", "4.txt"}) {
            QFile file(in(QStringLiteral("mail/") + QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        ProjectSettings document;
        document.TargetPath = "mail";
        document.MailExt = "*.alm";
        FileSheet f(document, projectFolder());
        QLabel* const count = f.page->matchCountLabel();
        QCOMPARE(count->text(), QStringLiteral("該当ﾌｧｲﾙ: 3"));

        // Counted after a pause in typing, not at every key.
        f.page->mailExtEdit()->setText(QStringLiteral("*.tx"));
        f.page->mailExtEdit()->setText(QStringLiteral("*.txt"));
        QCOMPARE(count->text(), QStringLiteral("該当ﾌｧｲﾙ: 3"));
        QTRY_COMPARE(count->text(), QStringLiteral("該当ﾌｧｲﾙ: 1"));

        f.page->targetPathEdit()->setText(QStringLiteral("nowhere"));
        QTRY_COMPARE(count->text(), QStringLiteral("ﾌｫﾙﾀﾞがありません"));
        f.page->targetPathEdit()->clear();
        QTRY_COMPARE(count->text(), QString());
    }

    void matchCountGroupsThousands()
    {
        QVERIFY(QDir().mkpath(in(QStringLiteral("mail"))));
        for (int n = 0; n < 1002; ++n) {
            QFile file(in(QStringLiteral("mail/%1.alm").arg(n)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        ProjectSettings document;
        document.TargetPath = "mail";
        document.MailExt = "*.alm";
        FileSheet f(document, projectFolder());
        QCOMPARE(f.page->matchCountLabel()->text(), QStringLiteral("該当ﾌｧｲﾙ: 1,002"));
    }

    void okWithAPatternThatTakesNoFileAsksFirst()
    {
        QVERIFY(QDir().mkpath(in(QStringLiteral("mail"))));
        QFile file(in(QStringLiteral("mail/1.alm")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        ProjectSettings document;
        document.TargetPath = "mail";
        document.MailExt = "*.alm";
        FileSheet f(document, projectFolder());
        f.page->mailExtEdit()->setText(QStringLiteral("*.alm"));
        QVERIFY(f.pressOk());
        QVERIFY(f.prompts.questions.empty());

        FileSheet typo(document, projectFolder());
        typo.page->mailExtEdit()->setText(QStringLiteral("*.aml"));
        typo.prompts.answers = {Answer::No};
        QVERIFY(!typo.pressOk());
        QCOMPARE(typo.prompts.questions.size(), std::size_t{1});
        QCOMPARE(typo.prompts.questions[0].text,
                 QStringLiteral("ﾒｰﾙの有るﾊﾟｽに「*.aml」に該当するﾌｧｲﾙがありません。\nﾒｰﾙは読み込まれません。"
                                "このまま続けますか"));

        typo.prompts.answers = {Answer::Yes};
        QVERIFY(typo.pressOk());
        QCOMPARE(typo.prompts.questions.size(), std::size_t{2});
        QVERIFY(typo.sheet->handBack(document).applied);
        QCOMPARE(document.MailExt, std::string("*.aml"));
    }

    void okAsksNothingForAMissingFolderOrAnUnchangedPattern()
    {
        ProjectSettings document;
        document.MailExt = "*.alm";
        FileSheet missing(document, projectFolder());
        missing.page->targetPathEdit()->setText(QStringLiteral("not-made-yet"));
        QVERIFY(missing.pressOk());
        QVERIFY(missing.prompts.questions.empty());

        // Empty for now, as the project left it.
        QVERIFY(QDir().mkpath(in(QStringLiteral("mail"))));
        document.TargetPath = "mail";
        FileSheet unchanged(document, projectFolder());
        unchanged.page->titleEdit()->setText(QStringLiteral("renamed"));
        QVERIFY(unchanged.pressOk());
        QVERIFY(unchanged.prompts.questions.empty());
    }

    void cancelKeepsAFolderCreatedOnRequest()
    {
        ProjectSettings document;
        document.IndexPath = "made/index.html";
        document.MailPath = "pages";
        FileSheet f(document, projectFolder());
        f.prompts.answers = {Answer::Yes, Answer::No};
        QVERIFY(!f.pressOk());
        f.sheet->cancelButton()->click();
        QVERIFY(!f.sheet->handBack(document).applied);
        QVERIFY(QDir(in(QStringLiteral("made"))).exists());
        QVERIFY(!QDir(in(QStringLiteral("made/pages"))).exists());
    }
};

}  // namespace postloom::test

QTEST_MAIN(postloom::test::FilePageTest)
#include "file_page_test.moc"
