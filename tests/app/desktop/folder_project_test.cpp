// ﾌｧｲﾙ → ﾌｫﾙﾀﾞから新規作成...: from a folder of mail to a project that is
// read, threaded and saved, with the sheet in between for review; Maildir
// and mbox go through the import first; an empty window offers the start;
// after the first pages the status bar offers the index page; the help has
// a page that walks through it.

#include "app/command_ids.h"
#include "desktop_test_support.h"
#include "settings_ui/project_page1.h"
#include "settings_ui/project_sheet.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>

namespace postloom {

using test::kPatience;
using test::TestProgram;
using test::WriteBytes;

namespace {

QByteArray Mail(int n, const QByteArray& inReplyTo = {})
{
    const QByteArray id = QByteArray::number(n);
    QByteArray mail = "From: taro@example.jp\r\nSubject: mail " + id + "\r\nMessage-Id: <" + id +
                      "@example.jp>\r\nDate: Mon, 05 Jan 2004 10:00:0" + id + " +0900\r\n";
    if (!inReplyTo.isEmpty())
        mail += "In-Reply-To: <" + inReplyTo + "@example.jp>\r\n";
    return mail + "\r\nbody " + id + "\r\n";
}

bool WriteMails(const QString& folder, const QString& suffix, int first, int count)
{
    if (!QDir().mkpath(folder))
        return false;
    for (int n = first; n < first + count; ++n) {
        if (!WriteBytes(folder + QStringLiteral("/%1").arg(n) + suffix, Mail(n, n > first ? QByteArray::number(first) : QByteArray())))
            return false;
    }
    return true;
}

// What the File page showed when the sheet opened for review.
struct Review {
    int sheets = 0;
    QString title;
    QString pattern;
    QString folder;
    QString index;
    QString pages;
    QString count;
};

// Shows the sheet, takes down what the File page shows, and ends it with
// OK (when ok is set) or ｷｬﾝｾﾙ.
void ReviewSheets(CPostloomApp& app, Review& review, bool ok = true)
{
    app.document().setSheetRunner([&review, ok](CProjectSheet& sheet) {
        sheet.show();
        const auto* page = dynamic_cast<CProjectPage1*>(sheet.tabs()->widget(0));
        ++review.sheets;
        if (page != nullptr) {
            review.title = page->titleEdit()->text();
            review.pattern = page->mailExtEdit()->text();
            review.folder = page->targetPathEdit()->text();
            review.index = page->indexPathEdit()->text();
            review.pages = page->mailPathEdit()->text();
            review.count = page->matchCountLabel()->text();
        }
        (ok ? sheet.okButton() : sheet.cancelButton())->click();
        return sheet.result();
    });
}

// Mail folders of several kinds in a folder of their own.
class Folders {
public:
    bool valid() const { return dir_.isValid(); }
    QString path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

bool Idle(CPostloomApp& app)
{
    return QTest::qWaitFor([&] { return !app.document().locked() && !app.importCommand().running(); }, kPatience);
}

}  // namespace

class FolderProjectTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aFolderOfMailBecomesAReadThreadedSavedProject()
    {
        Folders folders;
        const QString mail = folders.path(QStringLiteral("ml"));
        QVERIFY(WriteMails(mail, QStringLiteral(".alm"), 1, 3));

        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        Review review;
        ReviewSheets(app, review);
        program.prompts->chosenFolders.push_back(mail);
        // The sheet asks to make the site's folder and its page folder.
        program.prompts->answers = {Answer::Yes, Answer::Yes};
        const QString saved = folders.path(QStringLiteral("ml.plp"));
        program.prompts->projectsToSave.push_back(saved);

        QVERIFY(app.context().commands().send(ID_FILE_NEW_FROM_FOLDER));
        QCOMPARE(review.sheets, 1);
        QCOMPARE(review.title, QStringLiteral("ml"));
        QCOMPARE(review.pattern, QStringLiteral("*.alm"));
        QCOMPARE(review.folder, mail);
        QCOMPARE(review.index, folders.path(QStringLiteral("ml-site/index.html")));
        QCOMPARE(review.pages, QStringLiteral("pages"));
        QCOMPARE(review.count, QStringLiteral("該当ﾌｧｲﾙ: 3"));

        QTRY_VERIFY_WITH_TIMEOUT(app.document().pathName() == saved, kPatience);
        QCOMPARE(program.prompts->suggestedSaves, QStringList{saved});
        QVERIFY(QDir(folders.path(QStringLiteral("ml-site/pages"))).exists());
        QVERIFY(app.document().treeBuilt());
        QCOMPARE(app.document().settings().mailList.size(), std::size_t{3});
        // One thread: the first mail with its two replies.
        const ThreadTree& tree = app.view().treeModel().Tree();
        QCOMPARE(tree.ChildCount(tree.Root()), 1);
        QVERIFY(!app.document().isModified());
        QVERIFY(QFile::exists(saved));
        const ProjectSettings& settings = app.document().settings();
        QCOMPARE(settings.DispLink, 1);
        QCOMPARE(settings.OutFrom, 1);
        QCOMPARE(PageStyleOf(settings), PageStyleKind::Modern);
    }

