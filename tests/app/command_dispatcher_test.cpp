#include "app/command_dispatcher.h"
#include "app/command_ids.h"

#include "app_test_support.h"

#include <QSignalSpy>
#include <QTest>

#include <set>
#include <thread>

namespace postloom {
namespace {

using test::kPatience;

class CommandDispatcherTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tableNamesEveryIdOnceAndMarksTheCompletionNotices()
    {
        std::set<int> ids;
        std::set<std::string_view> names;
        std::set<int> notices;
        for (const CommandInfo& info : CommandTable()) {
            QVERIFY2(ids.insert(info.id).second, info.name.data());
            QVERIFY2(names.insert(info.name).second, info.name.data());
            QCOMPARE(FindCommand(info.id), &info);
            QCOMPARE(FindCommand(info.name), &info);
            if (info.kind == CommandKind::Notice) {
                notices.insert(info.id);
            }
        }
        const std::set<int> expected{ID_UPDATE_TREEITEM, ID_UPDATE_GRAPHIC, ID_UPDATE_INDEX, ID_UPDATE_HTML,
                                     ID_MAIL_READ_FIN,   ID_MAIL_SORT_FIN,  ID_IMPORT_FIN};
        QCOMPARE(notices, expected);
        QCOMPARE(FindCommand("ID_MAIL_READ_FIN")->id, 32788);
        QCOMPARE(FindCommand(32791), nullptr);
    }

    void postedCommandIsDroppedWhenItsRuleFailsWhenItArrives()
    {
        CommandDispatcher dispatcher;
        QStringList log;
        bool busy = false;
        const auto doc = dispatcher.addRoutes(
            RouteLevel::Document,
            {{.id = ID_THREAD_EXPAND, .enabled = [&busy] { return !busy; }, .handler = [&log] { log << "expand"; }}});
        QSignalSpy dropped(&dispatcher, &CommandDispatcher::dropped);

        dispatcher.post(ID_THREAD_EXPAND);
        busy = true;  // the rule is tested when the command arrives, not when it is posted
        dispatcher.post(ID_THREAD_EXPAND);
        busy = false;
        dispatcher.post(ID_THREAD_EXPAND);
        busy = true;
        QVERIFY(test::Drain(dispatcher));

        QVERIFY(log.isEmpty());
        QCOMPARE(dropped.count(), 3);
        QCOMPARE(dropped.at(0).at(0).toInt(), int{ID_THREAD_EXPAND});

        busy = false;
        dispatcher.post(ID_THREAD_EXPAND);
        QVERIFY(test::Drain(dispatcher));
        QCOMPARE(log, QStringList{"expand"});
    }

    void completionNoticesRunWhateverTheRuleSays()
    {
        CommandDispatcher dispatcher;
        QStringList log;
        const auto doc = dispatcher.addRoutes(RouteLevel::Document,
                                              {{.id = ID_MAIL_SORT_FIN,
                                                .enabled = [] { return false; },
                                                .handler = [&log] { log << "sorted"; }},
                                               {.id = ID_MAILPAGE_CREATE,
                                                .enabled = [] { return false; },
                                                .handler = [&log] { log << "pages"; }}});
        QSignalSpy dropped(&dispatcher, &CommandDispatcher::dropped);

        dispatcher.post(ID_MAIL_SORT_FIN);
        dispatcher.post(ID_MAILPAGE_CREATE);
        QVERIFY(test::Drain(dispatcher));

        QCOMPARE(log, QStringList{"sorted"});
        QCOMPARE(dropped.count(), 1);
        QVERIFY(!dispatcher.send(ID_MAILPAGE_CREATE));
        QVERIFY(dispatcher.send(ID_MAIL_SORT_FIN));
    }

    void postedCommandsRunInOrderOnTheDispatchersThread()
    {
        CommandDispatcher dispatcher;
        QStringList log;
        bool everyOnOwnThread = true;
        const auto check = [&] { everyOnOwnThread = everyOnOwnThread && QThread::currentThread() == dispatcher.thread(); };
        const auto view = dispatcher.addRoutes(RouteLevel::View,
                                               {{.id = ID_HTML_CREATE, .handler = [&] { check(); log << "a"; }},
                                                {.id = ID_INDEX_CREATE, .handler = [&] { check(); log << "b"; }}});

        std::thread worker([&dispatcher] {
            for (int i = 0; i < 3; ++i) {
                dispatcher.post(ID_HTML_CREATE);
                dispatcher.post(ID_INDEX_CREATE);
            }
        });
        worker.join();
        QVERIFY(test::Drain(dispatcher));

        QCOMPARE(log, (QStringList{"a", "b", "a", "b", "a", "b"}));
        QVERIFY(everyOnOwnThread);
    }

