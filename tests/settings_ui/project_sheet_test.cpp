// The property sheet with stand-in pages: when pages are shown, asked,
// saved, and what the document gets back.

#include "scripted_prompts.h"

#include "settings_ui/project_sheet.h"

#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <memory>

namespace postloom::test {

namespace {

// A page that records what the sheet does with it. Its save() puts its
// value into TargetPath.
class StubPage final : public CProjectPage {
public:
    StubPage(const ProjectPageContext& context, const QString& title) : CProjectPage(context, title) {}

    int loads = 0;
    int leaveChecks = 0;
    int saves = 0;
    bool allowLeave = true;
    bool valuesUsable = true;
    bool modifiedByLoad = false;
    std::string targetPath = "/mail";

    void edit() { setModified(); }

    bool checkOnLeave() override
    {
        ++leaveChecks;
        return allowLeave;
    }
    bool takeValues() override { return valuesUsable; }
    void save() override
    {
        ++saves;
        settings().TargetPath = targetPath;
    }

protected:
    void load() override
    {
        ++loads;
        if (modifiedByLoad)
            setModified();
    }
};

struct SheetWithTwoPages {
    explicit SheetWithTwoPages(const ProjectSettings& document)
        : sheet(document, "/project", prompts)
    {
        auto one = std::make_unique<StubPage>(sheet.pageContext(), QStringLiteral("one"));
        auto two = std::make_unique<StubPage>(sheet.pageContext(), QStringLiteral("two"));
        first = one.get();
        second = two.get();
        sheet.addPage(std::move(one));
        sheet.addPage(std::move(two));
    }

