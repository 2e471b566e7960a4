#include "app/view/thread_tree_model.h"

#include "app/view/pictures.h"
#include "core/text/codec.h"

#include <QAbstractItemModelTester>
#include <QImage>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

#include <random>
#include <string>
#include <vector>

using postloom::kNoItem;
using postloom::ThreadTree;
using postloom::ThreadTreeModel;
using postloom::TreeItem;

namespace {

constexpr auto First = ThreadTree::Place::First;
constexpr auto Last = ThreadTree::Place::Last;

// The model's rows in the tree's dump format (item data, children in
// parentheses), walked only through the QAbstractItemModel interface.
void DumpRows(const ThreadTreeModel& model, const QModelIndex& parent, std::string& out)
{
    const int rows = model.rowCount(parent);
    for (int row = 0; row < rows; ++row) {
        const QModelIndex child = model.index(row, 0, parent);
        if (row > 0)
            out += ' ';
        out += std::to_string(model.Tree().ItemData(model.ItemOf(child)));
        if (model.rowCount(child) > 0) {
            out += '(';
            DumpRows(model, child, out);
            out += ')';
        }
    }
}

QByteArray ModelDump(const ThreadTreeModel& model)
{
    std::string out;
    DumpRows(model, QModelIndex(), out);
    return QByteArray::fromStdString(out);
}

QByteArray TreeDump(const ThreadTreeModel& model)
{
    return QByteArray::fromStdString(model.Tree().Dump());
}

// Every living item: its index leads back to it, sits in the tree's row and
// under the tree's parent.
void CheckEveryIndex(const ThreadTreeModel& model)
{
    const ThreadTree& tree = model.Tree();
    std::vector<TreeItem> pending;
    for (TreeItem top = tree.Root(); top != kNoItem; top = tree.NextSibling(top))
        pending.push_back(top);
    while (!pending.empty()) {
        const TreeItem item = pending.back();
        pending.pop_back();
        const QModelIndex index = model.IndexOf(item);
        QVERIFY(index.isValid());
        QCOMPARE(model.ItemOf(index), item);
        QCOMPARE(index.row(), tree.Row(item));
        QCOMPARE(model.parent(index), model.IndexOf(tree.Parent(item)));
        QCOMPARE(model.index(index.row(), 0, model.parent(index)), index);
        for (TreeItem child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child))
            pending.push_back(child);
    }
}

std::vector<TreeItem> LivingItems(const ThreadTree& tree)
{
    std::vector<TreeItem> items;
    std::vector<TreeItem> pending{tree.Root()};
    while (!pending.empty()) {
        const TreeItem item = pending.back();
        pending.pop_back();
        if (item == kNoItem)
            continue;
        items.push_back(item);
        for (TreeItem child = tree.FirstChild(item); child != kNoItem; child = tree.NextSibling(child))
            pending.push_back(child);
    }
    return items;
}

}  // namespace

class ThreadTreeModelTest : public QObject {
    Q_OBJECT

private slots:
    void testerAcceptsEveryChange()
    {
        ThreadTreeModel model;
        QAbstractItemModelTester tester(&model);

        const TreeItem project = model.InsertProjectItem("Project");
        const TreeItem a = model.Insert("a", 0, 1, project, Last);
        const TreeItem b = model.Insert("b", 0, 2, project, First);
        const TreeItem c = model.InsertAfter("c", 1, 3, project, b);
        const TreeItem d = model.Insert("d", 0, 4, a, Last);
        model.Insert("e", 3, 5, d, Last);
        model.InsertAfter("f", 0, 6, a, kNoItem);
        QVERIFY(model.SetIcon(c, 4));
        const auto copies = model.RecreateChildren(a, c);
        QCOMPARE(copies.size(), std::size_t{3});
        QVERIFY(model.Delete(a));
        QVERIFY(model.Delete(b));
        QCOMPARE(TreeDump(model), "0(3(6 4(5)))");

        ThreadTree other;
        const TreeItem root = other.Insert("Other", 2, 0, kNoItem, Last);
        other.Insert("x", 0, 7, root, Last);
        model.TakeTree(std::move(other));
        QCOMPARE(ModelDump(model), "0(7)");
        model.DeleteAll();
        QCOMPARE(model.rowCount(), 0);
    }

