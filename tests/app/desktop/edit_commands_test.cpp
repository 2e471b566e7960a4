// The 編集 menu of the main window: undo and redo of the changes made by
// hand, the modified mark that follows them, and cut and paste, which place
// a mail exactly as a drop does.

#include "app/command_ids.h"
#include "desktop_test_support.h"
#include "thread_fixture.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <string>

namespace postloom {

using test::Build;
using test::Find;
using test::kPatience;
using test::Snapshot;
using test::TestProgram;
using test::Thread;

namespace {

// Changes the archive before its tree is built.
using Prepare = std::function<void(MailList&)>;

// A new project holding the archive of test::Thread(), its tree built.
bool ShowThread(TestProgram& program, const Prepare& prepare = {})
{
    CPostloomApp& app = *program.app;
    app.start();
    MailList& mails = app.document().settings().mailList;
    mails = Thread();
    if (prepare)
        prepare(mails);
    QSignalSpy built(&app.view(), &CPostloomView::treeFinished);
    return app.context().commands().send(ID_THREAD_EXPAND) && built.wait(kPatience);
}

TreeItem ItemOf(CPostloomApp& app, const std::string& id)
{
    return id.empty() ? app.view().treeModel().Tree().Root() : Find(app.document().settings().mailList, id)->treeItem;
}

std::string State(CPostloomApp& app)
{
    return Snapshot(app.view().treeModel().Tree(), app.document().settings().mailList);
}

QStringList Entries(const QMenu& menu)
{
    QStringList entries;
    for (const QAction* entry : menu.actions())
        entries.append(entry->isSeparator() ? QStringLiteral("-") : entry->text());
    return entries;
}

}  // namespace

}  // namespace postloom

Q_DECLARE_METATYPE(postloom::Prepare)

namespace postloom {

class EditCommandsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void undoAndRedoNameTheChangeAndTakeOneStep()
    {
        TestProgram program;
        QVERIFY(ShowThread(program));
        CPostloomApp& app = *program.app;
        CMainFrame& frame = app.frame();
        CommandDispatcher& commands = app.context().commands();
        CPostloomView& view = app.view();
        QAction* const undo = frame.action(ID_EDIT_UNDO);
        QAction* const redo = frame.action(ID_EDIT_REDO);