    void thePatternFollowsTheMailFiles_data()
    {
        QTest::addColumn<QStringList>("suffixes");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("count");
        QTest::newRow("eml") << QStringList{QStringLiteral(".eml")} << QList<int>{2} << QStringLiteral("*.eml")
                             << QStringLiteral("該当ﾌｧｲﾙ: 2");
        QTest::newRow("numbered") << QStringList{QString()} << QList<int>{4} << QStringLiteral("*")
                                  << QStringLiteral("該当ﾌｧｲﾙ: 4");
        QTest::newRow("mixed") << QStringList{QStringLiteral(".eml"), QStringLiteral(".alm")} << QList<int>{2, 3}
                               << QStringLiteral("*.alm") << QStringLiteral("該当ﾌｧｲﾙ: 3");
    }

    void thePatternFollowsTheMailFiles()
    {
        QFETCH(QStringList, suffixes);
        QFETCH(QList<int>, counts);
        QFETCH(QString, pattern);
        QFETCH(QString, count);
        Folders folders;
        const QString mail = folders.path(QStringLiteral("box"));
        for (qsizetype i = 0; i < suffixes.size(); ++i)
            QVERIFY(WriteMails(mail, suffixes[i], 10 * static_cast<int>(i) + 1, counts[i]));

        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        Review review;
        ReviewSheets(app, review, false);
        program.prompts->chosenFolders.push_back(mail);
        QVERIFY(app.context().commands().send(ID_FILE_NEW_FROM_FOLDER));
        QCOMPARE(review.sheets, 1);
        QCOMPARE(review.pattern, pattern);
        QCOMPARE(review.count, count);
        // ｷｬﾝｾﾙ makes nothing: an empty new project, nothing read.
        QCOMPARE(app.document().title(), kUntitledProject);
        QVERIFY(app.document().settings().TargetPath.empty());
        QVERIFY(!app.document().isModified());
        QVERIFY(!app.document().busy());
        QVERIFY(!QDir(folders.path(QStringLiteral("box-site"))).exists());
    }

    void aMaildirIsImportedFirstAndTheProjectReadsTheImport()
    {
        Folders folders;
        const QString maildir = folders.path(QStringLiteral("Maildir"));
        QVERIFY(WriteMails(maildir + QStringLiteral("/cur"), QStringLiteral(".host:2,S"), 1, 2));
        QVERIFY(QDir().mkpath(maildir + QStringLiteral("/new")));
        const QString imported = folders.path(QStringLiteral("imported"));

        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        Review review;
        ReviewSheets(app, review, false);
        program.prompts->chosenFolders.push_back(maildir);
        program.prompts->answers = {Answer::Yes};
        program.prompts->importChoices.push_back({imported, MboxVariant::Mboxrd});

        QVERIFY(app.context().commands().send(ID_FILE_NEW_FROM_FOLDER));
        QVERIFY(program.prompts->asked.join(QLatin1Char('\n')).contains(QStringLiteral("は Maildir です")));
        QCOMPARE(program.prompts->importRequests.size(), std::size_t{1});
        QCOMPARE(program.prompts->importRequests[0].source, maildir);
        QVERIFY(!program.prompts->importRequests[0].mbox);
        QTRY_COMPARE_WITH_TIMEOUT(review.sheets, 1, kPatience);
        QCOMPARE(review.folder, imported);
        QCOMPARE(review.pattern, QStringLiteral("*.alm"));
        QCOMPARE(review.count, QStringLiteral("該当ﾌｧｲﾙ: 2"));
        QVERIFY(Idle(app));
    }

