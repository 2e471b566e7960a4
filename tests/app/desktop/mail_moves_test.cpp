#include "app/desktop/mail_moves.h"

#include "core/threading/tree_builder.h"
#include "thread_fixture.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <string>

namespace postloom {

using test::Build;
using test::Find;
using test::LinksFollowTheTree;
using test::Order;
using test::Shape;
using test::Thread;

class MailMovesTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void movingAReplyWithRepliesUpAndDownKeepsListTreeAndLinksInStep()
    {
        MailList mails = Thread();
        ThreadTreeModel model;
        QAbstractItemModelTester tester(&model);
        model.TakeTree(Build(mails));
        const ThreadTree& tree = model.Tree();
        QCOMPARE(Shape(model, mails), QStringLiteral("t(a b(b1 b2) c) s"));
        MailRecord* const b = Find(mails, "b");
        const TreeItem selected = b->treeItem;
        QVERIFY(!CanMoveUp(tree, Find(mails, "a")->treeItem));
        QVERIFY(!CanMoveDown(tree, Find(mails, "c")->treeItem));
        QVERIFY(!CanMoveUp(tree, tree.Root()));
        QVERIFY(!MoveMailUp(model, mails, Find(mails, "a")->treeItem));

        const auto up = MoveMailUp(model, mails, selected);
        QVERIFY(up);
        QCOMPARE(Shape(model, mails), QStringLiteral("t(b(b1 b2) a c) s"));
        QCOMPARE(Order(mails), QStringLiteral("t=100 b=110 a=120 b1=130 b2=140 c=150 s=160 "));
        // The selected item stays, showing its mail at the new index.
        QCOMPARE(up->select, selected);
        QCOMPARE(tree.ItemData(selected), 1u);
        QCOMPARE(b->treeItem, selected);
        QCOMPARE(tree.Icon(Find(mails, "b1")->treeItem), int(kIconMail));
        QCOMPARE(tree.Icon(Find(mails, "b2")->treeItem), int(kIconMailNoPage));
        QVERIFY(LinksFollowTheTree(tree, mails));
        QCOMPARE(Find(mails, "t")->firstChild, b);
        QCOMPARE(Find(mails, "c")->prevSibling, Find(mails, "a"));

        const auto down = MoveMailDown(model, mails, selected);
        QVERIFY(down);
        QCOMPARE(Shape(model, mails), QStringLiteral("t(a b(b1 b2) c) s"));
        QCOMPARE(Order(mails), QStringLiteral("t=100 a=110 b=120 b1=130 b2=140 c=150 s=160 "));
        QVERIFY(!tree.IsValid(selected));
        QCOMPARE(down->select, b->treeItem);
        QCOMPARE(down->copies.front().second, b->treeItem);
        QCOMPARE(down->copies.size(), std::size_t{3});
        QCOMPARE(tree.Icon(Find(mails, "b2")->treeItem), int(kIconMailNoPage));
        QVERIFY(LinksFollowTheTree(tree, mails));

        // Thread starts move among the threads the same way.
        QVERIFY(MoveMailDown(model, mails, Find(mails, "t")->treeItem));
        QCOMPARE(Shape(model, mails), QStringLiteral("s t(a b(b1 b2) c)"));
        QVERIFY(LinksFollowTheTree(tree, mails));
    }

    void movedOrderSurvivesTheNextBuild()
    {
        MailList mails = Thread();
        ThreadTreeModel model;
        model.TakeTree(Build(mails));
        QVERIFY(MoveMailDown(model, mails, Find(mails, "a")->treeItem));
        QVERIFY(MoveMailUp(model, mails, Find(mails, "c")->treeItem));
        const QString moved = Shape(model, mails);
        QCOMPARE(moved, QStringLiteral("t(b(b1 b2) c a) s"));
        model.TakeTree(Build(mails));
        QCOMPARE(Shape(model, mails), moved);
    }