    ScriptedPrompts prompts;
    CProjectSheet sheet;
    StubPage* first;
    StubPage* second;
};

}  // namespace

class ProjectSheetTest : public QObject {
    Q_OBJECT

private slots:
    void hasCaptionAndOnlyOkAndCancel()
    {
        const ProjectSettings document;
        SheetWithTwoPages s(document);
        QCOMPARE(s.sheet.windowTitle(), QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ ｼｰﾄ"));
        QCOMPARE(s.sheet.okButton()->text(), QStringLiteral("OK"));
        QCOMPARE(s.sheet.cancelButton()->text(), QStringLiteral("ｷｬﾝｾﾙ"));
        QCOMPARE(s.sheet.findChildren<QPushButton*>().size(), 2);
        QCOMPARE(s.sheet.tabs()->tabText(0), QStringLiteral("one"));
        QCOMPARE(s.sheet.tabs()->tabText(1), QStringLiteral("two"));
    }

    void workingCopyTakesSettingsButNotMails()
    {
        ProjectSettings document;
        document.Title = "title";
        document.DateFont = 5;
        document.mailList.push_back(std::make_unique<MailRecord>());
        document.mailListChanged = 1;
        SheetWithTwoPages s(document);
        QVERIFY(s.sheet.workingCopy().SettingsEqual(document));
        QVERIFY(s.sheet.workingCopy().mailList.empty());
        QCOMPARE(s.sheet.workingCopy().mailListChanged, 0);
    }

    void opensOnFirstPageAndSavesOnlyShownPages()
    {
        const ProjectSettings document;
        SheetWithTwoPages s(document);
        QCOMPARE(s.first->loads, 0);  // not before the sheet is shown
        s.sheet.show();
        QCOMPARE(s.sheet.tabs()->currentIndex(), 0);
        QCOMPARE(s.first->loads, 1);
        QCOMPARE(s.second->loads, 0);

        s.sheet.okButton()->click();
        QCOMPARE(s.sheet.result(), int(QDialog::Accepted));
        QCOMPARE(s.first->leaveChecks, 1);
        QCOMPARE(s.first->saves, 1);
        QCOMPARE(s.second->leaveChecks, 0);
        QCOMPARE(s.second->saves, 0);
    }

    void leavingAPageNeedsItsCheck()
    {
        const ProjectSettings document;
        SheetWithTwoPages s(document);
        s.sheet.show();

        s.first->allowLeave = false;
        s.sheet.tabs()->setCurrentIndex(1);
        QCOMPARE(s.sheet.tabs()->currentIndex(), 0);
        QCOMPARE(s.first->leaveChecks, 1);
        QCOMPARE(s.second->loads, 0);

        s.first->allowLeave = true;
        s.sheet.tabs()->setCurrentIndex(1);
        QCOMPARE(s.sheet.tabs()->currentIndex(), 1);
        QCOMPARE(s.second->loads, 1);

        // Back and forth: each page is filled once, and the one being left
        // is the one asked.
        s.sheet.tabs()->setCurrentIndex(0);
        s.sheet.tabs()->setCurrentIndex(1);
        QCOMPARE(s.first->loads, 1);
        QCOMPARE(s.second->loads, 1);
        QCOMPARE(s.first->leaveChecks, 3);
        QCOMPARE(s.second->leaveChecks, 1);

        s.sheet.okButton()->click();
        QCOMPARE(s.second->leaveChecks, 2);
        QCOMPARE(s.first->leaveChecks, 3);
        QCOMPARE(s.first->saves, 1);
        QCOMPARE(s.second->saves, 1);
    }

    void okStaysOpenWhileThePageOnDisplayRefuses()
    {
        ProjectSettings document;
        SheetWithTwoPages s(document);
        s.sheet.show();
        s.first->edit();
        s.first->allowLeave = false;
        s.sheet.okButton()->click();
        QVERIFY(s.sheet.isVisible());
        QCOMPARE(s.first->saves, 0);

        s.sheet.cancelButton()->click();
        QVERIFY(!s.sheet.isVisible());
        QVERIFY(!s.sheet.handBack(document).applied);
        QVERIFY(document.TargetPath.empty());
    }

    void okStaysOpenOnAPageWithAnUnusableValue()
    {
        const ProjectSettings document;
        SheetWithTwoPages s(document);
        s.sheet.show();
        s.sheet.tabs()->setCurrentIndex(1);
        s.sheet.tabs()->setCurrentIndex(0);
        s.second->valuesUsable = false;

        s.sheet.okButton()->click();
        QVERIFY(s.sheet.isVisible());
        QCOMPARE(s.sheet.tabs()->currentIndex(), 1);
        QCOMPARE(s.first->saves, 0);
        QCOMPARE(s.second->saves, 0);

        // Now on the second page: OK asks it, and it may go.
        s.second->valuesUsable = true;
        s.sheet.okButton()->click();
        QCOMPARE(s.sheet.result(), int(QDialog::Accepted));
        QCOMPARE(s.second->leaveChecks, 2);
        QCOMPARE(s.first->saves, 1);
        QCOMPARE(s.second->saves, 1);
    }

    void handBack_data()
    {
        QTest::addColumn<bool>("pressOk");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<QString>("pageTargetPath");
        QTest::addColumn<bool>("applied");
        QTest::addColumn<bool>("targetPathChanged");

        QTest::newRow("ok-unmodified") << true << false << QStringLiteral("/other") << false << false;
        QTest::newRow("ok-same-folder") << true << true << QStringLiteral("/mail") << true << false;
        QTest::newRow("ok-new-folder") << true << true << QStringLiteral("/other") << true << true;
        QTest::newRow("cancel-modified") << false << true << QStringLiteral("/other") << false << false;
    }

    void handBack()
    {
        QFETCH(bool, pressOk);
        QFETCH(bool, modified);
        QFETCH(QString, pageTargetPath);
        QFETCH(bool, applied);
        QFETCH(bool, targetPathChanged);

        ProjectSettings document;
        document.TargetPath = "/mail";
        document.mailList.push_back(std::make_unique<MailRecord>());
        document.mailListChanged = 1;
        SheetWithTwoPages s(document);
        s.sheet.show();
        s.first->targetPath = pageTargetPath.toStdString();
        if (modified)
            s.first->edit();
        (pressOk ? s.sheet.okButton() : s.sheet.cancelButton())->click();

        QCOMPARE(s.sheet.changed(), modified);
        const ProjectSheetHandBack back = s.sheet.handBack(document);
        QCOMPARE(back.applied, applied);
        QCOMPARE(back.targetPathChanged, targetPathChanged);
        QCOMPARE(QString::fromStdString(document.TargetPath),
                 applied ? pageTargetPath : QStringLiteral("/mail"));
        QCOMPARE(document.mailList.size(), std::size_t{1});
        QCOMPARE(document.mailListChanged, 1);
    }

    void pageModifiedByItsFirstDisplayCountsAsChange()
    {
        ProjectSettings document;
        SheetWithTwoPages s(document);
        s.second->modifiedByLoad = true;
        s.sheet.show();
        s.sheet.okButton()->click();
        QVERIFY(!s.sheet.changed());  // never shown

        SheetWithTwoPages shown(document);
        shown.second->modifiedByLoad = true;
        shown.sheet.show();
        shown.sheet.tabs()->setCurrentIndex(1);
        shown.sheet.okButton()->click();
        QVERIFY(shown.sheet.changed());
        QVERIFY(shown.sheet.handBack(document).applied);
    }
};

}  // namespace postloom::test

QTEST_MAIN(postloom::test::ProjectSheetTest)
#include "project_sheet_test.moc"
