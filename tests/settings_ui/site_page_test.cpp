// The site page in its sheet: the page style and the address setting shown,
// written back and kept in the project file, and the preview that follows
// the choice.

#include "page_sheet.h"

#include "settings_ui/project_page4.h"

#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace postloom::test {

class SitePageTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;

    static CProjectPage4* showSitePage(PageSheet& s)
    {
        s.turnTo(3);
        return dynamic_cast<CProjectPage4*>(s.sheet->tabs()->currentWidget());
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void pageShowsBothSettingsAndThePreviewFollowsTheChoice()
    {
        ProjectSettings document;
        document.Reset();
        document.PageStyle = 1;
        document.HideAddresses = 2;
        PageSheet s(document, dir_->path());
        QCOMPARE(s.sheet->tabs()->tabText(3), QStringLiteral("ｻｲﾄ"));
        CProjectPage4* const page = showSitePage(s);
        QVERIFY(page != nullptr);
        QVERIFY(page->pageStyleButton(1)->isChecked());
        QVERIFY(page->hideAddressesButton(2)->isChecked());
        QCOMPARE(page->preview()->text(),
                 QStringLiteral("送信者:  <(アドレス非表示)>\n本文:  > 山田 さんは書きました:"));

        page->hideAddressesButton(1)->click();
        QCOMPARE(page->preview()->text(),
                 QStringLiteral("送信者:  <taro@…>\n本文:  > 山田 <taro@…> さんは書きました:"));
        page->hideAddressesButton(0)->click();
        QVERIFY(page->preview()->text().startsWith(QStringLiteral("送信者:  <taro@example.jp>\n")));
    }

    void okWritesBothChoicesIntoTheProject()
    {
        ProjectSettings document;
        document.Reset();
        PageSheet s(document, dir_->path());
        CProjectPage4* const page = showSitePage(s);
        QVERIFY(page->pageStyleButton(0)->isChecked());
        QVERIFY(page->hideAddressesButton(0)->isChecked());
        page->pageStyleButton(1)->click();
        page->hideAddressesButton(2)->click();
        QVERIFY(s.pressOk());
        QVERIFY(s.sheet->handBack(document).applied);
        QCOMPARE(document.PageStyle, 1);
        QCOMPARE(document.HideAddresses, 2);
        QVERIFY(SurvivesSaveAndReload(document, dir_->path()));
    }

    void lookingOnlyChangesNothingAndAValueWithoutAButtonIsKept()
    {
        ProjectSettings document;
        document.Reset();
        document.HideAddresses = 9;
        PageSheet s(document, dir_->path());
        CProjectPage4* const page = showSitePage(s);
        QVERIFY(!page->hideAddressesButton(0)->isChecked() && !page->hideAddressesButton(1)->isChecked() &&
                !page->hideAddressesButton(2)->isChecked());
        // Pages treat an unknown value as masked, and so does the preview.
        QVERIFY(page->preview()->text().startsWith(QStringLiteral("送信者:  <taro@…>")));
        QVERIFY(s.pressOk());
        QVERIFY(!s.sheet->changed());
        QCOMPARE(s.sheet->workingCopy().HideAddresses, 9);
    }
};

}  // namespace postloom::test

QTEST_MAIN(postloom::test::SitePageTest)
#include "site_page_test.moc"
