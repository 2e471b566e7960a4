// What the desktop program keeps between runs: the window's size, place and
// tool bars, the folder of the file dialogs, and recent entries that can be
// told apart.

#include "app/command_ids.h"
#include "app/desktop/dialog_folder.h"
#include "desktop_test_support.h"

#include <QAction>
#include <QDir>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QToolBar>

namespace postloom {

using test::TestProgram;

namespace {

QStringList Texts(const QList<QAction*>& actions)
{
    QStringList texts;
    for (const QAction* action : actions)
        texts.append(action->text());
    return texts;
}

}  // namespace

class WindowMemoryTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sizePlaceAndToolBarsComeBack()
    {
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("layout.ini")), QSettings::IniFormat);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect placed(screen.topLeft() + QPoint(30, 40), QSize(700, 500));
        {
            TestProgram program;
            CMainFrame& frame = program.app->frame();
            // Without a stored layout: the size it always had.
            frame.restoreLayout(store);
            QCOMPARE(frame.size(), QSize(640, 480));
            program.app->start();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            frame.setGeometry(placed);
            frame.addToolBar(Qt::LeftToolBarArea, frame.mailBar());
            frame.htmlBar()->hide();
            QTRY_COMPARE(frame.geometry(), placed);
            frame.saveLayout(store);
        }
        TestProgram program;
        CMainFrame& frame = program.app->frame();
        frame.restoreLayout(store);
        program.app->start();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(frame.geometry(), placed);
        QCOMPARE(frame.toolBarArea(frame.mailBar()), Qt::LeftToolBarArea);
        QCOMPARE(frame.toolBarArea(frame.projectBar()), Qt::TopToolBarArea);
        QVERIFY(frame.projectBar()->isVisible());
        QVERIFY(!frame.htmlBar()->isVisible());
        // The view menu's check marks follow the bars.
        QTRY_VERIFY(!frame.action(ID_VIEW_HTMLBAR)->isChecked());
        QVERIFY(frame.action(ID_VIEW_MAILBAR)->isChecked());
    }

    void aPlaceNoScreenShowsComesBackOnTheScreen()
    {
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("layout.ini")), QSettings::IniFormat);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        {
            TestProgram program;
            CMainFrame& frame = program.app->frame();
            program.app->start();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            // A screen to the right that has since been unplugged.
            frame.setGeometry(QRect(screen.right() + 400, screen.top() + 50, 500, 400));
            QTRY_VERIFY(!screen.intersects(frame.geometry()));
            frame.saveLayout(store);
        }
        TestProgram program;
        CMainFrame& frame = program.app->frame();
        frame.restoreLayout(store);
        program.app->start();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY2(screen.contains(frame.geometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                   .arg(frame.x())
                                                                   .arg(frame.y())
                                                                   .arg(frame.width())
                                                                   .arg(frame.height())));
        QCOMPARE(frame.size(), QSize(500, 400));
    }

    void damagedLayoutFallsBackToTheDefaultSize()
    {
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("layout.ini")), QSettings::IniFormat);
        store.setValue(QStringLiteral("Window/Geometry"), QByteArray("not a geometry"));
        store.setValue(QStringLiteral("Window/ToolBars"), QByteArray("nor a state"));
        TestProgram program;
        CMainFrame& frame = program.app->frame();
        frame.restoreLayout(store);
        QCOMPARE(frame.size(), QSize(640, 480));
        QCOMPARE(frame.toolBarArea(frame.mailBar()), Qt::TopToolBarArea);
    }

    void recentEntriesWithTheSameNameShowTheirFolders()
    {
        TestProgram program;
        CMainFrame& frame = program.app->frame();
        frame.setRecentFiles({QStringLiteral("/home/u/2004/archive.plp"), QStringLiteral("/home/u/list&talk.plp"),
                              QStringLiteral("/srv/archive.plp"), QStringLiteral("/home/u/other.plp")});
        QCOMPARE(Texts(frame.recentActions()),
                 (QStringList{QStringLiteral("&1 archive.plp (/home/u/2004)"), QStringLiteral("&2 list&&talk.plp"),
                              QStringLiteral("&3 archive.plp (/srv)"), QStringLiteral("&4 other.plp")}));
        // The full path stays in the status tip of every entry.
        QCOMPARE(frame.recentActions().at(1)->statusTip(), QStringLiteral("/home/u/list&talk.plp"));
        frame.setRecentFiles({QStringLiteral("/srv/archive.plp")});
        QCOMPARE(Texts(frame.recentActions()), QStringList{QStringLiteral("&1 archive.plp")});
    }

    void fileDialogsOpenWhereTheLastProjectWasChosen()
    {
        QTemporaryDir dir;
        QSettings store(dir.filePath(QStringLiteral("folders.ini")), QSettings::IniFormat);
        QCOMPARE(LastDialogFolder(store), QString());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("projects")));
        const QString folder = dir.filePath(QStringLiteral("projects"));
        RememberDialogFolder(store, folder + QStringLiteral("/sample.plp"));
        store.sync();
        QSettings again(dir.filePath(QStringLiteral("folders.ini")), QSettings::IniFormat);
        QCOMPARE(LastDialogFolder(again), folder);
        // A folder deleted since then is no place to start.
        QVERIFY(QDir(folder).removeRecursively());
        QCOMPARE(LastDialogFolder(again), QString());
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::WindowMemoryTest)
#include "window_memory_test.moc"
