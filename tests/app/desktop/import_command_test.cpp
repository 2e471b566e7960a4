// ﾌｧｲﾙ → ｲﾝﾎﾟｰﾄ...: an mbox becomes a mail folder, new or not, read in the
// format chosen, while the status bar shows the progress and the stop
// button; the outcome shows in the status bar and the problem list, and a
// project for the folder is offered.

#include "app/command_ids.h"
#include "app/desktop/import_dialog.h"
#include "../english_problems.h"
#include "desktop_test_support.h"
#include "settings_ui/project_page1.h"
#include "settings_ui/project_sheet.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace postloom {

using test::English;
using test::kPatience;
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

// Runs the command and waits for the import to end.
bool Import(CPostloomApp& app, int id = ID_FILE_IMPORT)
{
    return app.context().commands().send(id) &&
           QTest::qWaitFor([&] { return !app.importCommand().running() && !app.document().locked(); }, kPatience);
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
        program.prompts->importChoices.push_back({folder, MboxVariant::Mboxrd});
        program.prompts->answers.push_back(Answer::Yes);

        QSignalSpy runs(&app.context().problems(), &ProblemLog::runEnded);
        QVERIFY(Import(app));
        QCOMPARE(program.prompts->importRequests.size(), std::size_t{1});
        QCOMPARE(program.prompts->importRequests.front().source, mbox);
        QVERIFY(program.prompts->importRequests.front().mbox);
        // Each mail in a file of its own, CR LF, its quoting undone.
        QCOMPARE(QDir(folder).entryList(QDir::Files),
                 (QStringList{QStringLiteral("00001.alm"), QStringLiteral("00002.alm"), QStringLiteral("00003.alm")}));
        QVERIFY(ReadBytes(QDir(folder).filePath(QStringLiteral("00002.alm"))).endsWith("\r\nFrom the list\r\nbody 2\r\n"));
        // The import's run ended first; the new project's reading after it.
        QVERIFY(!runs.isEmpty());
        QCOMPARE(runs.first().first().toString(),
                 QStringLiteral("3通をｲﾝﾎﾟｰﾄしました (0通は取り込み済み、>Fromの引用を外した行 3 [mboxrd])"));
        QVERIFY(app.context().problems().problems().empty());

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
            program.prompts->importChoices.push_back({folder, MboxVariant::Mboxrd});
            QVERIFY(Import(app));
        }
        QCOMPARE(app.frame().runSummary(),
                 QStringLiteral("0通をｲﾝﾎﾟｰﾄしました (2通は取り込み済み、>Fromの引用を外した行 0 [mboxrd])"));
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

        // Cancel in the import dialog: nothing happens.
        program.prompts->chosenFiles.push_back(dir.filePath(QStringLiteral("list.mbox")));
        QVERIFY(app.context().commands().send(ID_FILE_IMPORT));
        QVERIFY(!app.importCommand().running());
        QVERIFY(!QDir(dir.filePath(QStringLiteral("mail"))).exists());

        program.prompts->chosenFiles.push_back(dir.filePath(QStringLiteral("missing.mbox")));
        program.prompts->importChoices.push_back({dir.filePath(QStringLiteral("mail")), MboxVariant::Mboxrd});
        QVERIFY(Import(app));
        QCOMPARE(app.context().problems().problems().size(), std::size_t{1});
        QVERIFY(English(app.context().problems().problems()).front().contains(QStringLiteral("missing.mbox")));
        QVERIFY(!QDir(dir.filePath(QStringLiteral("mail"))).exists());
    }

    void formatChosenDecidesWhichQuotedLinesAreUndone()
    {
        QTemporaryDir dir;
        const QString mbox = dir.filePath(QStringLiteral("python.mbox"));
        // As an mboxo writer leaves a ">From " the mail itself held.
        QVERIFY(WriteBytes(mbox, "From a@example.jp Mon Jan  5 10:00:00 2004\nSubject: q\n\n"
                                 ">From the list\n>From a quote\n"));
        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        program.prompts->chosenFiles.push_back(mbox);
        program.prompts->importChoices.push_back({dir.filePath(QStringLiteral("o")), MboxVariant::Mboxo});
        QVERIFY(Import(app));
        QCOMPARE(ReadBytes(dir.filePath(QStringLiteral("o/00001.alm"))),
                 QByteArray("Subject: q\r\n\r\nFrom the list\r\nFrom a quote\r\n"));
        QVERIFY(app.frame().runSummary().endsWith(QStringLiteral("行 2 [mboxo])")));

        // A folder of .eml files has no format to choose, and nothing is
        // unquoted.
        const QString saved = dir.filePath(QStringLiteral("saved"));
        QVERIFY(QDir().mkpath(saved));
        QVERIFY(WriteBytes(saved + QStringLiteral("/a.eml"), "Subject: a\n\n>From here\n"));
        QVERIFY(QFile::link(mbox, saved + QStringLiteral("/b.eml")));
        program.prompts->chosenFolders.push_back(saved);
        program.prompts->importChoices.push_back({dir.filePath(QStringLiteral("eml")), MboxVariant::Mboxrd});
        QVERIFY(Import(app, ID_FILE_IMPORT_FOLDER));
        QVERIFY(!program.prompts->importRequests.back().mbox);
        QCOMPARE(ReadBytes(dir.filePath(QStringLiteral("eml/00001.alm"))), QByteArray("Subject: a\r\n\r\n>From here\r\n"));
        QCOMPARE(app.frame().runSummary(), QStringLiteral("1通をｲﾝﾎﾟｰﾄしました (0通は取り込み済み)"));
        // The link was not read, but named.
        QCOMPARE(English(app.context().problems().notices()),
                 QStringList{QStringLiteral("passed over a symbolic link: %1/b.eml").arg(saved)});
        QVERIFY(app.context().problems().problems().empty());
    }

    void progressShowsAndTheStopButtonEndsTheImport()
    {
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("saved"));
        QVERIFY(QDir().mkpath(saved));
        for (int n = 0; n < 5; ++n) {
            QVERIFY(WriteBytes(saved + QStringLiteral("/%1.eml").arg(n), "Subject: " + QByteArray::number(n) + "\n\n"));
        }
        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        CMainFrame& frame = app.frame();
        QSignalSpy moves(frame.progressBar(), &QProgressBar::valueChanged);

        // A whole import: the bar takes the range of the files, the window
        // stays live, and the bar goes when the import ends.
        program.prompts->chosenFolders.push_back(saved);
        program.prompts->importChoices.push_back({dir.filePath(QStringLiteral("all")), MboxVariant::Mboxrd});
        QVERIFY(app.context().commands().send(ID_FILE_IMPORT_FOLDER));
        QVERIFY(frame.isEnabled());
        QVERIFY(app.document().locked());
        QVERIFY(!app.context().commands().isEnabled(ID_FILE_IMPORT));
        QVERIFY(QTest::qWaitFor([&] { return !app.importCommand().running(); }, kPatience));
        QVERIFY(!moves.isEmpty());
        QCOMPARE(frame.progressBar()->maximum(), 5);
        QVERIFY(!frame.progressLayout());
        QCOMPARE(QDir(dir.filePath(QStringLiteral("all"))).entryList(QDir::Files).size(), 5);

        // Stopped: the worker waits for its first report to be shown, so the
        // stop comes before its first mail.
        program.prompts->chosenFolders.push_back(saved);
        program.prompts->importChoices.push_back({dir.filePath(QStringLiteral("stopped")), MboxVariant::Mboxrd});
        QVERIFY(app.context().commands().send(ID_FILE_IMPORT_FOLDER));
        frame.updateCommandUi();
        QVERIFY(frame.stopAction().isEnabled());
        frame.stopAction().trigger();
        QVERIFY(QTest::qWaitFor([&] { return !app.importCommand().running() && !app.document().locked(); }, kPatience));
        QVERIFY(English(app.context().problems().problems())
                    .contains(QStringLiteral("the import was stopped before its end")));
        QVERIFY(QDir(dir.filePath(QStringLiteral("stopped"))).entryList(QDir::Files).isEmpty());
        QVERIFY(!frame.progressLayout());
        // Only the whole import offered a project.
        QCOMPARE(program.prompts->asked.filter(QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄを作成しますか")).size(), 1);
    }

    void dialogOffersTheFormatAndANewFolder()
    {
        QTemporaryDir dir;
        test::ScriptedDesktopPrompts prompts;
        const QString mbox = dir.filePath(QStringLiteral("list.mbox"));
        CImportDialog dialog(nullptr, {mbox, true}, prompts);
        // Offered: a new folder beside the mbox, and mboxrd.
        QCOMPARE(QDir::fromNativeSeparators(dialog.folderEdit()->text()), dir.filePath(QStringLiteral("list_mail")));
        QVERIFY(dialog.mboxrdButton()->isChecked());
        QCOMPARE(dialog.choice().mboxVariant, MboxVariant::Mboxrd);
        dialog.mboxoButton()->click();
        // A relative folder counts from the mbox's folder.
        dialog.folderEdit()->setText(QStringLiteral("lists/users"));
        QCOMPARE(dialog.choice().folder, dir.filePath(QStringLiteral("lists/users")));
        QCOMPARE(dialog.choice().mboxVariant, MboxVariant::Mboxo);

        // A folder that does not exist is made only when the user says so.
        dialog.okButton()->click();
        QCOMPARE(prompts.asked.size(), 1);
        QVERIFY(prompts.asked.front().contains(QStringLiteral("作成しますか")));
        QCOMPARE(dialog.result(), int{QDialog::Rejected});
        prompts.answers.push_back(Answer::Yes);
        dialog.okButton()->click();
        QCOMPARE(dialog.result(), int{QDialog::Accepted});

        // An existing folder is taken without a question.
        CImportDialog existing(nullptr, {mbox, true}, prompts);
        existing.folderEdit()->setText(dir.path());
        existing.okButton()->click();
        QCOMPARE(existing.result(), int{QDialog::Accepted});
        QCOMPARE(prompts.asked.size(), 2);
    }

    void dialogForAFolderHasNoFormatAndNeedsAFolderName()
    {
        QTemporaryDir dir;
        test::ScriptedDesktopPrompts prompts;
        CImportDialog dialog(nullptr, {dir.filePath(QStringLiteral("Maildir")), false}, prompts);
        QCOMPARE(dialog.mboxrdButton(), nullptr);
        QCOMPARE(dialog.mboxoButton(), nullptr);
        dialog.folderEdit()->clear();
        QVERIFY(!dialog.okButton()->isEnabled());
        // The picker starts at the nearest folder that exists.
        prompts.chosenFolders.push_back(dir.filePath(QStringLiteral("picked")));
        dialog.folderEdit()->setText(dir.filePath(QStringLiteral("new/deeper")));
        dialog.browseButton()->click();
        QCOMPARE(QDir::fromNativeSeparators(dialog.folderEdit()->text()), dir.filePath(QStringLiteral("picked")));
        QVERIFY(dialog.okButton()->isEnabled());
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::ImportCommandTest)
#include "import_command_test.moc"