    // The document supplies rules for commands that the view handles; the
    // view's own routes come first whatever order they were added in.
    void rulesAndHandlersAreLookedUpInRoutingOrder()
    {
        CommandDispatcher dispatcher;
        QStringList log;
        bool treeBuilt = false;
        const auto app = dispatcher.addRoutes(RouteLevel::Application,
                                              {{.id = ID_FILE_NEW, .handler = [&log] { log << "app new"; }}});
        const auto doc = dispatcher.addRoutes(
            RouteLevel::Document,
            {{.id = ID_INDEX_CREATE, .enabled = [&treeBuilt] { return treeBuilt; }},
             {.id = ID_FILE_NEW, .enabled = [] { return true; }, .handler = [&log] { log << "doc new"; }}});
        const auto view = dispatcher.addRoutes(RouteLevel::View,
                                               {{.id = ID_INDEX_CREATE, .handler = [&log] { log << "view index"; }},
                                                {.id = ID_FILE_NEW, .handler = [&log] { log << "view new"; }}});

        QVERIFY(!dispatcher.isEnabled(ID_INDEX_CREATE));
        QVERIFY(!dispatcher.send(ID_INDEX_CREATE));
        treeBuilt = true;
        QVERIFY(dispatcher.send(ID_INDEX_CREATE));
        QVERIFY(dispatcher.send(ID_FILE_NEW));
        QCOMPARE(log, (QStringList{"view index", "view new"}));
    }

    void commandThatNobodyHandlesIsDisabled()
    {
        CommandDispatcher dispatcher;
        QSignalSpy dropped(&dispatcher, &CommandDispatcher::dropped);
        const auto doc = dispatcher.addRoutes(RouteLevel::Document,
                                              {{.id = ID_APP_EXIT, .handler = [] {}},
                                               {.id = ID_MAIL_RELOAD, .enabled = [] { return true; }}});

        QVERIFY(!dispatcher.isEnabled(ID_HTML_DELETE_ALL));
        QVERIFY(!dispatcher.send(ID_HTML_DELETE_ALL));
        QVERIFY(dispatcher.isEnabled(ID_APP_EXIT));
        // A rule alone runs nothing.
        QVERIFY(!dispatcher.send(ID_MAIL_RELOAD));
        // A notice that nobody handles is dropped too (its owner is gone).
        QVERIFY(!dispatcher.send(ID_UPDATE_HTML));
        QCOMPARE(dropped.count(), 3);
    }

    void routesLiveAsLongAsTheirRegistration()
    {
        CommandDispatcher dispatcher;
        int runs = 0;
        {
            auto first = dispatcher.addRoutes(RouteLevel::View, {{.id = ID_MAIL_UP, .handler = [&runs] { ++runs; }}});
            CommandDispatcher::Registration moved = std::move(first);
            QVERIFY(dispatcher.send(ID_MAIL_UP));
        }
        QVERIFY(!dispatcher.send(ID_MAIL_UP));
        QCOMPARE(runs, 1);

        // A registration that outlives its dispatcher does no harm.
        auto orphan = std::make_unique<CommandDispatcher>();
        auto registration = orphan->addRoutes(RouteLevel::View, {{.id = ID_MAIL_UP, .handler = [] {}}});
        orphan.reset();
    }

    // An owner may go away in its own handler (the view destroyed by Exit).
    void handlerMayRemoveItsOwnRoutes()
    {
        CommandDispatcher dispatcher;
        CommandDispatcher::Registration routes;
        QString seen;
        routes = dispatcher.addRoutes(RouteLevel::View, {{.id = ID_APP_EXIT, .handler = [&routes, &seen] {
                                                              const QString text = QStringLiteral("captured text");
                                                              routes = {};
                                                              seen = text;
                                                          }}});
        QVERIFY(dispatcher.send(ID_APP_EXIT));
        QCOMPARE(seen, QStringLiteral("captured text"));
        QVERIFY(!dispatcher.isEnabled(ID_APP_EXIT));
    }
};

}  // namespace
}  // namespace postloom

QTEST_GUILESS_MAIN(postloom::CommandDispatcherTest)
#include "command_dispatcher_test.moc"
