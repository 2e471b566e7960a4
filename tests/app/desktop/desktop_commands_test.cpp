#include "app/command_ids.h"
#include "core/threading/tree_builder.h"
#include "desktop_test_support.h"
#include "settings_ui/project_page1.h"
#include "settings_ui/project_sheet.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>

#include <map>

namespace postloom {

using test::kPatience;
using test::SampleCopy;
using test::TestProgram;

namespace {

// The commands whose enable rule depends on the state, in one row per state.
constexpr int kRuled[] = {ID_FILE_NEW,        ID_FILE_OPEN,      ID_FILE_SAVE,       ID_FILE_SAVE_AS,
                          ID_PROJECT_PROPERTY, ID_THREAD_EXPAND, ID_MAIL_RELOAD,     ID_HTML_CREATE,
                          ID_GRAPHIC_COPY,     ID_INDEX_CREATE,  ID_MAILPAGE_CREATE, ID_INDEX_OPEN,
                          ID_MAIL_INFO,        ID_MAIL_OPEN,     ID_MAILPAGE_ON,     ID_MAILPAGE_OFF,
                          ID_MAIL_UP,          ID_MAIL_DOWN,     ID_HTML_DELETE_ALL};

// The enabled commands of kRuled, by name.
QStringList EnabledCommands(CPostloomApp& app)
{
    QStringList enabled;
    for (const int id : kRuled) {
        if (app.context().commands().isEnabled(id)) {
            enabled.append(QString::fromLatin1(FindCommand(id)->name.data(), FindCommand(id)->name.size()));
        }
    }
    return enabled;
}

QStringList Names(std::initializer_list<const char*> names)
{
    QStringList list;
    for (const char* name : names) {
        list.append(QString::fromLatin1(name));
    }
    return list;
}

bool ReadingDone(CPostloomApp& app)
{
    return !app.document().busy() && !app.document().locked();
}

bool TreeDone(CPostloomApp& app)
{
    return app.document().treeBuilt() && !app.document().locked();
}

// The tree's items from the top down, each as its depth and subject.
QStringList Subjects(CPostloomApp& app)
{
    const ThreadTree& tree = app.view().treeModel().Tree();
    QStringList shown;
    const auto walk = [&](auto&& self, TreeItem first, int depth) -> void {
        for (TreeItem item = first; item != kNoItem; item = tree.NextSibling(item)) {
            shown << QStringLiteral("%1 %2").arg(depth).arg(app.view().treeModel().data(
                                                              app.view().treeModel().IndexOf(item), Qt::DisplayRole)
                                                              .toString());
            self(self, tree.FirstChild(item), depth + 1);
        }
    };
    walk(walk, tree.Root(), 0);
    return shown;
}

// The first mail item with at least two levels of replies below it.
TreeItem DeepThreadStart(const ThreadTree& tree)
{
    for (TreeItem start = tree.FirstChild(tree.Root()); start != kNoItem; start = tree.NextSibling(start)) {
        for (TreeItem reply = tree.FirstChild(start); reply != kNoItem; reply = tree.NextSibling(reply)) {
            if (tree.HasChildren(reply)) {
                return start;
            }
        }
    }
    return kNoItem;
}

}  // namespace

class DesktopCommandsTest final : public QObject {
    Q_OBJECT

private:
    // Opens the sample copy and waits until reading and sorting are done.
    static bool openSample(TestProgram& program, const SampleCopy& sample)
    {
        if (!program.app->openProject(sample.project())) {
            return false;
        }
        return QTest::qWaitFor([&] { return ReadingDone(*program.app); }, kPatience);
    }

    static bool buildTree(TestProgram& program)
    {
        program.app->context().commands().send(ID_THREAD_EXPAND);
        return QTest::qWaitFor([&] { return TreeDone(*program.app); }, kPatience);
    }

private Q_SLOTS:
    void newProjectStateAndTitle()
    {
        TestProgram program;
        program.app->start();
        CPostloomApp& app = *program.app;
        QCOMPARE(EnabledCommands(app), Names({"ID_FILE_NEW", "ID_FILE_OPEN", "ID_FILE_SAVE_AS", "ID_PROJECT_PROPERTY"}));
        app.frame().updateCommandUi();
        QCOMPARE(app.frame().windowTitle(), QStringLiteral("無題.plp[*] - Post Loom"));
        QVERIFY(!app.frame().isWindowModified());
        QCOMPARE(app.frame().countPane()->text(), QStringLiteral("0通"));
        QVERIFY(!app.frame().progressLayout());
        QCOMPARE(app.context().marks().autoRun, 0);
    }