    void handlesAndIndexesMapBothWays()
    {
        ThreadTreeModel model;
        const TreeItem project = model.InsertProjectItem("P");
        const TreeItem a = model.Insert("a", 0, 1, project, Last);
        const TreeItem b = model.Insert("b", 0, 2, project, Last);
        const TreeItem c = model.Insert("c", 0, 3, b, Last);
        model.Insert("d", 0, 4, c, Last);
        CheckEveryIndex(model);

        QCOMPARE(model.IndexOf(b).row(), 1);
        QCOMPARE(model.IndexOf(b).internalId(), quintptr{b});
        QVERIFY(!model.IndexOf(kNoItem).isValid());
        QCOMPARE(model.ItemOf(QModelIndex()), kNoItem);

        model.Delete(a);
        QVERIFY(!model.IndexOf(a).isValid());
        QCOMPARE(model.IndexOf(b).row(), 0);

        // An index of another model is no item of this one.
        QStandardItemModel foreign;
        foreign.appendRow(new QStandardItem(QStringLiteral("x")));
        QCOMPARE(model.ItemOf(foreign.index(0, 0)), kNoItem);
    }

    // Rows stay right after inserts first, after a sibling and last, and
    // after deletes, also while the rows of the parent are already known.
    void rowsFollowInsertsAndDeletes()
    {
        ThreadTreeModel model;
        QAbstractItemModelTester tester(&model);
        const TreeItem project = model.InsertProjectItem("P");
        const TreeItem one = model.Insert("1", 0, 1, project, Last);
        QCOMPARE(ModelDump(model), "0(1)");
        model.Insert("2", 0, 2, project, Last);
        QCOMPARE(ModelDump(model), "0(1 2)");
        model.Insert("3", 0, 3, project, First);
        QCOMPARE(ModelDump(model), "0(3 1 2)");
        const TreeItem four = model.InsertAfter("4", 0, 4, project, one);
        QCOMPARE(ModelDump(model), "0(3 1 4 2)");
        model.InsertAfter("5", 0, 5, project, kNoItem);
        QCOMPARE(ModelDump(model), "0(5 3 1 4 2)");
        model.Insert("6", 0, 6, four, First);
        QCOMPARE(ModelDump(model), "0(5 3 1 4(6) 2)");
        model.Delete(one);
        QCOMPARE(ModelDump(model), "0(5 3 4(6) 2)");
        CheckEveryIndex(model);
        model.Delete(four);
        QCOMPARE(ModelDump(model), "0(5 3 2)");
        CheckEveryIndex(model);
    }

    void refusesUnknownItems()
    {
        ThreadTreeModel model;
        const TreeItem project = model.InsertProjectItem("P");
        const TreeItem a = model.Insert("a", 0, 1, project, Last);
        const TreeItem b = model.Insert("b", 0, 2, a, Last);
        const TreeItem gone = model.Insert("gone", 0, 3, project, Last);
        model.Delete(gone);
        QSignalSpy changes(&model, &QAbstractItemModel::rowsAboutToBeInserted);

        QCOMPARE(model.Insert("x", 0, 9, gone, Last), kNoItem);
        QCOMPARE(model.InsertAfter("x", 0, 9, project, gone), kNoItem);
        QCOMPARE(model.InsertAfter("x", 0, 9, project, b), kNoItem);  // b is not a child of project
        QVERIFY(!model.Delete(gone));
        QVERIFY(!model.Delete(kNoItem));
        QVERIFY(!model.SetIcon(gone, 1));
        QVERIFY(!model.SetItemData(gone, 1));
        QCOMPARE(changes.size(), 0);
        QCOMPARE(TreeDump(model), "0(1(2))");
    }

