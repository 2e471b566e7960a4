// The mail page in its sheet and the tag editor: what they show, what they
// write back, the window type, the create type tab and the number field.

#include "page_sheet.h"

#include "settings_ui/appearance_dialog.h"
#include "settings_ui/tag_edit_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace postloom::test {

namespace {

using S = ProjectSettings;

// The tag rows of the template tab, in order.
const std::array<std::string S::*, 7> kTagKeys{
    &S::MailBodyInsertTag,  &S::MailSubjectInsertTag, &S::MailParentInsertTag, &S::MailChildInsertTag,
    &S::MailNextInsertTag, &S::MailPrevInsertTag,    &S::MailIndexInsertTag,
};

void ChangeTag(CTemplateTab& tab, std::size_t row, const QString& text)
{
    WhenModal<CTagEditDialog>([text](CTagEditDialog& editor) {
        editor.edit()->setText(text);
        editor.okButton()->click();
    });
    tab.changeButton(row)->click();
}

}  // namespace

class MailSettingsPageTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;

    QString in(const QString& name) const { return dir_->filePath(name); }
    QString folder() const { return dir_->path(); }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void tagEditorTakesTheTextExactlyAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral("  A HREF = x  ");
        QTest::newRow("angle-brackets") << QStringLiteral("<Postloom Body>");
        QTest::newRow("japanese") << QStringLiteral("本文");
    }

    void tagEditorTakesTheTextExactlyAsTyped()
    {
        QFETCH(QString, typed);
        CTagEditDialog editor("Postloom Body");
        QCOMPARE(editor.windowTitle(), QStringLiteral("ﾀｸﾞ編集"));
        QCOMPARE(editor.okButton()->text(), QStringLiteral("OK"));
        QCOMPARE(editor.cancelButton()->text(), QStringLiteral("ｷｬﾝｾﾙ"));
        QCOMPARE(editor.edit()->text(), QStringLiteral("Postloom Body"));
        editor.edit()->setText(typed);
        QCOMPARE(editor.tag(), Sjis(typed));
    }

    void tagEditorLeavesUntouchedBytesAlone()
    {
        // Bytes that are not CP932 cannot come back from the field's text.
        const std::string odd("\x82\xA0\xFF tag", 6);
        CTagEditDialog editor(odd);
        QCOMPARE(editor.tag(), odd);
    }

    void firstDisplayShowsTheWorkingCopy()
    {
        ProjectSettings document;
        document.Reset();
        document.MailImagePath = Sjis(QStringLiteral("/srv/表/mailimg"));
        document.MailWindowType = 1;
        document.MailCreateType = 1;
        document.DispLink = 1;
        document.MailBaseFont = 1;
        document.MailBaseFontSize = 3;
        document.MailBackGround = 1;
        document.MailBackGroundFile = "wall.gif";
        document.MailTemplateFile = "mail.html";
        PageSheet s(document, folder());
        CProjectPage3* const page = s.showMailPage();
        QVERIFY(page != nullptr);

        QCOMPARE(s.sheet->tabs()->tabText(2), QStringLiteral("ﾒｰﾙﾍﾟｰｼﾞ"));
        QCOMPARE(page->imagePathEdit()->text(), QStringLiteral("/srv/表/mailimg"));
        QVERIFY(!page->windowTypeButton(0)->isChecked());
        QVERIFY(page->windowTypeButton(1)->isChecked());
        QCOMPARE(page->windowTypeButton(0)->text(), QStringLiteral("同じｳｨﾝﾄﾞｳ内で表示する"));
        QCOMPARE(page->windowTypeButton(1)->text(), QStringLiteral("別ｳｨﾝﾄﾞｳを作成して表示する"));
        QCOMPARE(page->createTypeTabs()->currentIndex(), 1);
        QCOMPARE(page->createTypeTabs()->tabText(0), QStringLiteral("PostLOOMで作成"));
        QCOMPARE(page->createTypeTabs()->tabText(1), QStringLiteral("ﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙを使用する"));

        CMailDisplayTab* const display = page->displayTab();
        QVERIFY(display->dispLinkCheck()->isChecked());
        QVERIFY(!display->dispSubjectCheck()->isChecked());
        QVERIFY(display->baseFontCheck()->isChecked());
        QCOMPARE(display->baseFontSizeField()->value(), 3);
        QCOMPARE(display->baseFontSizeField()->minimum(), 1);
        QCOMPARE(display->baseFontSizeField()->maximum(), 7);
        QVERIFY(display->backGroundCheck()->isChecked());
        QCOMPARE(display->backGroundFileEdit()->text(), QStringLiteral("wall.gif"));

        CTemplateTab* const tab = page->templateTab();
        QCOMPARE(tab->templateFileEdit()->text(), QStringLiteral("mail.html"));
        const QStringList tags{QStringLiteral("Postloom Body"),          QStringLiteral("Postloom Subject"),
                               QStringLiteral("A HREF=Postloom Parent"), QStringLiteral("A HREF=Postloom Child"),
                               QStringLiteral("A HREF=Postloom Next"),   QStringLiteral("A HREF=Postloom Prev"),
                               QStringLiteral("A HREF=Postloom Index")};
        for (std::size_t i = 0; i < kTagKeys.size(); ++i) {
            QCOMPARE(tab->tagField(i)->text(), tags[static_cast<int>(i)]);
            QVERIFY(tab->tagField(i)->isReadOnly());
            QCOMPARE(tab->changeButton(i)->text(), QStringLiteral("変更"));
        }

        QStringList texts;
        for (const QLabel* label : page->findChildren<QLabel*>())
            texts << label->text();
        for (const QAbstractButton* button : page->findChildren<QAbstractButton*>())
            texts << button->text();
        for (const QGroupBox* group : page->findChildren<QGroupBox*>())
            texts << group->title();
        for (const QString& expected :
             {QStringLiteral("ｸﾞﾗﾌｨｯｸﾌｧｲﾙ出力先 (指定しない場合はﾒｰﾙHTML出力先と同じﾊﾟｽ)"),
              QStringLiteral(" 表示形式 "), QStringLiteral("親/子/次/前/Indexへのﾘﾝｸを表示する"),
              QStringLiteral("ｻﾌﾞｼﾞｪｸﾄを表示する"), QStringLiteral("ﾃﾞﾌｫﾙﾄのﾌｫﾝﾄｻｲｽﾞを指定する"),
              QStringLiteral("背景ｲﾒｰｼﾞ"), QStringLiteral("詳細設定"), QStringLiteral("ﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙ名"),
              QStringLiteral(" 埋め込みﾀｸﾞ "), QStringLiteral("本文"), QStringLiteral("ｻﾌﾞｼﾞｪｸﾄ"),
              QStringLiteral("親へのﾘﾝｸ表示"), QStringLiteral("子へのﾘﾝｸ表示"), QStringLiteral("次へのﾘﾝｸ表示"),
              QStringLiteral("前へのﾘﾝｸ表示"), QStringLiteral("Indexへのﾘﾝｸ表示")})
            QVERIFY2(texts.contains(expected), qPrintable(expected));
        QCOMPARE(texts.count(QStringLiteral("参照")), 3);
    }

    void enablingFollowsTheCheckBoxes()
    {
        ProjectSettings document;
        PageSheet s(document, folder());
        CMailDisplayTab* const display = s.showMailPage()->displayTab();
        QVERIFY(!display->baseFontSizeField()->isEnabled());
        QVERIFY(!display->backGroundFileEdit()->isEnabled());
        QVERIFY(!display->backGroundBrowse()->isEnabled());
        display->baseFontCheck()->click();
        QVERIFY(display->baseFontSizeField()->isEnabled());
        display->backGroundCheck()->click();
        QVERIFY(display->backGroundFileEdit()->isEnabled());
        QVERIFY(display->backGroundBrowse()->isEnabled());
        display->backGroundCheck()->click();
        QVERIFY(!display->backGroundFileEdit()->isEnabled());
    }

    void okWritesEverySettingOfThePageAndTheySurviveSaving()
    {
        ProjectSettings document;
        document.Reset();
        document.MailWindowType = 1;
        ProjectSettings expected;
        expected.CopySettingsFrom(document);
        PageSheet s(document, folder());
        CProjectPage3* const page = s.showMailPage();

        page->imagePathEdit()->setText(QStringLiteral("画像"));
        page->windowTypeButton(0)->click();
        CMailDisplayTab* const display = page->displayTab();
        display->dispLinkCheck()->click();
        display->dispSubjectCheck()->click();
        display->baseFontCheck()->click();
        display->baseFontSizeField()->setValue(7);
        display->backGroundCheck()->click();
        display->backGroundFileEdit()->setText(QStringLiteral("bg.jpg"));
        CTemplateTab* const tab = page->templateTab();
        tab->templateFileEdit()->setText(QStringLiteral("tpl/mail.htm"));
        const std::array<QString, 7> tags{QStringLiteral("B"), QString(), QStringLiteral("A HREF=up"),
                                          QStringLiteral("A HREF=down"), QStringLiteral("A HREF=next"),
                                          QStringLiteral("A HREF=prev"), QStringLiteral("A HREF=目次")};
        for (std::size_t i = 0; i < tags.size(); ++i)
            ChangeTag(*tab, i, tags[i]);
        page->createTypeTabs()->setCurrentIndex(1);
        QVERIFY(s.pressOk());
        QVERIFY(s.prompts.notices.empty());

        QVERIFY(s.sheet->handBack(document).applied);
        expected.MailImagePath = Sjis(QStringLiteral("画像"));
        expected.MailWindowType = 0;
        expected.MailCreateType = 1;
        expected.DispLink = 1;
        expected.DispSubject = 1;
        expected.MailBaseFont = 1;
        expected.MailBaseFontSize = 7;
        expected.MailBackGround = 1;
        expected.MailBackGroundFile = "bg.jpg";
        expected.MailTemplateFile = "tpl/mail.htm";
        for (std::size_t i = 0; i < tags.size(); ++i)
            expected.*kTagKeys[i] = Sjis(tags[i]);
        QVERIFY(document.SettingsEqual(expected));
        QVERIFY(SurvivesSaveAndReload(document, folder()));
    }

    void cancelChangesNothing()
    {
        ProjectSettings document;
        document.Reset();
        ProjectSettings before;
        before.CopySettingsFrom(document);
        PageSheet s(document, folder());
        CProjectPage3* const page = s.showMailPage();
        page->windowTypeButton(1)->click();
        page->imagePathEdit()->setText(QStringLiteral("x"));
        ChangeTag(*page->templateTab(), 0, QString());
        WhenModal<CAppearanceDialog>([](CAppearanceDialog& details) {
            details.footerCheck()->click();
            details.okButton()->click();
        });
        page->displayTab()->detailsButton()->click();
        s.sheet->cancelButton()->click();
        QVERIFY(!s.sheet->handBack(document).applied);
        QVERIFY(document.SettingsEqual(before));
    }

    void windowTypeFollowsTheRadios()
    {
        ProjectSettings document;
        document.MailWindowType = 1;
        for (const int type : {0, 1}) {
            PageSheet s(document, folder());
            CProjectPage3* const page = s.showMailPage();
            QVERIFY(page->windowTypeButton(document.MailWindowType)->isChecked());
            page->windowTypeButton(type)->click();
            QVERIFY(s.pressOk());
            QVERIFY(s.sheet->handBack(document).applied);
            QCOMPARE(document.MailWindowType, type);
        }
    }

    void switchingOnlyTheTabStoresTheTemplateType()
    {
        ProjectSettings document;
        document.Reset();
        PageSheet s(document, folder());
        s.showMailPage()->createTypeTabs()->setCurrentIndex(1);
        QVERIFY(s.pressOk());
        QVERIFY(s.sheet->handBack(document).applied);
        QCOMPARE(document.MailCreateType, 1);
    }

    void noCheckOnLeaving()
    {
        ProjectSettings document;
        document.MailImagePath = in(QStringLiteral("missing/folder")).toStdString();
        document.MailTemplateFile = "missing.html";
        PageSheet s(document, folder());
        s.showMailPage();
        s.turnTo(1);
        QCOMPARE(s.sheet->tabs()->currentIndex(), 1);
        s.turnTo(2);
        QVERIFY(s.pressOk());
        QVERIFY(s.prompts.questions.empty());
        QVERIFY(s.prompts.notices.empty());
    }

    void emptyNumberFieldAtOkKeepsTheSheetOpen()
    {
        ProjectSettings document;
        document.Reset();
        document.MailBaseFont = 1;
        document.MailBaseFontSize = 2;
        PageSheet s(document, folder());
        CProjectPage3* const page = s.showMailPage();
        page->displayTab()->backGroundCheck()->click();
        page->displayTab()->backGroundFileEdit()->setText(QStringLiteral("wall.gif"));

        QSpinBox* const size = page->displayTab()->baseFontSizeField();
        size->setFocus();
        size->selectAll();
        QTest::keyClick(size, Qt::Key_Backspace);
        QTest::keyClick(size, Qt::Key_Return);
        QVERIFY(s.sheet->isVisible());
        QCOMPARE(s.prompts.notices.size(), std::size_t(1));
        QCOMPARE(s.prompts.notices[0].caption, QStringLiteral("Postloom"));
        QCOMPARE(s.prompts.notices[0].text, QStringLiteral("整数を入力してください。"));
        QCOMPARE(QApplication::focusWidget(), size);

        QTest::keyClicks(size, QStringLiteral("6"));
        QVERIFY(s.pressOk());
        s.sheet->handBack(document);
        QCOMPARE(document.MailBaseFontSize, 6);
        QCOMPARE(document.MailBackGround, 1);
        QCOMPARE(document.MailBackGroundFile, std::string("wall.gif"));
    }

    void emptySubjectTagSurvivesSavingAndLoading()
    {
        ProjectSettings document;
        document.Reset();
        PageSheet s(document, folder());
        CTemplateTab* const tab = s.showMailPage()->templateTab();
        WhenModal<CTagEditDialog>([](CTagEditDialog& editor) {
            editor.edit()->setText(QStringLiteral("typed"));
            editor.cancelButton()->click();
        });
        tab->changeButton(1)->click();
        QCOMPARE(tab->tagField(1)->text(), QStringLiteral("Postloom Subject"));
        ChangeTag(*tab, 1, QString());
        QCOMPARE(tab->tagField(1)->text(), QString());
        QVERIFY(s.pressOk());
        s.sheet->handBack(document);
        QCOMPARE(document.MailSubjectInsertTag, std::string());
        QCOMPARE(document.MailBodyInsertTag, std::string("Postloom Body"));
        QVERIFY(SurvivesSaveAndReload(document, folder()));
    }

    void browseButtonsOfferTheirFilesAndFolders()
    {
        ProjectSettings document;
        document.MailImagePath = "img";
        document.MailBackGround = 1;
        PageSheet s(document, folder());
        CProjectPage3* const page = s.showMailPage();
        s.prompts.chosenFolders = {in(QStringLiteral("pics"))};
        page->imagePathBrowse()->click();
        QCOMPARE(s.prompts.folderStarts.at(0), in(QStringLiteral("img")));
        QCOMPARE(page->imagePathEdit()->text(), in(QStringLiteral("pics")));

        s.prompts.chosenFiles = {in(QStringLiteral("b.jpg")), in(QStringLiteral("t.html"))};
        page->displayTab()->backGroundBrowse()->click();
        page->templateTab()->templateBrowse()->click();
        QCOMPARE(page->displayTab()->backGroundFileEdit()->text(), in(QStringLiteral("b.jpg")));
        QCOMPARE(page->templateTab()->templateFileEdit()->text(), in(QStringLiteral("t.html")));
        QCOMPARE(s.prompts.fileRequests.at(0).defaultSuffix, QStringLiteral("gif"));
        QCOMPARE(s.prompts.fileRequests.at(0).filters.at(0).label, QStringLiteral("ｸﾞﾗﾌｨｯｸﾌｧｲﾙ(*.gif;*.jpg)"));
        QCOMPARE(s.prompts.fileRequests.at(1).defaultSuffix, QStringLiteral("html"));
        QCOMPARE(s.prompts.fileRequests.at(1).filters.at(0).label, QStringLiteral("HTMLﾌｧｲﾙ(*.html;*.htm)"));
    }
};

}  // namespace postloom::test

QTEST_MAIN(postloom::test::MailSettingsPageTest)
#include "mail_settings_page_test.moc"