    void readingLocksEverythingThatTouchesTheProject()
    {
        SampleCopy sample;
        QVERIFY(sample.valid());
        TestProgram program;
        program.app->start();
        CPostloomApp& app = *program.app;
        QVERIFY(app.openProject(sample.project()));
        // Reading has started and cannot have ended: its notice is posted.
        QVERIFY(app.document().busy());
        QCOMPARE(app.document().statusText(), QStringLiteral("データ読込中"));
        QCOMPARE(EnabledCommands(app), QStringList());

        QTRY_VERIFY_WITH_TIMEOUT(ReadingDone(app), kPatience);
        // 43 new mails: the project is modified; the open has built the tree.
        QVERIFY(app.document().treeBuilt());
        QCOMPARE(EnabledCommands(app),
                 Names({"ID_FILE_NEW", "ID_FILE_OPEN", "ID_FILE_SAVE", "ID_FILE_SAVE_AS", "ID_PROJECT_PROPERTY",
                        "ID_THREAD_EXPAND", "ID_MAIL_RELOAD", "ID_HTML_CREATE", "ID_GRAPHIC_COPY", "ID_INDEX_CREATE",
                        "ID_MAILPAGE_CREATE"}));
        QCOMPARE(app.document().statusText(), QString());
        QTRY_VERIFY(!app.frame().progressLayout());
        app.frame().updateCommandUi();
        QCOMPARE(app.frame().countPane()->text(), QStringLiteral("43通"));
        QCOMPARE(app.frame().windowTitle(), QStringLiteral("sample.plp[*] - Post Loom"));
        QVERIFY(app.frame().isWindowModified());
    }

    void treeBuildAndItemSelection()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        CPostloomApp& app = *program.app;
        QVERIFY(openSample(program, sample));

        app.context().commands().send(ID_THREAD_EXPAND);
        QCOMPARE(app.document().statusText(), QStringLiteral("ツリーを作成中"));
        QCOMPARE(EnabledCommands(app), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(TreeDone(app), kPatience);
        QCOMPARE(app.document().statusText(), QString());

        CPostloomView& view = app.view();
        const ThreadTree& tree = view.treeModel().Tree();
        QVERIFY(view.isExpanded(view.treeModel().IndexOf(tree.Root())));
        QCOMPARE(tree.Icon(tree.Root()), int(kIconProject));

        const QStringList treeState = Names({"ID_FILE_NEW", "ID_FILE_OPEN", "ID_FILE_SAVE", "ID_FILE_SAVE_AS",
                                             "ID_PROJECT_PROPERTY", "ID_THREAD_EXPAND", "ID_MAIL_RELOAD",
                                             "ID_HTML_CREATE", "ID_GRAPHIC_COPY", "ID_INDEX_CREATE",
                                             "ID_MAILPAGE_CREATE"});
        QCOMPARE(EnabledCommands(app), treeState);

        // The project item: the page commands stay disabled, the button
        // shows the first mail's flag.
        view.selectItem(tree.Root());
        QCOMPARE(EnabledCommands(app), treeState);
        QTRY_COMPARE(app.frame().pageButton()->toolTip(), QStringLiteral("ﾒｰﾙHTMLを出力しない"));
        app.frame().updateCommandUi();
        QVERIFY(!app.frame().pageButton()->isEnabled());
        QVERIFY(view.contextMenuAt(view.visualRect(view.treeModel().IndexOf(tree.Root())).center()) == nullptr);

        const TreeItem mail = tree.FirstChild(tree.Root());
        view.selectItem(mail);
        QStringList withMail = treeState;
        withMail << Names({"ID_MAIL_INFO", "ID_MAIL_OPEN", "ID_MAILPAGE_OFF", "ID_MAIL_DOWN"});
        QCOMPARE(EnabledCommands(app), withMail);
        app.frame().updateCommandUi();
        QVERIFY(app.frame().pageButton()->isEnabled());

        app.context().commands().send(ID_MAIL_OPEN);
        QCOMPARE(program.prompts->opened.size(), 1);
        QVERIFY(program.prompts->opened.first().startsWith(sample.file(QStringLiteral("mail/"))));

        const std::unique_ptr<QMenu> menu = view.contextMenuAt(view.visualRect(view.treeModel().IndexOf(mail)).center());
        QVERIFY(menu != nullptr);
        QCOMPARE(menu->actions().size(), 2);
        QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("ﾒｰﾙを開く"));
        QVERIFY(menu->actions().at(0)->isEnabled());
        QCOMPARE(menu->actions().at(1)->text(), QStringLiteral("ﾒｰﾙのﾌﾟﾛﾊﾟﾃｨ"));
        QVERIFY(menu->actions().at(1)->isEnabled());
    }

