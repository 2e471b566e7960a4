// The thread tree in a long archive: a moved or dropped mail stays in sight,
// and the keyboard reaches what the mouse reaches.

#include "app/command_ids.h"
#include "desktop_test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <memory>
#include <set>
#include <string>

namespace postloom {

using test::kPatience;
using test::TestProgram;

namespace {

constexpr int kThreads = 800;  // three mails each: 2,400 mails

std::unique_ptr<MailRecord> Mail(int number, std::int32_t date, int answers)
{
    auto mail = std::make_unique<MailRecord>();
    mail->messageId = "m" + std::to_string(number) + "@example.jp";
    mail->subject = "subject " + std::to_string(number);
    mail->fileName = std::to_string(number) + ".alm";
    mail->date = mail->orderKey = date;
    if (answers >= 0) {
        mail->inReplyTo = "m" + std::to_string(answers) + "@example.jp";
        mail->noReplyHeaders = 0;
    }
    return mail;
}

// A new project holding threads of a start, its reply and the reply's
// reply, built into the tree, shown and fully expanded.
bool ShowLongArchive(TestProgram& program)
{
    CPostloomApp& app = *program.app;
    app.start();
    MailList& mails = app.document().settings().mailList;
    for (int thread = 0; thread < kThreads; ++thread) {
        const int first = thread * 3;
        mails.push_back(Mail(first, thread * 10, -1));
        mails.push_back(Mail(first + 1, thread * 10 + 1, first));
        mails.push_back(Mail(first + 2, thread * 10 + 2, first + 1));
    }
    app.frame().resize(640, 480);
    // Every row reports its progress to the window and waits for it: an
    // event loop answers at once, where a polling wait would sleep.
    QSignalSpy built(&app.view(), &CPostloomView::treeFinished);
    if (!QTest::qWaitForWindowExposed(&app.frame()) || !app.context().commands().send(ID_THREAD_EXPAND))
        return false;
    if (!built.wait(kPatience))
        return false;
    app.view().expandAll();
    return true;
}

MailRecord* MailNumber(CPostloomApp& app, int number)
{
    return app.document().settings().mailList.at(static_cast<std::size_t>(number)).get();
}

bool InSight(CPostloomView& view, TreeItem item)
{
    const QModelIndex index = view.treeModel().IndexOf(item);
    return index.isValid() && view.viewport()->rect().contains(view.visualRect(index));
}

// The entries of the popup menu that opens while run() runs, closed again.
QStringList PopupEntries(const std::function<void()>& run)
{
    QStringList entries;
    QTimer::singleShot(200, [&entries] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            for (const QAction* action : popup->actions())
                entries.append(action->text());
            popup->close();
        }
    });
    run();
    QTest::qWait(300);
    return entries;
}

}  // namespace

class TreeKeyboardTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void movedMailStaysSelectedAndInSight()
    {
        TestProgram program;
        QVERIFY(ShowLongArchive(program));
        CPostloomApp& app = *program.app;
        CPostloomView& view = app.view();
        CommandDispatcher& commands = app.context().commands();

        // A thread at the top row of the view moves up, above the rows
        // shown. (A move exchanges list entries: the mail is followed, not
        // its place in the list.)
        const MailRecord* const upper = MailNumber(app, 1500);
        view.selectItem(upper->treeItem);
        view.scrollTo(view.treeModel().IndexOf(upper->treeItem), QAbstractItemView::PositionAtTop);
        QVERIFY(commands.send(ID_MAIL_UP));
        QCOMPARE(view.selectedItem(), upper->treeItem);
        QVERIFY(InSight(view, upper->treeItem));

        // A thread at the bottom row moves down, below them.
        const MailRecord* const lower = MailNumber(app, 900);
        view.selectItem(lower->treeItem);
        view.scrollTo(view.treeModel().IndexOf(lower->treeItem), QAbstractItemView::PositionAtBottom);
        QVERIFY(commands.send(ID_MAIL_DOWN));
        QCOMPARE(view.selectedItem(), lower->treeItem);
        QVERIFY(InSight(view, lower->treeItem));
    }

    void droppedMailStaysSelectedAndInSight()
    {
        TestProgram program;
        QVERIFY(ShowLongArchive(program));
        CPostloomApp& app = *program.app;
        CPostloomView& view = app.view();
        ThreadTreeModel& model = view.treeModel();
        view.scrollToBottom();

        // A reply at the end of the archive with an early date lands among
        // the first threads when dropped onto the project item.
        MailRecord* const late = MailNumber(app, 3 * (kThreads - 1) + 2);
        late->date = 5;
        QVERIFY(view.beginDrag(late->treeItem));
        QVERIFY(view.dropMail(late->treeItem, model.Tree().Root()));
        QCOMPARE(model.Tree().NextSibling(model.Tree().FirstChild(model.Tree().Root())), late->treeItem);
        QCOMPARE(view.selectedItem(), late->treeItem);
        QVERIFY(InSight(view, late->treeItem));

        // Dropped, as the view hands a drop over, onto a closed thread far
        // from the rows shown: the thread opens to show it.
        MailRecord* const start = MailNumber(app, 2100);
        view.collapse(model.IndexOf(start->treeItem));
        view.scrollToTop();
        MailRecord* const moved = MailNumber(app, 4);
        QVERIFY(view.beginDrag(moved->treeItem));
        const std::unique_ptr<QMimeData> data(model.mimeData({model.IndexOf(moved->treeItem)}));
        QVERIFY(model.dropMimeData(data.get(), Qt::MoveAction, -1, -1, model.IndexOf(start->treeItem)));
        QCOMPARE(model.Tree().Parent(moved->treeItem), start->treeItem);
        QCOMPARE(view.selectedItem(), moved->treeItem);
        QVERIFY(view.isExpanded(model.IndexOf(start->treeItem)));
        QVERIFY(InSight(view, moved->treeItem));
    }

    void draggingAtTheEdgeScrollsAtAnAimablePace()
    {
        TestProgram program;
        QVERIFY(ShowLongArchive(program));
        CPostloomView& view = program.app->view();
        QWidget* const area = view.viewport();
        QScrollBar* const bar = view.verticalScrollBar();
        view.scrollToTop();

        // A drag held just inside the bottom edge, within the margin Qt
        // uses by default. (The offscreen platform runs no real drag, so
        // the view is told where the drag is as its drag events tell it.)
        const QPoint edge(area->width() / 2, area->height() - 2);
        QElapsedTimer held;
        held.start();
        view.holdDragAt(edge);
        QTest::qWait(1000);

        // A row at a time, a dozen rows a second: Qt's own edge scrolling
        // speeds up to a page a step and runs past the target.
        const int rows = (bar->value() - bar->minimum()) / bar->singleStep();
        QVERIFY2(rows > 0, "no scrolling at the edge");
        QVERIFY2(rows <= held.elapsed() / 80 + 2, qPrintable(QString::number(rows)));

        // Back in the middle, the view stays where it is.
        view.holdDragAt(area->rect().center());
        const int stopped = bar->value();
        QTest::qWait(300);
        QCOMPARE(bar->value(), stopped);

        // At the top edge it scrolls back; the end of the drag ends it.
        view.holdDragAt(QPoint(area->width() / 2, 1));
        QTRY_VERIFY(bar->value() < stopped);
        view.stopDragScroll();
        const int left = bar->value();
        QTest::qWait(300);
        QCOMPARE(bar->value(), left);
    }

    void enterAndTheMenuKeysWorkOnTheSelectedMail()
    {
        TestProgram program;
        QVERIFY(ShowLongArchive(program));
        CPostloomApp& app = *program.app;
        CPostloomView& view = app.view();
        const ThreadTree& tree = view.treeModel().Tree();

        // Enter on the project item shows nothing; on a mail, its information.
        view.selectItem(tree.Root());
        QTest::keyClick(&view, Qt::Key_Return);
        QVERIFY(!view.infoDialog().isVisible());
        view.selectItem(MailNumber(app, 7)->treeItem);
        QTest::keyClick(&view, Qt::Key_Return);
        QVERIFY(view.infoDialog().isVisible());
        QCOMPARE(view.infoDialog().messageIdText(), QStringLiteral("m7@example.jp"));
        view.infoDialog().hide();
        QTest::keyClick(&view, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(view.infoDialog().isVisible());
        view.infoDialog().hide();

        // Shift+F10 and the menu key open the mail's menu, also for a mail
        // scrolled out of sight.
        const QStringList menu{QStringLiteral("ﾒｰﾙを開く"), QStringLiteral("ﾒｰﾙのﾌﾟﾛﾊﾟﾃｨ")};
        view.scrollToBottom();
        QCOMPARE(PopupEntries([&] { QTest::keyClick(&view, Qt::Key_F10, Qt::ShiftModifier); }), menu);
        QCOMPARE(view.selectedItem(), MailNumber(app, 7)->treeItem);
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), view.viewport()->mapToGlobal(QPoint(0, 0)));
        QCOMPARE(PopupEntries([&] { QCoreApplication::sendEvent(view.viewport(), &key); }), menu);
        // The project item has no menu.
        view.selectItem(tree.Root());
        QCOMPARE(PopupEntries([&] { QTest::keyClick(&view, Qt::Key_F10, Qt::ShiftModifier); }), QStringList());
    }

    void commandShortcutsAreShownUniqueAndReachTheCommands()
    {
        TestProgram program;
        QVERIFY(ShowLongArchive(program));
        CPostloomApp& app = *program.app;
        CMainFrame& frame = app.frame();
        const std::pair<int, const char*> expected[] = {
            {ID_FILE_NEW, "Ctrl+N"},     {ID_FILE_OPEN, "Ctrl+O"},      {ID_FILE_SAVE, "Ctrl+S"},
            {ID_APP_EXIT, "Ctrl+Q"},     {ID_THREAD_EXPAND, "F5"},      {ID_HTML_CREATE, "Ctrl+B"},
            {ID_MAIL_UP, "Ctrl+Up"},     {ID_MAIL_DOWN, "Ctrl+Down"},   {ID_HELP_FINDER, "F1"},
        };
        for (const auto& [id, keys] : expected)
            QCOMPARE(frame.action(id)->shortcut(), QKeySequence(QString::fromLatin1(keys)));
        // The page switch has a key of its own, and the mail menu names it
        // and the tree's Enter.
        QCOMPARE(frame.pageButton()->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));
        QVERIFY(frame.action(ID_MAIL_INFO)->text().endsWith(QStringLiteral("\tEnter")));
        QVERIFY(frame.action(ID_MAILPAGE_ON)->text().endsWith(QStringLiteral("\tCtrl+T")));
        QVERIFY(frame.action(ID_MAILPAGE_OFF)->text().endsWith(QStringLiteral("\tCtrl+T")));
        // No key is given twice; none takes the keys the view itself reads.
        std::set<QString> taken;
        for (const QAction* action : frame.findChildren<QAction*>()) {
            for (const QKeySequence& keys : action->shortcuts()) {
                QVERIFY2(taken.insert(keys.toString()).second, qPrintable(keys.toString()));
                QVERIFY(keys != QKeySequence(Qt::Key_Return) && keys != QKeySequence(Qt::SHIFT | Qt::Key_F10));
            }
        }

        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        CPostloomView& view = app.view();
        view.setFocus();
        const ThreadTree& tree = view.treeModel().Tree();
        const MailRecord* const first = MailNumber(app, 0);
        const MailRecord* const second = MailNumber(app, 3);
        const MailRecord* const third = MailNumber(app, 6);
        view.selectItem(second->treeItem);
        QTRY_VERIFY(frame.action(ID_MAIL_UP)->isEnabled());
        QTest::keyClick(&view, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(tree.FirstChild(tree.Root()), second->treeItem);
        QCOMPARE(view.selectedItem(), second->treeItem);
        for (int i = 0; i < 2; ++i) {
            QTRY_VERIFY(frame.action(ID_MAIL_DOWN)->isEnabled());
            QTest::keyClick(&view, Qt::Key_Down, Qt::ControlModifier);
        }
        QCOMPARE(tree.FirstChild(tree.Root()), first->treeItem);
        QCOMPARE(tree.PrevSibling(second->treeItem), third->treeItem);
        QCOMPARE(view.selectedItem(), second->treeItem);
        QVERIFY(app.document().isModified());

        // Ctrl+T switches the page off and on again, with the mail bar hidden.
        frame.mailBar()->hide();
        QTRY_VERIFY(frame.pageButton()->isEnabled());
        QTest::keyClick(&view, Qt::Key_T, Qt::ControlModifier);
        QCOMPARE(second->outputHtml, 0);
        QTRY_COMPARE(frame.pageButton()->toolTip(), QStringLiteral("ﾒｰﾙHTMLを出力する"));
        QTest::keyClick(&view, Qt::Key_T, Qt::ControlModifier);
        QCOMPARE(second->outputHtml, 1);

        // F5 builds the tree again; Ctrl+Q asks about the changes and ends.
        QTRY_VERIFY(frame.action(ID_THREAD_EXPAND)->isEnabled());
        QSignalSpy built(&view, &CPostloomView::treeFinished);
        QTest::keyClick(&view, Qt::Key_F5);
        QVERIFY(view.hasWorkers());
        QVERIFY(built.wait(kPatience));
        QCOMPARE(frame.runSummary(), QStringLiteral("%1ｽﾚｯﾄﾞに展開しました").arg(kThreads));
        QSignalSpy quit(&app, &CPostloomApp::quitRequested);
        program.prompts->saveChoices.push_back(SaveChoice::Discard);
        QTRY_VERIFY(frame.action(ID_APP_EXIT)->isEnabled());
        QTest::keyClick(&view, Qt::Key_Q, Qt::ControlModifier);
        QTRY_COMPARE(quit.count(), 1);
        QVERIFY(program.prompts->saveChoices.empty());
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::TreeKeyboardTest)
#include "tree_keyboard_test.moc"
