// ﾌｧｲﾙ → ｲﾝﾎﾟｰﾄ...: an mbox becomes a mail folder, the outcome shows in the
// status bar and the problem list, and a project for the folder is offered.

#include "app/command_ids.h"
#include "desktop_test_support.h"
#include "settings_ui/project_page1.h"
#include "settings_ui/project_sheet.h"

#include <QDir>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace postloom {

using test::ReadBytes;
using test::TestProgram;
using test::WriteBytes;

namespace {

QByteArray Mbox(int mails)
{
    QByteArray mbox;
    for (int n = 1; n <= mails; ++n) {
        const QByteArray id = QByteArray::number(n);
        mbox += "From sender@example.jp Mon Jan  5 10:00:00 2004\n"
                "Message-Id: <" + id + "@example.jp>\nSubject: mail " + id +
                "\nDate: Mon, 05 Jan 2004 10:00:0" + id + " +0900\n\n>From the list\nbody " + id + "\n\n";
    }
    return mbox;
}

}  // namespace

class ImportCommandTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mboxBecomesAMailFolderAndANewProjectReadsIt()
    {
        QTemporaryDir dir;
        const QString mbox = dir.filePath(QStringLiteral("list.mbox"));
        const QString folder = dir.filePath(QStringLiteral("mail"));
        QVERIFY(WriteBytes(mbox, Mbox(3)));

        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        QString shownFolder;
        app.document().setSheetRunner([&](CProjectSheet& sheet) {
            sheet.show();  // a page shows its settings when first displayed
            const auto* page = dynamic_cast<CProjectPage1*>(sheet.tabs()->widget(0));
            shownFolder = page ? page->targetPathEdit()->text() : QString();
            return int{QDialog::Rejected};
        });
        program.prompts->chosenFiles.push_back(mbox);
        program.prompts->chosenFolders.push_back(folder);
        program.prompts->answers.push_back(Answer::Yes);

        QVERIFY(app.context().commands().send(ID_FILE_IMPORT));
        // Each mail in a file of its own, CR LF, its quoting undone.
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{QStringLiteral("00001.alm"), QStringLiteral("00002.alm"), QStringLiteral("00003.alm")}));
        QVERIFY(ReadBytes(QDir(folder).filePath(QStringLiteral("00002.alm"))).endsWith("\r\nFrom the list\r\nbody 2\r\n"));
        QCOMPARE(app.frame().runSummary(), QStringLiteral("3通をｲﾝﾎﾟｰﾄしました (0通は取り込み済み)"));
        QVERIFY(app.context().problems().problems().isEmpty());

        // The new project reads the folder: the sheet showed it, and the
        // mails are read once the sheet has closed.
        QCOMPARE(shownFolder, QDir::toNativeSeparators(folder));
        QTRY_COMPARE(app.document().settings().mailList.size(), std::size_t{3});
        QCOMPARE(app.document().settings().MailExt, std::string("*.alm"));
        QVERIFY(app.document().isModified());
        QCOMPARE(app.document().settings().MimeDecode, 1);
    }

    void secondImportAddsNothingAndOffersNothing()
    {
        QTemporaryDir dir;
        const QString mbox = dir.filePath(QStringLiteral("list.mbox"));
        const QString folder = dir.filePath(QStringLiteral("mail"));
        QVERIFY(WriteBytes(mbox, Mbox(2)));

        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        for (int run = 0; run < 2; ++run) {
            program.prompts->chosenFiles.push_back(mbox);
            program.prompts->chosenFolders.push_back(folder);
            QVERIFY(app.context().commands().send(ID_FILE_IMPORT));
        }
        QCOMPARE(app.frame().runSummary(), QStringLiteral("0通をｲﾝﾎﾟｰﾄしました (2通は取り込み済み)"));
        // The offer came after the first import only, and was declined.
        QCOMPARE(program.prompts->asked.filter(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄを作成しますか")).size(), 1);
        QVERIFY(app.document().settings().TargetPath.empty());
    }

    void unreadableSourceIsListedAndCancelStopsEarly()
    {
        QTemporaryDir dir;
        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();

        // Cancel in the folder dialog: nothing happens.
        program.prompts->chosenFiles.push_back(dir.filePath(QStringLiteral("list.mbox")));
        QVERIFY(app.context().commands().send(ID_FILE_IMPORT));
        QVERIFY(!QDir(dir.filePath(QStringLiteral("mail"))).exists());

        program.prompts->chosenFiles.push_back(dir.filePath(QStringLiteral("missing.mbox")));
        program.prompts->chosenFolders.push_back(dir.filePath(QStringLiteral("mail")));
        QVERIFY(app.context().commands().send(ID_FILE_IMPORT));
        QCOMPARE(app.context().problems().problems().size(), 1);
        QVERIFY(app.context().problems().problems().front().contains(QStringLiteral("missing.mbox")));
        QVERIFY(!QDir(dir.filePath(QStringLiteral("mail"))).exists());
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::ImportCommandTest)
#include "import_command_test.moc"