    void doubleClickOnAnIconNeitherExpandsNorCollapses()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(openSample(program, sample));
        QVERIFY(buildTree(program));
        CPostloomView& view = program.app->view();
        view.resize(400, 600);
        const ThreadTree& tree = view.treeModel().Tree();
        const TreeItem start = DeepThreadStart(tree);
        QVERIFY(start != kNoItem);
        const QModelIndex index = view.treeModel().IndexOf(start);
        const QRect cell = view.visualRect(index);
        QVERIFY(!view.isExpanded(index));
        // A double click arrives after the press of its first click.
        const auto doubleClick = [&](QPoint point) {
            QTest::mousePress(view.viewport(), Qt::LeftButton, {}, point);
            QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, point);
            QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, point);
        };
        doubleClick(QPoint(cell.left() + 6, cell.center().y()));
        QVERIFY(!view.isExpanded(index));
        doubleClick(QPoint(cell.left() + 60, cell.center().y()));
        QVERIFY(view.isExpanded(index));
    }

    void pageOffAndOnPropagateWithIcons()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(openSample(program, sample));
        QVERIFY(buildTree(program));
        CPostloomApp& app = *program.app;
        CPostloomView& view = app.view();
        const ThreadTree& tree = view.treeModel().Tree();
        const MailList& mails = app.document().settings().mailList;
        const auto flag = [&](TreeItem item) { return mails[tree.ItemData(item)]->outputHtml; };

        const TreeItem start = DeepThreadStart(tree);
        TreeItem reply = tree.FirstChild(start);
        while (!tree.HasChildren(reply)) {
            reply = tree.NextSibling(reply);
        }
        const TreeItem deep = tree.FirstChild(reply);
        const TreeItem otherThread = start == tree.FirstChild(tree.Root()) ? tree.NextSibling(start)
                                                                           : tree.FirstChild(tree.Root());

        app.document().setModified(false);
        view.selectItem(start);
        QVERIFY(app.context().commands().send(ID_MAILPAGE_OFF));
        QVERIFY(app.document().isModified());
        for (const TreeItem item : {start, reply, deep}) {
            QCOMPARE(flag(item), 0);
            QVERIFY(tree.Icon(item) == kIconMailNoPage || tree.Icon(item) == kIconOrphanNoPage);
        }
        QCOMPARE(flag(otherThread), 1);
        QCOMPARE(tree.Icon(tree.Root()), int(kIconProject));
        QTRY_COMPARE(app.frame().pageButton()->toolTip(), QStringLiteral("ﾒｰﾙHTMLを出力する"));
        QVERIFY(!app.context().commands().isEnabled(ID_MAILPAGE_OFF));

        // On for the deep reply: it, what is below it and its ancestors, but
        // not the siblings of its parent.
        view.selectItem(deep);
        QVERIFY(app.context().commands().send(ID_MAILPAGE_ON));
        for (const TreeItem item : {start, reply, deep}) {
            QCOMPARE(flag(item), 1);
            QVERIFY(tree.Icon(item) == kIconMail || tree.Icon(item) == kIconOrphan);
        }
        for (TreeItem sibling = tree.FirstChild(start); sibling != kNoItem; sibling = tree.NextSibling(sibling)) {
            if (sibling != reply) {
                QCOMPARE(flag(sibling), 0);
            }
        }
        QCOMPARE(tree.Icon(tree.Root()), int(kIconProject));
        QTRY_COMPARE(app.frame().pageButton()->toolTip(), QStringLiteral("ﾒｰﾙHTMLを出力しない"));
    }

    void createAllWritesThePagesStepByStep()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(openSample(program, sample));
        QVERIFY(buildTree(program));
        CPostloomApp& app = *program.app;
        QFile::remove(sample.file(QStringLiteral("site/index.html")));
        QVERIFY(!app.context().commands().isEnabled(ID_INDEX_OPEN));

        // Every status text the steps show, in order: a step can end before
        // a poll would see its text.
        QStringList texts;
        connect(&app.document(), &CPostloomDoc::stateChanged, &app.document(), [&] {
            const QString text = app.document().statusText();
            if (texts.isEmpty() || texts.back() != text)
                texts.append(text);
        });
        QVERIFY(app.context().commands().send(ID_HTML_CREATE));
        QCOMPARE(app.document().statusText(), QStringLiteral("グラフィックファイルをコピー中"));
        QVERIFY(app.frame().progressLayout());
        QCOMPARE(app.frame().progressBar()->maximum(), 5);
        QCOMPARE(EnabledCommands(app), QStringList());
        // Between two steps no worker runs for a moment: wait for the last one.
        QTRY_VERIFY_WITH_TIMEOUT(texts.contains(QStringLiteral("メールHTMLを作成中")) && !app.view().hasWorkers(),
                                 kPatience);
        QTRY_VERIFY(!app.frame().progressLayout());
        QCOMPARE(app.document().statusText(), QString());
        texts.removeAll(QString());
        QCOMPARE(texts, (QStringList{QStringLiteral("グラフィックファイルをコピー中"),
                                     QStringLiteral("インデックスHTMLを作成中"), QStringLiteral("メールHTMLを作成中")}));
        QCOMPARE(app.view().chain().mailPagesResult().pagesWritten, 43);
        QVERIFY(app.context().commands().isEnabled(ID_INDEX_OPEN));
        app.context().commands().send(ID_INDEX_OPEN);
        QCOMPARE(program.prompts->opened, QStringList{sample.file(QStringLiteral("site/index.html"))});
    }

    void progressDisplayKeepsFullRangesAndClampsPositions()
    {
        TestProgram program;
        program.app->start();
        CMainFrame& frame = program.app->frame();
        frame.dispProgress(0, 100000);
        QVERIFY(frame.progressLayout());
        QVERIFY(frame.progressBar()->isVisibleTo(&frame));
        QCOMPARE(frame.progressBar()->maximum(), 100000);
        frame.updateProgress(70000, 1);
        QCOMPARE(frame.progressBar()->value(), 70000);
        frame.updateProgress(250000, 1);
        QCOMPARE(frame.progressBar()->value(), 100000);
        // A new display resets range and position.
        frame.dispProgress(0, 10);
        QCOMPARE(frame.progressBar()->value(), 0);
        QCOMPARE(frame.progressBar()->maximum(), 10);
        frame.updateProgress(0, 0);
        QVERIFY(!frame.progressLayout());
        QVERIFY(!frame.progressBar()->isVisibleTo(&frame));
        QVERIFY(!frame.statusPane()->isVisibleTo(&frame));
    }

    void menusToolBarsAndVersionBox()
    {
        TestProgram program;
        program.app->start();
        CMainFrame& frame = program.app->frame();
        QStringList menus;
        for (QAction* menu : frame.menuBar()->actions()) {
            menus.append(menu->text());
        }
        QCOMPARE(menus, (QStringList{QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("編集(&E)"), QStringLiteral("表示(&V)"),
                                     QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ(&P)"), QStringLiteral("ﾒｰﾙ(&M)"),
                                     QStringLiteral("HTML(&H)"), QStringLiteral("ﾍﾙﾌﾟ(&H)")}));
        QStringList file;
        for (QAction* entry : frame.fileMenu()->actions()) {
            file.append(entry->isSeparator() ? QStringLiteral("-") : entry->text());
        }
        QCOMPARE(file, (QStringList{QStringLiteral("新規作成(&N)"), QStringLiteral("ﾌｫﾙﾀﾞから新規作成(&F)..."),
                                    QStringLiteral("開く(&O)..."),
                                    QStringLiteral("上書き保存(&S)"), QStringLiteral("名前を付けて保存(&A)..."),
                                    QStringLiteral("-"), QStringLiteral("ｲﾝﾎﾟｰﾄ(&I)..."),
                                    QStringLiteral("ﾌｫﾙﾀﾞからｲﾝﾎﾟｰﾄ(&D)..."), QStringLiteral("-"),
                                    QStringLiteral("最新のﾌｧｲﾙ"), QStringLiteral("-"),
                                    QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)")}));
        QCOMPARE(frame.action(ID_FILE_SAVE)->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        QCOMPARE(frame.action(ID_THREAD_EXPAND)->statusTip(), QStringLiteral("ﾒｰﾙをｽﾚｯﾄﾞに展開"));
        QCOMPARE(frame.action(ID_THREAD_EXPAND)->toolTip(), QStringLiteral("ｽﾚｯﾄﾞ展開"));
        QCOMPARE(frame.mailBar()->windowTitle(), QStringLiteral("Mail"));
        QCOMPARE(frame.htmlBar()->windowTitle(), QStringLiteral("Html"));
        QCOMPARE(frame.mailBar()->actions().at(3), frame.pageButton());

        // Hiding a bar through the View menu and showing it again.
        QTRY_VERIFY(frame.action(ID_VIEW_MAILBAR)->isChecked());
        frame.action(ID_VIEW_MAILBAR)->trigger();
        frame.updateCommandUi();
        QVERIFY(!frame.mailBar()->isVisibleTo(&frame));
        QVERIFY(!frame.action(ID_VIEW_MAILBAR)->isChecked());
        frame.action(ID_VIEW_MAILBAR)->trigger();
        QCOMPARE(frame.toolBarArea(frame.mailBar()), Qt::TopToolBarArea);

        const std::unique_ptr<QDialog> box = CreateVersionBox(&frame);
        QCOMPARE(box->windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Postloom)"));
        QStringList texts;
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            texts.append(label->text());
        }
        QVERIFY(texts.contains(QStringLiteral("Postloom Version 1.4")));
        QVERIFY(texts.join(u'\n').contains(QStringLiteral("MIT ﾗｲｾﾝｽ")));
        QCOMPARE(box->findChild<QPushButton*>()->text(), QStringLiteral("OK"));
    }

    void failedSaveKeepsTheModifiedMarkAndSaysWhy()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(openSample(program, sample));
        CPostloomDoc& document = program.app->document();
        QVERIFY(document.isModified());
        const QString unreachable = sample.file(QStringLiteral("missing/folder/x.plp"));
        QVERIFY(!document.saveDocument(unreachable));
        QVERIFY(document.isModified());
        QCOMPARE(program.prompts->errors.size(), 1);
        QVERIFY(program.prompts->errors.first().contains(unreachable));
        QCOMPARE(document.pathName(), sample.project());

        QVERIFY(program.app->context().commands().send(ID_FILE_SAVE));
        QVERIFY(!document.isModified());
        QVERIFY(!program.app->context().commands().isEnabled(ID_FILE_SAVE));
    }

    void fileThatIsNoProjectIsRefused()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(openSample(program, sample));
        const QString letter = sample.file(QStringLiteral("letter.plp"));
        QFile file(letter);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Dear all,\nsee you = tomorrow\n");
        file.close();

        program.prompts->saveChoices = {SaveChoice::Discard};
        QVERIFY(!program.app->openProject(letter));
        QCOMPARE(program.prompts->errors.size(), 1);
        QVERIFY(program.prompts->errors.first().contains(letter));
        QCOMPARE(program.app->document().pathName(), sample.project());
        QCOMPARE(program.app->document().settings().mailList.size(), std::size_t{43});
        QCOMPARE(program.app->recentFiles(), QStringList{sample.project()});
    }

    void newAsksToSaveAModifiedProjectThenOpensTheProperties()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(openSample(program, sample));
        CPostloomApp& app = *program.app;
        int sheets = 0;
        app.document().setSheetRunner([&](CProjectSheet&) {
            ++sheets;
            return int(QDialog::Rejected);
        });

        program.prompts->saveChoices = {SaveChoice::Cancel};
        app.context().commands().send(ID_FILE_NEW);
        QCOMPARE(program.prompts->asked, QStringList{QStringLiteral("save sample.plp")});
        QCOMPARE(app.document().pathName(), sample.project());

        program.prompts->saveChoices = {SaveChoice::Discard};
        app.context().commands().send(ID_FILE_NEW);
        QCOMPARE(app.document().title(), QStringLiteral("無題.plp"));
        QVERIFY(app.document().settings().mailList.empty());
        QCOMPARE(app.view().treeModel().rowCount(), 0);
        QTRY_COMPARE(sheets, 1);
    }

    void newTargetPathInThePropertiesEmptiesTheTreeAndReadsAgain()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(openSample(program, sample));
        QVERIFY(buildTree(program));
        CPostloomApp& app = *program.app;
        app.document().setModified(false);
        app.document().setSheetRunner([](CProjectSheet& sheet) {
            sheet.show();
            auto* page = dynamic_cast<CProjectPage1*>(sheet.tabs()->widget(0));
            page->targetPathEdit()->setText(QStringLiteral("mail/"));
            sheet.okButton()->click();
            return sheet.result();
        });
        QVERIFY(app.context().commands().send(ID_PROJECT_PROPERTY));
        QCOMPARE(app.document().settings().TargetPath, std::string("mail/"));
        QVERIFY(app.document().busy());
        QVERIFY(!app.document().treeBuilt());
        QCOMPARE(app.view().treeModel().rowCount(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(ReadingDone(app), kPatience);
        // No new mails, but the changed settings still count.
        QVERIFY(app.document().isModified());
        QCOMPARE(app.document().settings().mailList.size(), std::size_t{43});
    }

    void openingASavedProjectShowsItsTreeInItsSavedOrder()
    {
        SampleCopy sample;
        QStringList saved;
        {
            TestProgram program;
            program.app->start();
            QVERIFY(openSample(program, sample));
            CPostloomApp& app = *program.app;
            QVERIFY(app.document().treeBuilt());
            const ThreadTree& tree = app.view().treeModel().Tree();
            // The first thread goes last: an order that reading alone never gives.
            app.view().selectItem(tree.FirstChild(tree.Root()));
            while (app.context().commands().isEnabled(ID_MAIL_DOWN)) {
                app.context().commands().send(ID_MAIL_DOWN);
            }
            saved = Subjects(app);
            QVERIFY(app.document().save());
        }
        TestProgram program;
        program.app->start();
        QVERIFY(program.app->openProject(sample.project()));
        QTRY_VERIFY_WITH_TIMEOUT(TreeDone(*program.app), kPatience);
        QCOMPARE(Subjects(*program.app), saved);
    }

    void unusableStoredFileNameIsNeverOpened()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(openSample(program, sample));
        QVERIFY(buildTree(program));
        CPostloomApp& app = *program.app;
        const ThreadTree& tree = app.view().treeModel().Tree();
        const TreeItem mail = tree.FirstChild(tree.Root());
        app.document().settings().mailList[tree.ItemData(mail)]->fileName = "../sample.plp";
        app.view().selectItem(mail);
        QVERIFY(!app.context().commands().isEnabled(ID_MAIL_OPEN));
        QVERIFY(!app.context().commands().send(ID_MAIL_OPEN));
        QVERIFY(program.prompts->opened.isEmpty());
    }

    void recentProjectsKeepTheLatestFour()
    {
        TestProgram program;
        program.app->start();
        QTemporaryDir dir;
        QStringList paths;
        for (int i = 1; i <= 5; ++i) {
            paths.append(dir.filePath(QStringLiteral("p%1.plp").arg(i)));
            QVERIFY(program.app->openProject(paths.last()));
            QTRY_VERIFY_WITH_TIMEOUT(ReadingDone(*program.app), kPatience);
        }
        QCOMPARE(program.app->recentFiles(), (QStringList{paths[4], paths[3], paths[2], paths[1]}));
        QCOMPARE(program.app->frame().recentActions().size(), 4);
        QCOMPARE(program.app->frame().recentActions().first()->text(), QStringLiteral("&1 p5.plp"));

        QSettings store(program.storeDir.filePath(QStringLiteral("recent.ini")), QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("Recent File List/File1")).toString(), paths[4]);
    }

    void closingWhileTheTreeIsBuiltWaitsForTheWorker()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(openSample(program, sample));
        CPostloomApp& app = *program.app;
        program.prompts->saveChoices = {SaveChoice::Discard};
        QSignalSpy quit(&app, &CPostloomApp::quitRequested);
        app.context().commands().send(ID_THREAD_EXPAND);
        QVERIFY(app.view().hasWorkers());
        QVERIFY(app.frame().close());
        QVERIFY(!app.view().hasWorkers());
        QCOMPARE(quit.size(), 1);
        QCOMPARE(quit.first().first().toInt(), 0);
    }

    void closingCanBeCancelled()
    {
        SampleCopy sample;
        TestProgram program;
        program.app->start();
        QVERIFY(openSample(program, sample));
        QSignalSpy quit(program.app.get(), &CPostloomApp::quitRequested);
        program.prompts->saveChoices = {SaveChoice::Cancel};
        QVERIFY(!program.app->frame().close());
        QCOMPARE(quit.size(), 0);
        QVERIFY(program.app->context().commands().isEnabled(ID_FILE_NEW));
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::DesktopCommandsTest)
#include "desktop_commands_test.moc"