        const QMenu* edit = frame.menuBar()->actions().at(1)->menu();
        QCOMPARE(frame.menuBar()->actions().at(1)->text(), QStringLiteral("編集(&E)"));
        QCOMPARE(Entries(*edit), (QStringList{QStringLiteral("元に戻す(&U)"), QStringLiteral("やり直し(&R)"),
                                               QStringLiteral("-"), QStringLiteral("切り取り(&T)"),
                                               QStringLiteral("貼り付け(&P)")}));
        QCOMPARE(undo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
        QCOMPARE(redo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Y")));
        QCOMPARE(frame.action(ID_EDIT_CUT)->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
        QCOMPARE(frame.action(ID_EDIT_PASTE)->shortcut(), QKeySequence(QStringLiteral("Ctrl+V")));
        frame.updateCommandUi();
        QVERIFY(!undo->isEnabled());
        QVERIFY(!redo->isEnabled());

        const std::string built = State(app);
        view.selectItem(ItemOf(app, "b"));
        QVERIFY(commands.send(ID_MAIL_UP));
        view.selectItem(ItemOf(app, "b2"));
        QVERIFY(commands.send(ID_MAILPAGE_ON));
        const std::string changed = State(app);
        frame.updateCommandUi();
        QCOMPARE(undo->text(), QStringLiteral("元に戻す(&U) ﾒｰﾙHTMLを出力する"));
        QVERIFY(undo->isEnabled());

        // The menu entry takes back one change, not two.
        undo->trigger();
        QCOMPARE(app.document().undoStack().index(), 1);
        QCOMPARE(undo->text(), QStringLiteral("元に戻す(&U) 上へ移動"));
        QCOMPARE(redo->text(), QStringLiteral("やり直し(&R) ﾒｰﾙHTMLを出力する"));
        QCOMPARE(view.selectedItem(), ItemOf(app, "b2"));
        QCOMPARE(Find(app.document().settings().mailList, "b2")->outputHtml, 0);

        // The keys reach the commands from the tree.
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(State(app), built);
        QCOMPARE(view.selectedItem(), ItemOf(app, "b"));
        QTRY_VERIFY(redo->isEnabled());
        QTest::keyClick(&view, Qt::Key_Y, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(State(app), changed);
        frame.updateCommandUi();
        QVERIFY(!redo->isEnabled());
        QCOMPARE(redo->text(), QStringLiteral("やり直し(&R)"));

        // A drop, too, and nothing while a worker runs.
        QVERIFY(view.dropMail(ItemOf(app, "s"), ItemOf(app, "a")));
        QCOMPARE(undo->text(), QStringLiteral("元に戻す(&U) ﾄﾞﾛｯﾌﾟ"));
        QSignalSpy rebuilt(&view, &CPostloomView::treeFinished);
        QVERIFY(commands.send(ID_THREAD_EXPAND));
        QVERIFY(!commands.isEnabled(ID_EDIT_UNDO));
        QVERIFY(rebuilt.wait(kPatience));
        // A new tree starts a new history.
        QVERIFY(!commands.isEnabled(ID_EDIT_UNDO));
        QCOMPARE(app.document().undoStack().count(), 0);
    }

    void theModifiedMarkFollowsTheSavedState()
    {
        TestProgram program;
        QVERIFY(ShowThread(program));
        CPostloomApp& app = *program.app;
        CPostloomDoc& document = app.document();
        CommandDispatcher& commands = app.context().commands();
        CPostloomView& view = app.view();
        QTemporaryDir folder;
        program.prompts->projectsToSave.push_back(folder.filePath(QStringLiteral("thread.plp")));
        QVERIFY(commands.send(ID_FILE_SAVE_AS));
        QVERIFY(!document.isModified());

        view.selectItem(ItemOf(app, "c"));
        QVERIFY(commands.send(ID_MAILPAGE_OFF));
        QVERIFY(document.isModified());
        QVERIFY(commands.isEnabled(ID_FILE_SAVE));
        QVERIFY(commands.send(ID_EDIT_UNDO));
        QVERIFY(!document.isModified());
        QVERIFY(!commands.isEnabled(ID_FILE_SAVE));

        // Saved after the change: taking it back differs from the file.
        QVERIFY(commands.send(ID_EDIT_REDO));
        QVERIFY(commands.send(ID_FILE_SAVE));
        QVERIFY(!document.isModified());
        QVERIFY(commands.send(ID_EDIT_UNDO));
        QVERIFY(document.isModified());
        QVERIFY(commands.send(ID_EDIT_REDO));
        QVERIFY(!document.isModified());

        // A change outside the stack keeps the mark through an undo.
        view.selectItem(ItemOf(app, "b"));
        QVERIFY(commands.send(ID_MAIL_DOWN));
        document.setModified(true);
        QVERIFY(commands.send(ID_EDIT_UNDO));
        QVERIFY(document.isModified());
        document.setModified(false);

        // A change not saved stays a change when a new tree ends its history.
        QVERIFY(commands.send(ID_EDIT_REDO));
        QSignalSpy rebuilt(&view, &CPostloomView::treeFinished);
        QVERIFY(commands.send(ID_THREAD_EXPAND));
        QVERIFY(rebuilt.wait(kPatience));
        QVERIFY(document.isModified());
        QCOMPARE(test::Shape(view.treeModel(), document.settings().mailList), QStringLiteral("t(a c b(b1 b2)) s"));
    }

    // The cases of the drop tests, each carried out by cut and paste in the
    // window and by a drop on a copy of the archive: the same result, the
    // same refusals, and undo gives the archive back.
    void cutAndPasteDoExactlyWhatTheDropDoes_data()
    {
        QTest::addColumn<QString>("cut");
        QTest::addColumn<QString>("target");  // empty: the project item
        QTest::addColumn<Prepare>("prepare");
        QTest::addColumn<bool>("changes");
        const Prepare sameDateAsB = [](MailList& mails) {
            Find(mails, "s")->date = 120;
            Find(mails, "s")->outputHtml = 0;
        };
        QTest::newRow("among replies by date") << "s" << "t" << sameDateAsB << true;
        QTest::newRow("with its replies") << "b" << "s" << Prepare{} << true;
        QTest::newRow("reply to thread start") << "b1" << "" << Prepare{} << true;
        QTest::newRow("onto its parent") << "b" << "t" << Prepare{} << false;
        QTest::newRow("onto itself") << "b" << "b" << Prepare{} << false;
        QTest::newRow("below itself") << "b" << "b1" << Prepare{} << false;
        QTest::newRow("thread start to project") << "t" << "" << Prepare{} << false;
    }

    void cutAndPasteDoExactlyWhatTheDropDoes()
    {
        QFETCH(QString, cut);
        QFETCH(QString, target);
        QFETCH(Prepare, prepare);
        QFETCH(bool, changes);

        MailList dropped = Thread();
        if (prepare)
            prepare(dropped);
        ThreadTreeModel model;
        model.TakeTree(Build(dropped));
        const TreeItem onto =
            target.isEmpty() ? model.Tree().Root() : Find(dropped, target.toStdString())->treeItem;
        QCOMPARE(DropMail(model, dropped, Find(dropped, cut.toStdString())->treeItem, onto).has_value(), changes);

        TestProgram program;
        QVERIFY(ShowThread(program, prepare));
        CPostloomApp& app = *program.app;
        CommandDispatcher& commands = app.context().commands();
        CPostloomView& view = app.view();
        const std::string before = State(app);
        view.selectItem(ItemOf(app, cut.toStdString()));
        QVERIFY(commands.send(ID_EDIT_CUT));
        QCOMPARE(view.cutItem(), ItemOf(app, cut.toStdString()));
        view.selectItem(ItemOf(app, target.toStdString()));
        QCOMPARE(commands.isEnabled(ID_EDIT_PASTE), changes);
        QCOMPARE(commands.send(ID_EDIT_PASTE), changes);
        QCOMPARE(State(app), Snapshot(model.Tree(), dropped));
        if (!changes)
            return;
        QCOMPARE(view.selectedItem(), ItemOf(app, cut.toStdString()));
        QCOMPARE(view.cutItem(), kNoItem);
        QVERIFY(!commands.isEnabled(ID_EDIT_PASTE));
        QCOMPARE(app.document().undoStack().undoText(), QStringLiteral("貼り付け"));
        QVERIFY(commands.send(ID_EDIT_UNDO));
        QCOMPARE(State(app), before);
    }

    void theCutMailIsFollowedUntilItsTreeGoes()
    {
        TestProgram program;
        QVERIFY(ShowThread(program));
        CPostloomApp& app = *program.app;
        CommandDispatcher& commands = app.context().commands();
        CPostloomView& view = app.view();
        ThreadTreeModel& model = view.treeModel();

        // Nothing to cut on the project item.
        view.selectItem(ItemOf(app, ""));
        QVERIFY(!commands.isEnabled(ID_EDIT_CUT));
        view.selectItem(ItemOf(app, "b1"));
        QVERIFY(commands.send(ID_EDIT_CUT));
        QVERIFY(model.data(model.IndexOf(view.cutItem()), Qt::ForegroundRole).isValid());
        // Moving its parent re-creates the cut item; the copy is the cut one.
        view.selectItem(ItemOf(app, "b"));
        QVERIFY(commands.send(ID_MAIL_UP));
        QCOMPARE(view.cutItem(), ItemOf(app, "b1"));
        QVERIFY(model.data(model.IndexOf(view.cutItem()), Qt::ForegroundRole).isValid());
        view.selectItem(ItemOf(app, "s"));
        QVERIFY(commands.send(ID_EDIT_PASTE));
        QCOMPARE(test::Shape(model, app.document().settings().mailList), QStringLiteral("t(b(b2) a c) s(b1)"));
        QVERIFY(!model.data(model.IndexOf(ItemOf(app, "b1")), Qt::ForegroundRole).isValid());

        view.selectItem(ItemOf(app, "a"));
        QVERIFY(commands.send(ID_EDIT_CUT));
        QSignalSpy rebuilt(&view, &CPostloomView::treeFinished);
        QVERIFY(commands.send(ID_THREAD_EXPAND));
        QVERIFY(rebuilt.wait(kPatience));
        QCOMPARE(view.cutItem(), kNoItem);
        view.selectItem(ItemOf(app, "s"));
        QVERIFY(!commands.isEnabled(ID_EDIT_PASTE));
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::EditCommandsTest)
#include "edit_commands_test.moc"
