// Every change made by hand, undone and redone on the undo stack, gives back
// exactly the tree and the mails it found.

#include "app/desktop/tree_undo.h"

#include "core/threading/tree_builder.h"
#include "thread_fixture.h"

#include <QAbstractItemModelTester>
#include <QTest>
#include <QUndoStack>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace postloom {

using test::Build;
using test::Find;
using test::LinksFollowTheTree;
using test::Mail;
using test::Snapshot;
using test::Thread;

namespace {

class Host final : public TreeEditHost {
public:
    explicit Host(MailList list) : mails(std::move(list)) { model.TakeTree(Build(mails)); }

    ThreadTreeModel& editedModel() override { return model; }
    MailList& editedMails() override { return mails; }
    std::vector<TreeItem> expandedBelow(TreeItem) const override { return {}; }
    void treeChanged(const TreeChange& change, const std::vector<TreeItem>&) override { selected = change.select; }
    void pagesChanged(TreeItem item) override { selected = item; }

    const ThreadTree& tree() const { return model.Tree(); }
    TreeItem item(const std::string& id) const { return Find(mails, id)->treeItem; }
    std::string state() const { return Snapshot(model.Tree(), mails); }

    MailList mails;
    ThreadTreeModel model;
    TreeItem selected = kNoItem;
};

// A larger archive: replies to random earlier mails, some without a page,
// some orphans (their parent is not in the list).
MailList RandomArchive(std::mt19937& random, int count)
{
    MailList mails;
    for (int i = 0; i < count; ++i) {
        const std::string id = "m" + std::to_string(i);
        const int kind = static_cast<int>(random() % 4);
        std::string answers;
        if (i > 0 && kind != 0)
            answers = kind == 3 ? "gone" + std::to_string(i) : "m" + std::to_string(random() % i);
        // Some dates repeat, so that drops meet equal dates.
        mails.push_back(Mail(id, 100 + static_cast<std::int32_t>(i / 2), answers));
        mails.back()->outputHtml = random() % 5 == 0 ? 0 : 1;
    }
    return mails;
}

TreeItem RandomItem(std::mt19937& random, const Host& host)
{
    return host.mails[random() % host.mails.size()]->treeItem;
}

}  // namespace

}  // namespace postloom

// Makes a change for a row of a table test.
using MakeCommand = std::function<std::unique_ptr<QUndoCommand>(postloom::Host&)>;
Q_DECLARE_METATYPE(MakeCommand)

namespace postloom {

class TreeUndoTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void eachKindOfChangeIsUndoneAndRedoneExactly_data()
    {
        QTest::addColumn<MakeCommand>("make");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("selects");
        const auto move = [](const char* id, MoveDirection direction) {
            return MakeCommand([=](Host& host) { return MakeMoveCommand(host, host.item(id), direction); });
        };
        const auto place = [](const char* id, const char* target) {
            return MakeCommand([=](Host& host) {
                const TreeItem onto = target == nullptr ? host.tree().Root() : host.item(target);
                return MakePlaceCommand(host, host.item(id), onto, kUndoDrop);
            });
        };
        const auto page = [](const char* id, bool on) {
            return MakeCommand([=](Host& host) {
                // Mixed flags below and above the mail, so that each gets its own back.
                Find(host.mails, "b1")->outputHtml = 0;
                host.model.SetIcon(host.item("b1"), kIconOrphanNoPage);
                Find(host.mails, "t")->outputHtml = 0;
                host.model.SetIcon(host.item("t"), kIconMailNoPage);
                return MakePageCommand(host, host.item(id), on);
            });
        };
        QTest::newRow("up with replies") << move("b", MoveDirection::Up) << kUndoMoveUp << "b";
        QTest::newRow("down with replies") << move("b", MoveDirection::Down) << kUndoMoveDown << "b";
        QTest::newRow("drop among replies") << place("s", "t") << kUndoDrop << "s";
        QTest::newRow("drop with replies") << place("b", "s") << kUndoDrop << "b";
        QTest::newRow("drop onto project") << place("b1", nullptr) << kUndoDrop << "b1";
        QTest::newRow("page off with replies") << page("b", false) << kUndoPageOff << "b";
        QTest::newRow("page on up the thread") << page("b2", true) << kUndoPageOn << "b2";
    }

    void eachKindOfChangeIsUndoneAndRedoneExactly()
    {
        QFETCH(MakeCommand, make);
        QFETCH(QString, text);
        QFETCH(QString, selects);
        Host host(Thread());
        QAbstractItemModelTester tester(&host.model);
        // An orphan's icon on the mail that a drop moves: the drop gives it
        // a plain mail's icon, the undo its own back.
        host.model.SetIcon(host.item("b1"), kIconOrphan);
        QUndoStack stack;
        std::unique_ptr<QUndoCommand> command = make(host);
        QVERIFY(command);
        QCOMPARE(command->text(), text);
        const std::string before = host.state();

        stack.push(command.release());
        QCOMPARE(stack.count(), 1);
        const std::string after = host.state();
        QVERIFY(after != before);
        QCOMPARE(host.selected, host.item(selects.toStdString()));
        QVERIFY(LinksFollowTheTree(host.tree(), host.mails));

        for (int round = 0; round < 2; ++round) {
            stack.undo();
            QCOMPARE(host.state(), before);
            QCOMPARE(host.selected, host.item(selects.toStdString()));
            QVERIFY(LinksFollowTheTree(host.tree(), host.mails));
            stack.redo();
            QCOMPARE(host.state(), after);
            QVERIFY(LinksFollowTheTree(host.tree(), host.mails));
        }
    }

    // Random moves, drops and page switches on a larger archive: undoing
    // them one by one passes every state again backwards, down to the
    // first; redoing them passes them forwards.
    void randomChangesAreUndoneStepByStep()
    {
        for (const unsigned seed : {1u, 2u, 3u, 4u}) {
            std::mt19937 random(seed);
            Host host(RandomArchive(random, 60));
            QUndoStack stack;
            std::vector<std::string> states{host.state()};
            while (states.size() < 80) {
                const TreeItem item = RandomItem(random, host);
                std::unique_ptr<QUndoCommand> command;
                switch (random() % 5) {
                case 0:
                    command = MakeMoveCommand(host, item, MoveDirection::Up);
                    break;
                case 1:
                    command = MakeMoveCommand(host, item, MoveDirection::Down);
                    break;
                case 2: {
                    const TreeItem target = random() % 8 == 0 ? host.tree().Root() : RandomItem(random, host);
                    command = MakePlaceCommand(host, item, target, kUndoDrop);
                    break;
                }
                default:
                    command = MakePageCommand(host, item, random() % 2 == 0);
                    break;
                }
                if (!command)
                    continue;
                stack.push(command.release());
                states.push_back(host.state());
                QVERIFY(LinksFollowTheTree(host.tree(), host.mails));
            }
            QCOMPARE(stack.count(), static_cast<int>(states.size()) - 1);
            for (auto state = states.rbegin() + 1; state != states.rend(); ++state) {
                stack.undo();
                QCOMPARE(host.state(), *state);
            }
            for (auto state = states.begin() + 1; state != states.end(); ++state) {
                stack.redo();
                QCOMPARE(host.state(), *state);
            }
            QVERIFY(LinksFollowTheTree(host.tree(), host.mails));
        }
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::TreeUndoTest)
#include "tree_undo_test.moc"