    void anMboxIsOfferedForImportAndDecliningMakesNothing()
    {
        Folders folders;
        const QString folder = folders.path(QStringLiteral("archive"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(WriteBytes(folder + QStringLiteral("/list.mbox"),
                           "From taro@example.jp Mon Jan  5 10:00:00 2004\n" + Mail(1)));

        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        Review review;
        ReviewSheets(app, review, false);
        program.prompts->chosenFolders.push_back(folder);
        program.prompts->answers = {Answer::Yes};
        QVERIFY(app.context().commands().send(ID_FILE_NEW_FROM_FOLDER));
        // Import dialog cancelled: no import, no sheet.
        QCOMPARE(program.prompts->importRequests.size(), std::size_t{1});
        QCOMPARE(program.prompts->importRequests[0].source, folder + QStringLiteral("/list.mbox"));
        QVERIFY(program.prompts->importRequests[0].mbox);
        QVERIFY(!app.importCommand().running());

        program.prompts->chosenFolders.push_back(folder);
        program.prompts->answers = {Answer::No};
        QVERIFY(app.context().commands().send(ID_FILE_NEW_FROM_FOLDER));
        QCOMPARE(program.prompts->importRequests.size(), std::size_t{1});
        QCOMPARE(review.sheets, 0);
        QCOMPARE(app.document().title(), kUntitledProject);
    }

    void aFolderWithoutMailIsSaidClearly()
    {
        Folders folders;
        const QString folder = folders.path(QStringLiteral("photos"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(WriteBytes(folder + QStringLiteral("/a.jpg"), QByteArray("\xFF\xD8\xFF\0", 4)));

        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        Review review;
        ReviewSheets(app, review);
        program.prompts->chosenFolders.push_back(folder);
        QVERIFY(app.context().commands().send(ID_FILE_NEW_FROM_FOLDER));
        QCOMPARE(review.sheets, 0);
        QCOMPARE(program.prompts->errors.size(), qsizetype{1});
        QVERIFY(program.prompts->errors[0].contains(QStringLiteral("ﾒｰﾙのﾌｧｲﾙがありません")));
        QVERIFY(program.prompts->errors[0].contains(QDir::toNativeSeparators(folder)));
    }

    void theEmptyWindowOffersTheStartUntilAProjectHasAFolder()
    {
        Folders folders;
        const QString mail = folders.path(QStringLiteral("ml"));
        QVERIFY(WriteMails(mail, QStringLiteral(".alm"), 1, 1));
        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        auto* panel = app.view().viewport()->findChild<QWidget*>(QStringLiteral("welcomePanel"));
        QVERIFY(panel != nullptr);
        QVERIFY(panel->isVisible());
        QVERIFY(app.view().viewport()->rect().contains(panel->geometry()));

        Review review;
        ReviewSheets(app, review);
        program.prompts->chosenFolders.push_back(mail);
        program.prompts->answers = {Answer::Yes, Answer::Yes};
        auto* start = panel->findChild<QPushButton*>();
        QVERIFY(start != nullptr);
        start->click();
        QCOMPARE(review.sheets, 1);
        QVERIFY(!panel->isVisible());
        QVERIFY(Idle(app));
    }

    void theFirstRunOffersTheIndexPageOnce()
    {
        Folders folders;
        const QString mail = folders.path(QStringLiteral("ml"));
        QVERIFY(WriteMails(mail, QStringLiteral(".alm"), 1, 2));
        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        Review review;
        ReviewSheets(app, review);
        program.prompts->chosenFolders.push_back(mail);
        program.prompts->answers = {Answer::Yes, Answer::Yes};
        program.prompts->projectsToSave.push_back(folders.path(QStringLiteral("ml.plp")));
        QVERIFY(app.context().commands().send(ID_FILE_NEW_FROM_FOLDER));
        QTRY_VERIFY_WITH_TIMEOUT(!app.document().pathName().isEmpty(), kPatience);

        auto* offer = app.frame().statusBar()->findChild<QPushButton*>(QStringLiteral("indexOffer"));
        QVERIFY(offer != nullptr);
        QVERIFY(!offer->isVisible());
        QVERIFY(app.context().commands().send(ID_HTML_CREATE));
        QTRY_VERIFY_WITH_TIMEOUT(offer->isVisible(), kPatience);
        offer->click();
        QVERIFY(!offer->isVisible());
        QCOMPARE(program.prompts->opened, QStringList{folders.path(QStringLiteral("ml-site/index.html"))});

        // Later runs of the same project leave the status bar alone.
        QVERIFY(Idle(app));
        QVERIFY(app.context().commands().send(ID_HTML_CREATE));
        QVERIFY(Idle(app));
        QTest::qWait(50);
        QVERIFY(!offer->isVisible());
    }

    void theHelpWalksThroughTheStart()
    {
        TestProgram program;
        CPostloomApp& app = *program.app;
        app.start();
        QVERIFY(app.context().commands().send(ID_HELP_GETTING_STARTED));
        QTextBrowser* help = app.helpWindow();
        QVERIFY(help != nullptr);
        QCOMPARE(help->documentTitle(), QStringLiteral("はじめに"));
        const QString text = help->toPlainText();
        for (const QString& topic : {QStringLiteral("フォルダから新規作成"), QStringLiteral("上へ移動"),
                                     QStringLiteral("ドラッグ アンド ドロップ"), QStringLiteral("メールの情報"),
                                     QStringLiteral("Ctrl+B"), QStringLiteral("F5"), QStringLiteral("問題の一覧"),
                                     QStringLiteral("ロック"), QStringLiteral("インポート")})
            QVERIFY2(text.contains(topic), qPrintable(topic));
        const QVariant picture =
            help->document()->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("one-step-start.png")));
        QVERIFY(picture.isValid());
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::FolderProjectTest)
#include "folder_project_test.moc"