    void dropOntoAMailGoesAmongItsRepliesByDate()
    {
        MailList mails = Thread();
        ThreadTreeModel model;
        QAbstractItemModelTester tester(&model);
        model.TakeTree(Build(mails));
        const ThreadTree& tree = model.Tree();
        MailRecord* const s = Find(mails, "s");
        MailRecord* const t = Find(mails, "t");
        // Same date as b: after b, before c.
        s->date = 120;
        s->outputHtml = 0;
        const QString order = Order(mails);

        const auto change = DropMail(model, mails, s->treeItem, t->treeItem);
        QVERIFY(change);
        QCOMPARE(change->select, s->treeItem);
        QCOMPARE(Shape(model, mails), QStringLiteral("t(a b(b1 b2) s c)"));
        QCOMPARE(Order(mails), order);
        QCOMPARE(s->inReplyTo, std::string("t"));
        QCOMPARE(s->noReplyHeaders, 0);
        QVERIFY(s->references.empty());
        QCOMPARE(s->parent, t);
        QCOMPARE(tree.Icon(s->treeItem), int(kIconMailNoPage));
        QVERIFY(LinksFollowTheTree(tree, mails));
        QCOMPARE(Find(mails, "b")->nextSibling, s);
        QCOMPARE(Find(mails, "c")->prevSibling, s);

        // A reply that names an earlier mail of its thread in its
        // references stays where it was dropped at the next build.
        QVERIFY(DropMail(model, mails, Find(mails, "b1")->treeItem, Find(mails, "c")->treeItem));
        QCOMPARE(Shape(model, mails), QStringLiteral("t(a b(b2) s c(b1))"));
        // (The build orders the replies of a mail by list position.)
        model.TakeTree(Build(mails));
        QCOMPARE(Shape(model, mails), QStringLiteral("t(a b(b2) c(b1) s)"));
    }

    void dropWithRepliesKeepsThemAndTheirIcons()
    {
        MailList mails = Thread();
        ThreadTreeModel model;
        model.TakeTree(Build(mails));
        const ThreadTree& tree = model.Tree();
        MailRecord* const b = Find(mails, "b");
        const auto change = DropMail(model, mails, b->treeItem, Find(mails, "s")->treeItem);
        QVERIFY(change);
        QCOMPARE(Shape(model, mails), QStringLiteral("t(a c) s(b(b1 b2))"));
        QCOMPARE(change->copies.size(), std::size_t{3});
        QCOMPARE(tree.Icon(Find(mails, "b2")->treeItem), int(kIconMailNoPage));
        QCOMPARE(Find(mails, "b1")->parent, b);
        QCOMPARE(Find(mails, "a")->nextSibling, Find(mails, "c"));
        QVERIFY(LinksFollowTheTree(tree, mails));
        model.TakeTree(Build(mails));
        QCOMPARE(Shape(model, mails), QStringLiteral("t(a c) s(b(b1 b2))"));
    }

    void dropOntoTheProjectItemMakesAThreadStart()
    {
        MailList mails = Thread();
        ThreadTreeModel model;
        model.TakeTree(Build(mails));
        const ThreadTree& tree = model.Tree();
        MailRecord* const b1 = Find(mails, "b1");
        // An orphan's icon becomes a plain mail's once the user has placed it.
        model.SetIcon(b1->treeItem, kIconOrphan);
        QVERIFY(DropMail(model, mails, b1->treeItem, tree.Root()));
        QCOMPARE(Shape(model, mails), QStringLiteral("t(a b(b2) c) b1 s"));
        QVERIFY(b1->inReplyTo.empty());
        QCOMPARE(b1->noReplyHeaders, 1);
        QCOMPARE(b1->parent, nullptr);
        QCOMPARE(tree.Icon(b1->treeItem), int(kIconMail));
        QVERIFY(LinksFollowTheTree(tree, mails));
        model.TakeTree(Build(mails));
        QCOMPARE(Shape(model, mails), QStringLiteral("t(a b(b2) c) b1 s"));
    }

    void dropsThatWouldChangeNothingOrLoopAreRefused()
    {
        MailList mails = Thread();
        ThreadTreeModel model;
        model.TakeTree(Build(mails));
        const ThreadTree& tree = model.Tree();
        const QString shape = Shape(model, mails);
        const TreeItem b = Find(mails, "b")->treeItem;
        const std::string inReplyTo = Find(mails, "b")->inReplyTo;

        QVERIFY(!DropMail(model, mails, b, Find(mails, "t")->treeItem));   // its parent
        QVERIFY(!DropMail(model, mails, b, b));                            // itself
        QVERIFY(!DropMail(model, mails, b, Find(mails, "b1")->treeItem));  // below it
        QVERIFY(!DropMail(model, mails, tree.Root(), Find(mails, "s")->treeItem));
        QVERIFY(!CanDrag(tree, tree.Root()));
        QVERIFY(!DropMail(model, mails, Find(mails, "t")->treeItem, tree.Root()));
        QCOMPARE(Shape(model, mails), shape);
        QCOMPARE(Find(mails, "b")->inReplyTo, inReplyTo);
        QCOMPARE(Find(mails, "b")->references.size(), std::size_t{1});
    }
};

}  // namespace postloom

QTEST_MAIN(postloom::MailMovesTest)
#include "mail_moves_test.moc"