    void iconChangeIsReportedOnce()
    {
        ThreadTreeModel model;
        const TreeItem project = model.InsertProjectItem("P");
        const TreeItem a = model.Insert("a", 0, 1, project, Last);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        QVERIFY(model.SetIcon(a, 3));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].value<QModelIndex>(), model.IndexOf(a));
        QCOMPARE(changed[0][2].value<QList<int>>(), QList<int>{Qt::DecorationRole});
        QVERIFY(model.SetIcon(a, 3));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(model.Tree().Icon(a), 3);
    }

    void takingOverATreeResetsTheModel()
    {
        ThreadTreeModel model;
        const TreeItem project = model.InsertProjectItem("P");
        model.Insert("old", 0, 1, project, Last);
        QCOMPARE(ModelDump(model), "0(1)");

        // The worker's way: a copy of the model's tree, filled elsewhere.
        ThreadTree built = model.Tree();
        built.Insert("new", 0, 2, project, Last);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.TakeTree(std::move(built));
        QCOMPARE(reset.size(), 1);
        QCOMPARE(ModelDump(model), "0(1 2)");
        CheckEveryIndex(model);

        model.DeleteAll();
        QCOMPARE(reset.size(), 2);
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!model.IndexOf(project).isValid());
    }

    void recreatedChildrenKeepShapeAndValues()
    {
        ThreadTreeModel model;
        QAbstractItemModelTester tester(&model);
        const TreeItem project = model.InsertProjectItem("P");
        const TreeItem from = model.Insert("from", 0, 1, project, Last);
        const TreeItem to = model.Insert("to", 0, 2, project, Last);
        model.Insert("kept", 0, 9, to, Last);
        const TreeItem r1 = model.Insert("r1", 3, 10, from, Last);
        const TreeItem r2 = model.Insert("r2", 0, 11, r1, Last);
        const TreeItem r3 = model.Insert("r3", 4, 12, from, Last);
        QCOMPARE(ModelDump(model), "0(1(10(11) 12) 2(9))");

        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        const auto copies = model.RecreateChildren(from, to);
        QCOMPARE(ModelDump(model), "0(1(10(11) 12) 2(9 10(11) 12))");
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0][1].toInt(), 1);
        QCOMPARE(inserted[0][2].toInt(), 2);

        QCOMPARE(copies.size(), std::size_t{3});
        QCOMPARE(copies[0].first, r1);
        QCOMPARE(copies[1].first, r2);
        QCOMPARE(copies[2].first, r3);
        const ThreadTree& tree = model.Tree();
        for (const auto& [original, copy] : copies) {
            QCOMPARE(tree.Text(copy), tree.Text(original));
            QCOMPARE(tree.Icon(copy), tree.Icon(original));
            QCOMPARE(tree.ItemData(copy), tree.ItemData(original));
        }
        QCOMPARE(tree.Parent(copies[1].second), copies[0].second);

        model.Delete(from);
        QCOMPARE(ModelDump(model), "0(2(9 10(11) 12))");
        CheckEveryIndex(model);
    }

    // A copy into the item's own subtree would copy its own copies for ever.
    void refusesToRecreateChildrenBelowThemselves()
    {
        ThreadTreeModel model;
        const TreeItem project = model.InsertProjectItem("P");
        const TreeItem a = model.Insert("a", 0, 1, project, Last);
        const TreeItem b = model.Insert("b", 0, 2, a, Last);
        const TreeItem c = model.Insert("c", 0, 3, b, Last);
        QVERIFY(model.RecreateChildren(a, a).empty());
        QVERIFY(model.RecreateChildren(a, c).empty());
        QVERIFY(model.RecreateChildren(project, b).empty());
        QCOMPARE(TreeDump(model), "0(1(2(3)))");
        QVERIFY(model.RecreateChildren(c, a).empty());  // c has no children: nothing to do
        QCOMPARE(TreeDump(model), "0(1(2(3)))");
    }

    void projectItemWithManyChildren()
    {
        constexpr int kChildren = 65535;
        ThreadTree tree;
        const TreeItem project = tree.Insert("P", 2, 0, kNoItem, Last);
        std::vector<TreeItem> children;
        for (int i = 0; i < kChildren; ++i)
            children.push_back(tree.Insert("m", 0, static_cast<std::uint32_t>(i), project, Last));
        ThreadTreeModel model;
        model.TakeTree(std::move(tree));

        const QModelIndex top = model.index(0, 0);
        QCOMPARE(model.rowCount(top), kChildren);
        for (int row = 0; row < kChildren; ++row) {
            const QModelIndex child = model.index(row, 0, top);
            QCOMPARE(model.ItemOf(child), children[static_cast<std::size_t>(row)]);
            QCOMPARE(model.parent(child), top);
        }
        QCOMPARE(model.IndexOf(children.back()).row(), kChildren - 1);

        model.Delete(children[100]);
        QCOMPARE(model.IndexOf(children.back()).row(), kChildren - 2);
        QCOMPARE(model.IndexOf(children[101]).row(), 100);
        model.Insert("new", 0, 0, project, First);
        QCOMPARE(model.IndexOf(children.back()).row(), kChildren - 1);
        QCOMPARE(model.rowCount(top), kChildren);
        for (int i = 0; i < 1000; ++i)
            model.Insert("more", 0, 0, project, Last);
        QCOMPARE(model.rowCount(top), kChildren + 1000);
    }

    void deepThread()
    {
        constexpr int kDepth = 20000;
        ThreadTree tree;
        TreeItem item = tree.Insert("P", 2, 0, kNoItem, Last);
        const TreeItem project = item;
        const TreeItem start = tree.Insert("start", 0, 1, item, Last);
        item = start;
        for (int i = 1; i < kDepth; ++i)
            item = tree.Insert("reply", 0, static_cast<std::uint32_t>(i + 1), item, Last);
        const TreeItem deepest = item;
        ThreadTreeModel model;
        model.TakeTree(std::move(tree));

        int depth = 0;
        for (QModelIndex index = model.IndexOf(deepest); index.isValid(); index = model.parent(index))
            ++depth;
        QCOMPARE(depth, kDepth + 1);

        const TreeItem target = model.Insert("target", 0, 0, project, Last);
        QCOMPARE(model.RecreateChildren(start, target).size(), std::size_t{kDepth - 1});
        QVERIFY(model.Delete(start));
        QCOMPARE(model.Tree().Size(), std::size_t{kDepth + 1});
    }

    // Random changes, with the rows of every parent known beforehand, must
    // leave the model showing exactly the tree.
    void randomChangesKeepModelAndTreeInStep()
    {
        std::mt19937 random(20240607);
        ThreadTreeModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        const TreeItem project = model.InsertProjectItem("P");
        std::uint32_t nextData = 1;
        for (int step = 0; step < 400; ++step) {
            ModelDump(model);  // every row known before the change
            const std::vector<TreeItem> items = LivingItems(model.Tree());
            const TreeItem some = items[random() % items.size()];
            switch (random() % 6) {
            case 0:
                model.Insert("x", 0, nextData++, some, First);
                break;
            case 1:
                model.Insert("x", 0, nextData++, some, Last);
                break;
            case 2:
                if (some != project)
                    model.InsertAfter("x", 0, nextData++, model.Tree().Parent(some), some);
                break;
            case 3:
                if (some != project && items.size() > 20)
                    model.Delete(some);
                break;
            case 4: {
                if (items.size() > 2000)
                    break;
                const TreeItem other = items[random() % items.size()];
                const auto copies = model.RecreateChildren(some, other);
                for (const auto& pair : copies)
                    model.SetItemData(pair.second, nextData++);
                break;
            }
            default:
                model.SetIcon(some, static_cast<int>(random() % 5));
                break;
            }
            QCOMPARE(ModelDump(model), TreeDump(model));
        }
        CheckEveryIndex(model);
    }

    void showsTextAndIcon()
    {
        ThreadTreeModel model;
        const TreeItem project = model.InsertProjectItem(postloom::text::Utf8ToCp932("メーリングリスト"));
        const TreeItem mail = model.Insert(postloom::text::Utf8ToCp932("Re: 次回の集まり"), 1, 0, project, Last);
        const TreeItem broken = model.Insert(std::string("abc\x81"), 0, 1, project, Last);
        const TreeItem odd = model.Insert("odd", 7, 2, project, Last);

        QCOMPARE(model.data(model.IndexOf(project)).toString(), QStringLiteral("メーリングリスト"));
        QCOMPARE(model.data(model.IndexOf(mail)).toString(), QStringLiteral("Re: 次回の集まり"));
        QCOMPARE(model.data(model.IndexOf(broken)).toString(),
                 QStringLiteral("abc") + QChar(QChar::ReplacementCharacter));

        for (const auto& [item, icon] : {std::pair{project, 2}, std::pair{mail, 1}}) {
            const QVariant decoration = model.data(model.IndexOf(item), Qt::DecorationRole);
            const QPixmap pixmap = decoration.value<QPixmap>();
            QCOMPARE(pixmap.deviceIndependentSize().toSize(), postloom::kTreeIconSize);
            QCOMPARE(pixmap.toImage(), postloom::TreeIconPixmap(icon, pixmap.devicePixelRatio()).toImage());
        }
        QVERIFY(!model.data(model.IndexOf(odd), Qt::DecorationRole).isValid());

        model.SetIcon(mail, 4);
        QCOMPARE(model.data(model.IndexOf(mail), Qt::DecorationRole).value<QPixmap>().toImage(),
                 postloom::TreeIconPixmap(4).toImage());
    }

    void selectionMapsToItems()
    {
        ThreadTreeModel model;
        QItemSelectionModel selection(&model);
        const TreeItem project = model.InsertProjectItem("P");
        const TreeItem a = model.Insert("a", 0, 1, project, Last);
        const TreeItem b = model.Insert("b", 0, 2, a, Last);
        QCOMPARE(postloom::SelectedItem(selection), kNoItem);

        postloom::SelectItem(selection, model, b);
        QCOMPARE(postloom::SelectedItem(selection), b);
        postloom::SelectItem(selection, model, project);
        QCOMPARE(postloom::SelectedItem(selection), project);
        QCOMPARE(selection.selectedIndexes().size(), 1);
        postloom::SelectItem(selection, model, kNoItem);
        QCOMPARE(postloom::SelectedItem(selection), kNoItem);
        QVERIFY(!selection.currentIndex().isValid());

        postloom::SelectItem(selection, model, b);
        model.Delete(a);
        QCOMPARE(postloom::SelectedItem(selection), kNoItem);
    }
};

QTEST_MAIN(ThreadTreeModelTest)
#include "thread_tree_model_test.moc"
